// Error-list viewer: the rich-edit text of distinct messages, and the log file of all of them.
#include "ui/error_list_dialog.h"

#include <richedit.h>

#include <algorithm>

#include "common/messages.h"
#include "io/streams.h"
#include "ui/file_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {

const char kRichEditClass[] = "RICHEDIT";

bool ClassExists(const char* name) {
    WNDCLASSA info;
    return GetClassInfoA(ResourceModule(), name, &info) != 0;
}

// Feeds the text to the control as plain text, so that a message that happens to look like RTF
// is shown as written instead of being interpreted.
struct TextSource {
    const std::string* text;
    std::size_t offset;
};

DWORD CALLBACK ReadTextSource(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    TextSource* source = reinterpret_cast<TextSource*>(cookie);
    std::size_t left = source->text->size() - source->offset;
    std::size_t n = std::min(left, static_cast<std::size_t>(size > 0 ? size : 0));
    source->text->copy(reinterpret_cast<char*>(buffer), n, source->offset);
    source->offset += n;
    *read = static_cast<LONG>(n);
    return 0;
}

} // namespace

bool LoadRichEditLibrary() {
    if (ClassExists(kRichEditClass)) {
        return true;
    }
    if (LoadLibraryA("riched32.dll") != nullptr && ClassExists(kRichEditClass)) {
        return true;
    }
    // Only the 2.0 library: register its window class under the 1.0 name that the template uses.
    WNDCLASSA richEdit20;
    if (LoadLibraryA("riched20.dll") == nullptr ||
        !GetClassInfoA(nullptr, RICHEDIT_CLASSA, &richEdit20)) {
        return false;
    }
    richEdit20.hInstance = ResourceModule();
    richEdit20.lpszClassName = kRichEditClass;
    return RegisterClassA(&richEdit20) != 0;
}

ErrorListDialog::ErrorListDialog(const ErrorList& list, HWND parent)
    : Dialog(IDD_ERROR_LIST, parent), list_(list) {
    OnCommand(IDC_SAVE_LOG, [this] {
        std::string fileName;
        if (ChooseLogFile(fileName)) {
            SaveLog(fileName);
        }
    });
}

std::string ErrorListDialog::DisplayText(const ErrorList& list) {
    std::string text;
    for (const std::string& message : list.Distinct()) {
        text += message;
        text += "\r\n";
    }
    return text;
}

bool ErrorListDialog::OnInitDialog() {
    HWND edit = Item(IDC_ERROR_TEXT);
    std::string text = DisplayText(list_);
    SendMessageA(edit, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    TextSource source = {&text, 0};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = ReadTextSource;
    SendMessageA(edit, EM_STREAMIN, SF_TEXT, reinterpret_cast<LPARAM>(&stream));
    SetFocus(Item(IDOK));
    return false;
}

bool ErrorListDialog::ChooseLogFile(std::string& fileName) {
    FileDialogRequest request;
    request.owner = hwnd_;
    request.title = Message(2001);
    request.filter = Message(2000);
    request.defaultExtension = "txt";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    return ChooseSaveFile(request, fileName);
}

bool ErrorListDialog::SaveLog(const std::string& fileName) {
    try {
        TextFileWriter writer(fileName);
        for (const std::string& message : list_.Messages()) {
            writer.Print("%s\n", message.c_str());
        }
        writer.Close();
        return true;
    } catch (const IOException&) {
        ErrorLogNotSavedDialog(fileName, hwnd_).DoModal();
        return false;
    }
}

} // namespace nebcm::ui
