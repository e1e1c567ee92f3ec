// Java VM settings and the disk search for Java launchers.
#include "ui/java_support_dialog.h"

#include <cstdlib>

#include "common/error_list.h"
#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/registry.h"
#include "ui/file_dialog.h"
#include "ui/resource.h"
#include "ui/wizard.h"

namespace nebcm::ui {

namespace {

struct Row {
    int radio;
    int edit;
    int browse;
    int find; // 0: none
    int filter;
    const char* wanted;
};

const Row kRows[3] = {
    {IDC_MICROSOFT_VM, IDC_MICROSOFT_VM_PATH, IDC_MICROSOFT_VM_BROWSE, IDC_MICROSOFT_VM_FIND, 2002,
     "jview.exe"},
    {IDC_SUN_VM, IDC_SUN_VM_PATH, IDC_SUN_VM_BROWSE, IDC_SUN_VM_FIND, 2003, "java.exe"},
    {IDC_CUSTOM_VM, IDC_CUSTOM_VM_COMMAND, IDC_CUSTOM_VM_BROWSE, 0, 2004, nullptr},
};

const char* const kValueNames[3] = {JavaMSExeValue, JavaSunExeValue, JavaCustomCommandLineValue};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

class SearchVisitor : public DirectoryVisitor {
public:
    SearchVisitor(JavaSearchDialog& dialog, std::string wanted)
        : dialog_(dialog), wanted_(std::move(wanted)) {}

    bool Begin() override { return true; }
    bool End() override { return true; }
    bool VisitDirectory(const std::string& path) override {
        dialog_.ShowSearching(path);
        PumpMessagesFor(dialog_.Handle());
        return !dialog_.Finished();
    }
    bool VisitFile(const std::string& path) override {
        std::size_t slash = path.find_last_of('\\');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (SameNameIgnoringCase(name, wanted_)) {
            dialog_.AddFound(path);
        }
        PumpMessagesFor(dialog_.Handle());
        return !dialog_.Finished();
    }

private:
    JavaSearchDialog& dialog_;
    std::string wanted_;
};

} // namespace

JavaSearchDialog::JavaSearchDialog(HWND parent) : Dialog(IDD_JAVA_SEARCH, parent) {}

bool JavaSearchDialog::Open() {
    if (!CreateModeless()) {
        return false;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    return true;
}

bool JavaSearchDialog::OnInitDialog() {
    OnCommand(IDC_FOUND_LIST, [this] { UpdateOk(); });
    UpdateOk();
    return true;
}

void JavaSearchDialog::UpdateOk() {
    LRESULT selected = SendDlgItemMessageA(hwnd_, IDC_FOUND_LIST, LB_GETCURSEL, 0, 0);
    EnableItem(IDOK, selected != LB_ERR);
}

void JavaSearchDialog::ShowSearching(const std::string& directory) {
    SetItemText(IDC_SEARCHING_PATH, directory);
}

void JavaSearchDialog::AddFound(const std::string& path) {
    SendDlgItemMessageA(hwnd_, IDC_FOUND_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(path.c_str()));
    UpdateOk();
}

void JavaSearchDialog::OnOK() {
    LRESULT selected = SendDlgItemMessageA(hwnd_, IDC_FOUND_LIST, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        return;
    }
    LRESULT length = SendDlgItemMessageA(hwnd_, IDC_FOUND_LIST, LB_GETTEXTLEN, selected, 0);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    SendDlgItemMessageA(hwnd_, IDC_FOUND_LIST, LB_GETTEXT, selected,
                        reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    result_ = text;
    finished_ = true;
}

void JavaSearchDialog::OnCancel() {
    result_.clear();
    finished_ = true;
}

std::string SearchDisks(HWND parent, const std::string& fileName) {
    JavaSearchDialog dialog(parent);
    if (!dialog.Open()) {
        return std::string();
    }
    SearchVisitor visitor(dialog, fileName);
    for (char letter = 'C'; letter <= 'Z' && !dialog.Finished(); ++letter) {
        char root[4] = {letter, ':', '\\', '\0'};
        UINT type = GetDriveTypeA(root);
        if (type == DRIVE_FIXED || type == DRIVE_RAMDISK) {
            WalkDirectory(root, visitor, WalkOrder::DirectoriesFirst);
        }
        PumpMessagesFor(dialog.Handle());
    }
    dialog.ShowSearching(std::string());
    while (!dialog.Finished() && IsWindow(dialog.Handle())) {
        WaitMessage();
        PumpMessagesFor(dialog.Handle());
    }
    std::string result = dialog.Result();
    dialog.Destroy();
    return result;
}

// ---------------------------------------------------------------------------------------------

JavaSupportDialog::JavaSupportDialog(HWND parent, std::string key)
    : Dialog(IDD_JAVA_SUPPORT, parent), key_(std::move(key)) {}

bool JavaSupportDialog::OnInitDialog() {
    ErrorList ignored;
    std::string typeText;
    if (!ReadRegistryString(key_, JavaTypeValue, typeText, ignored)) {
        typeText = "2";
    }
    // Leading decimal digits; anything else, or a number out of range, is the custom row.
    int type = 2;
    if (!typeText.empty() && typeText[0] >= '0' && typeText[0] <= '9') {
        long value = std::strtol(typeText.c_str(), nullptr, 10);
        if (value >= 0 && value <= 2) {
            type = static_cast<int>(value);
        }
    }
    for (int row = 0; row < 3; ++row) {
        std::string text;
        if (!ReadRegistryString(key_, kValueNames[row], text, ignored)) {
            text.clear();
        }
        SetItemText(kRows[row].edit, text);
        OnCommand(kRows[row].radio, [this, row] { Choose(row); });
        OnCommand(kRows[row].browse, [this, row] { Browse(row); });
        if (kRows[row].find != 0) {
            OnCommand(kRows[row].find, [this, row] { FindFor(row); });
        }
    }
    Choose(type);
    return true;
}

void JavaSupportDialog::Choose(int type) {
    for (int row = 0; row < 3; ++row) {
        bool on = row == type;
        CheckDlgButton(hwnd_, kRows[row].radio, on ? BST_CHECKED : BST_UNCHECKED);
        EnableItem(kRows[row].edit, on);
        EnableItem(kRows[row].browse, on);
        if (kRows[row].find != 0) {
            EnableItem(kRows[row].find, on);
        }
    }
}

int JavaSupportDialog::CheckedType() const {
    for (int row = 0; row < 3; ++row) {
        if (IsDlgButtonChecked(hwnd_, kRows[row].radio) == BST_CHECKED) {
            return row;
        }
    }
    return 2;
}

void JavaSupportDialog::Browse(int type) {
    FileDialogRequest request;
    request.owner = hwnd_;
    request.title = Message(2005);
    request.filter = Message(kRows[type].filter);
    request.defaultExtension = "exe";
    request.flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    std::string chosen;
    if (ChooseOpenFile(request, chosen)) {
        SetItemText(kRows[type].edit, chosen);
    }
}

std::string JavaSupportDialog::Find(const std::string& fileName) {
    return SearchDisks(hwnd_, fileName);
}

void JavaSupportDialog::FindFor(int type) {
    std::string found = Find(kRows[type].wanted);
    if (!found.empty()) {
        SetItemText(kRows[type].edit, found);
    }
}

void JavaSupportDialog::OnOK() {
    // Each value on its own: one that cannot be written does not keep the others from being saved.
    ErrorList ignored;
    WriteRegistryString(key_, JavaTypeValue, FormatText("%d", CheckedType()), nullptr, ignored);
    for (int row = 0; row < 3; ++row) {
        WriteRegistryString(key_, kValueNames[row], ItemText(kRows[row].edit), nullptr, ignored);
    }
    EndDialog(IDOK);
}

void JavaSupportDialog::OnHelp() {
    OpenHelp(hwnd_, HELP_CONTEXT, 1004);
}

} // namespace nebcm::ui
