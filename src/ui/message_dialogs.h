// The confirmations, questions, failure reports, completion reports and notices that the
// procedures and start-up show. Each ends with the id of the button that was pressed.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "ui/dialog.h"

namespace nebcm::ui {

// A dialog of fixed texts that ends with the id of whichever of its buttons was pressed. Escape
// and the close box end it with `escapeResult`, the answer that changes nothing. `icon` is a
// system icon (IDI_QUESTION and the like) put into the message icon, or null to keep the
// program's own.
class ChoiceDialog : public Dialog {
public:
    ChoiceDialog(int templateId, HWND parent, std::initializer_list<int> buttons, int escapeResult,
                 LPCSTR icon = nullptr);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    std::vector<int> buttons_;
    int escapeResult_;
    LPCSTR icon_;
};

// Dialog 130: another copy of the program holds the single-instance lock. "Close" (1).
class AlreadyRunningDialog : public ChoiceDialog {
public:
    explicit AlreadyRunningDialog(HWND parent = nullptr);
};

// The three questions about an installation directory; the path is shown in control 1006.
class DirectoryQuestionDialog : public ChoiceDialog {
public:
    DirectoryQuestionDialog(int templateId, const std::string& path, HWND parent);

protected:
    bool OnInitDialog() override;

private:
    std::string path_;
};

// Dialog 134: "Yes, and proceed with installation" (1007) or "No, select another directory" (2).
class CreateDirectoryQueryDialog : public DirectoryQuestionDialog {
public:
    CreateDirectoryQueryDialog(const std::string& path, HWND parent);
};

// Dialog 135: "Select another installation directory" (1007) or "Cancel NEB 2/0 installation" (2).
class DirectoryNotCreatedDialog : public DirectoryQuestionDialog {
public:
    DirectoryNotCreatedDialog(const std::string& path, HWND parent);
};

// Dialog 141: "OK, overwrite the entire directory" (1007) or "Select another installation
// directory" (2).
class DirectoryExistsDialog : public DirectoryQuestionDialog {
public:
    DirectoryExistsDialog(const std::string& path, HWND parent);
};

// Dialog 140: the log file could not be written; its name in control 1014. "Close" (1).
class ErrorLogNotSavedDialog : public ChoiceDialog {
public:
    ErrorLogNotSavedDialog(const std::string& fileName, HWND parent);

protected:
    bool OnInitDialog() override;

private:
    std::string fileName_;
};

// A failure report with its own copy of the procedure's messages: "View error log" (1013) and
// "View problems" (1028) open the error list over it and return to it.
class FailureDialog : public ChoiceDialog {
public:
    FailureDialog(int templateId, const ErrorList& list, HWND parent,
                  std::initializer_list<int> buttons = {IDOK});

    const ErrorList& List() const { return list_; }

protected:
    virtual void ShowErrorList();

private:
    ErrorList list_;
};

// Dialog 139: the core was not installed. "Close" (1), "View error log".
class CoreInstallationFailedDialog : public FailureDialog {
public:
    CoreInstallationFailedDialog(const ErrorList& list, HWND parent);
};

// Dialog 146: the platform could not be removed completely. "Close" (1), "View error log".
class UninstallFailedDialog : public FailureDialog {
public:
    UninstallFailedDialog(const ErrorList& list, HWND parent);
};

// Dialog 160: extensions were not installed (or the set could not be read). "Close" (1),
// "View error log".
class ExtensionInstallationFailedDialog : public FailureDialog {
public:
    ExtensionInstallationFailedDialog(const ErrorList& list, HWND parent);
};

// Dialog 168: extensions were not removed. "Close" (1), "View error log".
class ExtensionUninstallationFailedDialog : public FailureDialog {
public:
    ExtensionUninstallationFailedDialog(const ErrorList& list, HWND parent);
};

// Dialog 150: the consistency check failed. "Uninstall NEB 2.0" (1029), "Close" (1),
// "View problems".
class InstallationCorruptDialog : public FailureDialog {
public:
    InstallationCorruptDialog(const ErrorList& list, HWND parent);
};

// Dialog 147: "Yes, uninstall NEB 2.0" (6) or "No, cancel NEB 2.0 uninstallation" (7).
class UninstallConfirmationDialog : public ChoiceDialog {
public:
    explicit UninstallConfirmationDialog(HWND parent = nullptr);
};

// Dialog 148: the platform has been removed. "OK" (1).
class UninstallCompletedDialog : public ChoiceDialog {
public:
    explicit UninstallCompletedDialog(HWND parent = nullptr);
};

// Dialog 153, the About box. "OK" (1).
class AboutDialog : public ChoiceDialog {
public:
    explicit AboutDialog(HWND parent);
};

// Dialog 149: the modeless notice shown while start-up checks the installation. It has no
// buttons and cannot be closed by the user; the caller destroys it.
class ConsistencyCheckSplash : public Dialog {
public:
    ConsistencyCheckSplash();
    // Creates the window, shows it and paints it at once; false when it could not be made.
    bool Open();

protected:
    void OnOK() override {}
    void OnCancel() override {}
};

// Dialog 167: a list of texts in their order. "OK" (1).
class ExtensionListDialog : public ChoiceDialog {
public:
    ExtensionListDialog(const std::vector<std::string>& names, HWND parent);

protected:
    bool OnInitDialog() override;

private:
    std::vector<std::string> names_;
};

// A completion report: each line's template text is a format for the number of names in its
// list, and its "View list" button shows that list.
class CompletionDialog : public ChoiceDialog {
public:
    struct Line {
        int textId;
        int buttonId;
        std::vector<std::string> names;
    };
    CompletionDialog(int templateId, std::vector<Line> lines, HWND parent);

protected:
    bool OnInitDialog() override;
    // Whether a line is shown; every line by default.
    virtual bool ShowsLine(std::size_t index) const;
    virtual void ShowList(const std::vector<std::string>& names);
    const std::vector<Line>& Lines() const { return lines_; }

private:
    std::vector<Line> lines_;
};

// Dialog 166: the extensions installed (1074, "View list" 1072) and those skipped because a
// newer version is installed (1075, "View list" 1073). "OK" (1). The first line is hidden when
// nothing was installed but something was skipped; the second when nothing was skipped.
class InstallationCompleteDialog : public CompletionDialog {
public:
    InstallationCompleteDialog(const std::vector<std::string>& installed,
                               const std::vector<std::string>& skipped, HWND parent);

protected:
    bool ShowsLine(std::size_t index) const override;
};

// Dialog 172: the extensions uninstalled (1077, "View list" 1078). "OK" (1).
class UninstallationCompleteDialog : public CompletionDialog {
public:
    UninstallationCompleteDialog(const std::vector<std::string>& uninstalled, HWND parent);
};

} // namespace nebcm::ui
