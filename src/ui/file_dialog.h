// The platform's open and save file dialogs with the program's titles and "a|b||" filters.
#pragma once

#include <windows.h>

#include <string>

namespace nebcm::ui {

// A filter text as the program stores it ("Text files (*.txt)|*.txt||") in the form the file
// dialogs want: each '|' becomes a NUL, and the list ends with two NULs.
std::string FileDialogFilter(const std::string& text);

struct FileDialogRequest {
    HWND owner = nullptr;
    std::string title;
    std::string filter;           // as stored, with '|' separators
    std::string defaultExtension; // without the dot, empty for none
    DWORD flags = 0;              // OFN_* besides OFN_EXPLORER
};

// Runs the save dialog; on OK `fileName` holds the chosen full path. `fileName` is also the
// initial name. False when the user cancelled or the dialog failed.
bool ChooseSaveFile(const FileDialogRequest& request, std::string& fileName);
// The same with the open dialog.
bool ChooseOpenFile(const FileDialogRequest& request, std::string& fileName);

} // namespace nebcm::ui
