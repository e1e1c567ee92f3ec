// Open and save file dialogs over the common dialog library.
#include "ui/file_dialog.h"

#include <commdlg.h>

#include <vector>

namespace nebcm::ui {

std::string FileDialogFilter(const std::string& text) {
    std::string filter = text;
    for (char& c : filter) {
        if (c == '|') {
            c = '\0';
        }
    }
    // Whatever the stored text ends with, the list must close with two NULs.
    filter.push_back('\0');
    filter.push_back('\0');
    return filter;
}

namespace {

bool RunFileDialog(const FileDialogRequest& request, std::string& fileName, bool save) {
    std::string filter = FileDialogFilter(request.filter);
    std::vector<char> buffer(MAX_PATH * 4, '\0');
    fileName.copy(buffer.data(), buffer.size() - 1);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrDefExt = request.defaultExtension.empty() ? nullptr : request.defaultExtension.c_str();
    ofn.Flags = OFN_EXPLORER | request.flags;
    BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
    if (!ok) {
        return false;
    }
    fileName = buffer.data();
    return true;
}

} // namespace

bool ChooseSaveFile(const FileDialogRequest& request, std::string& fileName) {
    return RunFileDialog(request, fileName, true);
}

bool ChooseOpenFile(const FileDialogRequest& request, std::string& fileName) {
    return RunFileDialog(request, fileName, false);
}

} // namespace nebcm::ui
