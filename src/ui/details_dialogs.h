// The details of one extension and of a group of extensions, as the extension tree shows them.
#pragma once

#include <string>

#include "model/extension.h"
#include "ui/dialog.h"

namespace nebcm::ui {

struct DetailsFigures;

// Dialog 157. The name line is hidden when the name is empty (the core); the service class and
// its label when the service class is empty (all but components). "OK" (1).
class ExtensionDetailsDialog : public Dialog {
public:
    ExtensionDetailsDialog(std::string category, std::string name, std::string version,
                           std::string description, std::string copyright, std::string package,
                           std::string serviceClass, std::string files, std::string size,
                           std::string diskSpace, HWND parent);

    // The texts of an extension: its category by kind, no name for the core, the service class of
    // a component.
    static ExtensionDetailsDialog For(const Extension& extension, const DetailsFigures& figures,
                                      HWND parent);

protected:
    bool OnInitDialog() override;

private:
    std::string category_, name_, version_, description_, copyright_, package_, serviceClass_,
        files_, size_, diskSpace_;
};

// Dialog 158: the title of the set, its numbers of libraries, components and applications, and
// the figures of their files. "OK" (1).
class ExtensionSetDetailsDialog : public Dialog {
public:
    ExtensionSetDetailsDialog(std::string title, std::string libraries, std::string components,
                              std::string applications, std::string files, std::string size,
                              std::string diskSpace, HWND parent);

protected:
    bool OnInitDialog() override;

private:
    std::string title_, libraries_, components_, applications_, files_, size_, diskSpace_;
};

} // namespace nebcm::ui
