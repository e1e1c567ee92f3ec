// The error-list viewer: shows a procedure's messages once each and saves all of them as a log.
#pragma once

#include <string>

#include "common/error_list.h"
#include "ui/dialog.h"

namespace nebcm::ui {

// Makes the rich-edit window class of the error list available: the 1.0 library, or the 2.0
// library under the 1.0 class name where only that one exists. False when neither is there.
bool LoadRichEditLibrary();

// Dialog 138: the messages of a list without repeats, "Close" (1) and "Save log" (1012).
class ErrorListDialog : public Dialog {
public:
    ErrorListDialog(const ErrorList& list, HWND parent);

    // The text shown: every message that has not occurred before, each followed by CR LF.
    static std::string DisplayText(const ErrorList& list);

    // Writes every message of the list, repeats included, one per CR LF line. On an I/O failure
    // shows ErrorLogNotSavedDialog with the file name and returns false.
    bool SaveLog(const std::string& fileName);

    const ErrorList& List() const { return list_; }

protected:
    bool OnInitDialog() override;
    // Asks for the log file with the save dialog; false when the user cancelled.
    virtual bool ChooseLogFile(std::string& fileName);

private:
    ErrorList list_;
};

} // namespace nebcm::ui
