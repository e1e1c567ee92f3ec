// The program's dialog templates, menu and bitmaps as the code relies on them: every template can
// be made, with its caption and the controls and texts that the dialogs use.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/error_list_dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {
namespace {

struct ControlExpectation {
    int id;
    const char* text; // null: the control must exist, whatever it shows
};

struct TemplateCase {
    int id;
    const char* caption;
    std::vector<ControlExpectation> controls;
    // Texts that some control of the template shows (as a whole or as part of a paragraph).
    std::vector<const char*> texts;
};

const char kManager[] = "NEB 2.0 Configuration Manager";
const char kDirectoryLine[] = "The directory you have specified for NEB 2.0 installation:";
const char kViewLog[] = "View error log";

std::vector<ControlExpectation> ProgressControls() {
    std::vector<ControlExpectation> controls;
    for (int id = IDC_ACTIVITY1_NAME; id <= IDC_ACTIVITY5_STATUS; ++id) {
        controls.push_back({id, ""});
    }
    controls.push_back({IDC_PROGRESS_CANCEL, "Cancel"});
    controls.push_back({IDC_PICTURE, nullptr});
    return controls;
}

std::vector<ControlExpectation> SelectionControls() {
    return {{IDC_VIEW_BY_PRODUCT, "By product"},
            {IDC_VIEW_BY_PACKAGE, "By package"},
            {IDC_VIEW_BY_STEREOTYPE, "By stereotype"},
            {IDC_SELECTION_TREE, nullptr},
            {IDC_SELECT_ALL, "Select all"},
            {IDC_UNSELECT_ALL, "Unselect all"},
            {IDC_PICTURE, nullptr}};
}

const std::vector<TemplateCase>& Templates() {
    static const std::vector<TemplateCase> cases = {
        {130, kManager, {{IDOK, "Close"}}, {"The NEB Configuration Manager could not be started."}},
        {132,
         "NEB 2.0 - Select installation directory",
         {{IDC_INSTALLATION_DIRECTORY, ""}, {IDC_BROWSE, "Browse"}, {IDC_PICTURE, nullptr}},
         {"Welcome to NEB 2.0!",
          "resides has at least 10MB free space required for NEB 2.0 Kernel.",
          "NEB 2.0 will be installed into the following directory:"}},
        {133,
         "NEB 2.0 - Select upgrade policy",
         {{IDC_POLICY_ALONGSIDE, "Install NEB 2.0 alongside NEB 1.0"},
          {IDC_POLICY_ALONGSIDE_MIGRATE,
           "Install NEB 2.0 alongside NEB 1.0 and set up NEB 1.0 software"},
          {IDC_POLICY_REPLACE, "Uninstall NEB 1.0, then install NEB 2.0 instead"},
          {IDC_POLICY_UPGRADE, "Upgrade NEB 1.0 to NEB 2.0"},
          {IDC_PICTURE, nullptr}},
         {"It has been discovered that you have NEB 1.0 currently installed",
          "on your computer. Would you like to:"}},
        {134,
         kManager,
         {{IDC_DIRECTORY_PATH, ""},
          {IDC_FIRST_CHOICE, "Yes, and proceed with installation"},
          {IDCANCEL, "No, select another directory"}},
         {kDirectoryLine, "does not exist. Would you like to create it now ?"}},
        {135,
         kManager,
         {{IDC_DIRECTORY_PATH, ""},
          {IDC_FIRST_CHOICE, "Select another installation directory"},
          {IDCANCEL, "Cancel NEB 2/0 installation"}},
         {kDirectoryLine, "could not be created. What would you like to do ?"}},
        {137,
         "Select NEB 2.0 installation directory",
         {{IDC_CHOSEN_PATH, ""}, {IDC_FOLDER_TREE, nullptr}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}},
         {}},
        {138,
         kManager,
         {{IDC_ERROR_TEXT, nullptr}, {IDOK, "Close"}, {IDC_SAVE_LOG, "Save log"}},
         {"The following problems have been encountered:"}},
        {139,
         kManager,
         {{IDOK, "Close"}, {IDC_VIEW_ERROR_LOG, kViewLog}},
         {"The NEB 2.0 Kernel has not been installed on your computer."}},
        {140,
         kManager,
         {{IDC_LOG_FILE_NAME, ""}, {IDOK, "Close"}},
         {"The error log could not be saved to the file you have specified"}},
        {141,
         kManager,
         {{IDC_DIRECTORY_PATH, ""},
          {IDC_FIRST_CHOICE, "OK, overwrite the entire directory"},
          {IDCANCEL, "Select another installation directory"}},
         {kDirectoryLine, "already exists. Its entire contents will be overwritten in the course "
                          "of installation."}},
        {142,
         "NEB 2.0 Installation",
         ProgressControls(),
         {"Please, wait while NEB 2.0 is being installed on your system."}},
        {143,
         "NEB 2.0 Installation",
         {{IDYES, "Yes, cancel NEB 2.0 installation"}, {IDNO, "No, resume NEB 2.0 installation"}},
         {"Are you sure you want to cancel the NEB 2.0 installation ?"}},
        {144, "NEB 2.0 Uninstallation", ProgressControls(), {"Please, wait while NEB 2.0 is"}},
        {145,
         "NEB 2.0 Uninstallation",
         {{IDYES, "Yes, cancel NEB 2.0 uninstallation"},
          {IDNO, "No, resume NEB 2.0 uninstallation"}},
         {"Are you sure you want to cancel the NEB 2.0 uninstallation ?"}},
        {146,
         "NEB 2.0 Uninstallation",
         {{IDOK, "Close"}, {IDC_VIEW_ERROR_LOG, kViewLog}},
         {"The NEB 2.0 could not be completely removed from your computer."}},
        {147,
         "NEB 2.0 Uninstallation",
         {{IDYES, "Yes, uninstall NEB 2.0"}, {IDNO, "No, cancel NEB 2.0 uninstallation"}},
         {"Are you sure you want to completely uninstall NEB 2.0 from your system ?"}},
        {148,
         "NEB 2.0",
         {{IDOK, "OK"}},
         {"The NEB 2.0 has been successfully removed from your computer."}},
        {149,
         "",
         {},
         {"Please, wait while NEB 2.0 installation is", "being checked for consistency..."}},
        {150,
         kManager,
         {{IDC_UNINSTALL_PLATFORM, "Uninstall NEB 2.0"},
          {IDOK, "Close"},
          {IDC_VIEW_PROBLEMS, "View problems"}},
         {"The NEB 2.0 installation on your computer is corrupt."}},
        {152,
         kManager,
         {{IDC_MAIN_TREE, nullptr},
          {IDC_INSTALL_EXTENSIONS, "Install extensions..."},
          {IDC_REMOVE_EXTENSIONS, "Remove extensions"},
          {IDC_EXIT, "Exit"}},
         {"The following NEB software is currently installed on your computer:"}},
        {153,
         "About Configration Manager...",
         {{IDOK, "OK"}},
         {"NEB 2.0 Configuration Manager", "Version 2.0d, Release June 2003"}},
        {154,
         "NEB 2.0 Java Support",
         {{IDC_MICROSOFT_VM, "Microsoft Java VM (JVIEW.EXE)"},
          {IDC_MICROSOFT_VM_PATH, ""},
          {IDC_MICROSOFT_VM_BROWSE, "Browse"},
          {IDC_MICROSOFT_VM_FIND, "Find"},
          {IDC_SUN_VM, "Sun Java VM (JAVA.EXE)"},
          {IDC_SUN_VM_PATH, ""},
          {IDC_SUN_VM_BROWSE, "Browse"},
          {IDC_SUN_VM_FIND, "Find"},
          {IDC_CUSTOM_VM, "Custom Java VM"},
          {IDC_CUSTOM_VM_COMMAND, ""},
          {IDC_CUSTOM_VM_BROWSE, "Browse"},
          {IDOK, "OK"},
          {IDCANCEL, "Cancel"}},
         {}},
        {155,
         "NEB 2.0 Java support",
         {{IDC_SEARCHING_PATH, ""}, {IDC_FOUND_LIST, nullptr}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}},
         {"Searching:", "Found so far:"}},
        {157,
         "NEB Extension details",
         {{IDC_DETAILS_CATEGORY, ""},
          {IDC_DETAILS_NAME, ""},
          {IDC_DETAILS_VERSION, ""},
          {IDC_DETAILS_DESCRIPTION, ""},
          {IDC_DETAILS_COPYRIGHT, ""},
          {IDC_DETAILS_PACKAGE, ""},
          {IDC_DETAILS_SERVICE_CLASS, ""},
          {IDC_DETAILS_SERVICE_CLASS_LABEL, "Service class:"},
          {IDC_DETAILS_FILES, ""},
          {IDC_DETAILS_SIZE, ""},
          {IDC_DETAILS_DISK_SPACE, ""},
          {IDOK, "OK"}},
         {"Version:", "Package:", "Files:", "Size:", "Disk space used:"}},
        {158,
         "NEB Extension set details",
         {{IDC_DETAILS_SET_NAME, ""},
          {IDC_DETAILS_LIBRARIES, ""},
          {IDC_DETAILS_COMPONENTS, ""},
          {IDC_DETAILS_APPLICATIONS, ""},
          {IDC_DETAILS_FILES, ""},
          {IDC_DETAILS_SIZE, ""},
          {IDC_DETAILS_DISK_SPACE, ""},
          {IDOK, "OK"}},
         {"Libraries:", "Components:", "Applications:", "Files:", "Size:", "Disk space used:"}},
        {159,
         "NEB 2.0 - Select NEB Distribution Set to install",
         {{IDC_SET_PATH, ""}, {IDC_BROWSE, "Browse"}, {IDC_PICTURE, nullptr}},
         {"This NEB Extension Installation Wizard will guide you through the",
          "First, you must select the NEB Distribution Set you want to install.",
          "The following NEB Distribution Set will be installed:"}},
        {160,
         kManager,
         {{IDOK, "Close"}, {IDC_VIEW_ERROR_LOG, kViewLog}},
         {"The NEB 2.0 software has not been installed on your computer."}},
        {161,
         "",
         {{IDC_SET_PATH, ""}, {IDC_SET_PROGRESS, nullptr}},
         {"Reading the NEB Distribution Set"}},
        {162, "NEB 2.0 - Select NEB extensions to install", SelectionControls(), {"View:"}},
        {163,
         "",
         {{IDC_SET_PATH, ""}, {IDC_SET_PROGRESS, nullptr}},
         {"Folding the NEB Distribution Set"}},
        {164,
         "NEB 2.0 Extension Installation",
         ProgressControls(),
         {"Please, wait while the NEB 2.0 software"}},
        {165,
         "NEB 2.0 Extension Installation",
         {{IDYES, "Yes, cancel installation"}, {IDNO, "No, resume installation"}},
         {"Are you sure you want to cancel the NEB 2.0 software installation ?"}},
        {166,
         "Installation complete",
         {{IDC_INSTALLED_LINE, "%d NEB Extension(s) have been successfully installed."},
          {IDC_VIEW_INSTALLED, "View list"},
          {IDC_SKIPPED_LINE, "%d NEB Extension(s) have not been installed because newer versions "
                             "are already available."},
          {IDC_VIEW_SKIPPED, "View list"},
          {IDOK, "OK"}},
         {}},
        {167, "Operation complete", {{IDC_EXTENSION_LIST, nullptr}, {IDOK, "OK"}}, {}},
        {168,
         kManager,
         {{IDOK, "Close"}, {IDC_VIEW_ERROR_LOG, kViewLog}},
         {"The NEB 2.0 software has not been removed from your computer."}},
        {169, "NEB 2.0 - Select NEB extensions to uninstall", SelectionControls(), {"View:"}},
        {170,
         "NEB 2.0 Extension Uninstallation",
         ProgressControls(),
         {"Please, wait while the NEB 2.0 software"}},
        {171,
         "NEB 2.0 Extension Uninstallation",
         {{IDYES, "Yes, cancel uninstallation"}, {IDNO, "No, resume uninstallation"}},
         {"Are you sure you want to cancel the NEB 2.0 software uninstallation ?"}},
        {172,
         "Uninstallation complete",
         {{IDC_UNINSTALLED_LINE, "%d NEB Extension(s) have been successfully uninstalled"},
          {IDC_VIEW_UNINSTALLED, "View list"},
          {IDOK, "OK"}},
         {}},
    };
    return cases;
}

INT_PTR CALLBACK TrivialProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(TextOf(child));
    return TRUE;
}

// The size of a template in dialog units, read from its DLGTEMPLATEEX header.
SIZE TemplateSize(int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    const WORD* words = static_cast<const WORD*>(LockResource(LoadResource(module, resource)));
    if (words == nullptr || words[1] != 0xFFFF) {
        return {0, 0};
    }
    // dlgVer, signature, helpID (2), exStyle (2), style (2), cDlgItems, x, y, cx, cy
    return {static_cast<short>(words[11]), static_cast<short>(words[12])};
}

// Wizard pages are child windows, so they and everything else are made inside a hidden host.
class TemplateHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        ASSERT_TRUE(LoadRichEditLibrary());
    }
    void SetUp() override {
        host_ = CreateWindowA("STATIC", "host", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
    }
    void TearDown() override { DestroyWindow(host_); }

    HWND Make(int id) {
        return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), host_,
                                  TrivialProcedure, 0);
    }

    HWND host_ = nullptr;
};

TEST_F(TemplateHost, EveryTemplateHasItsCaptionControlsAndTexts) {
    for (const TemplateCase& c : Templates()) {
        SCOPED_TRACE("template " + std::to_string(c.id));
        HWND dialog = Make(c.id);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(TextOf(dialog), c.caption);
        for (const ControlExpectation& control : c.controls) {
            HWND item = GetDlgItem(dialog, control.id);
            EXPECT_NE(item, nullptr) << "control " << control.id;
            if (item != nullptr && control.text != nullptr) {
                EXPECT_EQ(TextOf(item), control.text) << "control " << control.id;
            }
        }
        std::vector<std::string> shown;
        EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&shown));
        for (const char* text : c.texts) {
            bool found = false;
            for (const std::string& s : shown) {
                found = found || s.find(text) != std::string::npos;
            }
            EXPECT_TRUE(found) << "no control shows \"" << text << "\"";
        }
        DestroyWindow(dialog);
    }
}

// A fixed text that needs more room than its control has is cut off where the user cannot see it.
struct Clipped {
    std::vector<std::string>* found;
};

BOOL CALLBACK FindClippedText(HWND control, LPARAM p) {
    char name[32] = {};
    GetClassNameA(control, name, sizeof name);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const LONG kind = style & SS_TYPEMASK;
    const std::string text = TextOf(control);
    if (lstrcmpiA(name, "Static") != 0 || text.empty() ||
        (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP)) {
        return TRUE;
    }
    RECT client;
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = client;
    UINT format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS |
                  (kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK);
    DrawTextA(dc, text.c_str(), -1, &needed, format);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    if (needed.bottom - needed.top > client.bottom - client.top ||
        needed.right - needed.left > client.right - client.left) {
        reinterpret_cast<Clipped*>(p)->found->push_back(text);
    }
    return TRUE;
}

BOOL CALLBACK CollectTemplate(HMODULE, LPCSTR, LPSTR name, LONG_PTR p) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::vector<int>*>(p)->push_back(
            static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

// A template that no dialog uses is dead weight in the program; every one in the resources must
// be a dialog listed above (100 to 102 are the tests' own).
TEST(Resources, EveryDialogTemplateIsOneTheProgramUses) {
    std::vector<int> found;
    EnumResourceNamesA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(5), CollectTemplate,
                       reinterpret_cast<LONG_PTR>(&found));
    ASSERT_GT(found.size(), Templates().size() / 2);
    for (int id : found) {
        bool listed = id >= 100 && id <= 102;
        for (const TemplateCase& c : Templates()) {
            listed = listed || c.id == id;
        }
        EXPECT_TRUE(listed) << "template " << id << " is used by no dialog";
    }
}

TEST_F(TemplateHost, FixedTextsFitTheirControls) {
    for (const TemplateCase& c : Templates()) {
        HWND dialog = Make(c.id);
        ASSERT_NE(dialog, nullptr);
        std::vector<std::string> clipped;
        Clipped search{&clipped};
        EnumChildWindows(dialog, FindClippedText, reinterpret_cast<LPARAM>(&search));
        EXPECT_TRUE(clipped.empty())
            << "template " << c.id << " cuts off \"" << clipped.front() << "\"";
        DestroyWindow(dialog);
    }
}

TEST_F(TemplateHost, WizardPagesAreChildPagesWithThePicture) {
    for (int id : {132, 133, 159, 162, 169}) {
        SCOPED_TRACE("page " + std::to_string(id));
        SIZE size = TemplateSize(id);
        EXPECT_EQ(size.cx, 317);
        EXPECT_EQ(size.cy, 193);
        HWND page = Make(id);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(GetWindowLongA(page, GWL_STYLE) & WS_CHILD);
        EXPECT_NE(SendDlgItemMessageA(page, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
            << "the picture was not loaded";
        DestroyWindow(page);
    }
}

TEST_F(TemplateHost, ProgressWindowsStartHiddenWithHiddenRowsAndThePicture) {
    for (int id : {142, 144, 164, 170}) {
        SCOPED_TRACE("progress " + std::to_string(id));
        HWND dialog = Make(id);
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(GetWindowLongA(dialog, GWL_STYLE) & WS_VISIBLE) << "shown by its owner";
        for (int control = IDC_ACTIVITY1_NAME; control <= IDC_ACTIVITY5_STATUS; ++control) {
            EXPECT_FALSE(GetWindowLongA(GetDlgItem(dialog, control), GWL_STYLE) & WS_VISIBLE)
                << "row control " << control;
        }
        EXPECT_NE(SendDlgItemMessageA(dialog, IDC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
        DestroyWindow(dialog);
    }
}

TEST(Resources, MainMenuHasItsCommandsAndAccelerators) {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    const char* popups[] = {"&NEB", "&Configuration", "&View", "&Help"};
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    for (int i = 0; i < 4; ++i) {
        char text[128] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[i]);
    }
    struct Entry {
        UINT command;
        const char* text;
    };
    const Entry entries[] = {
        {32779, "Set up &Java support\tAlt+J"},
        {32778, "E&xit Configuration Manager\tAlt+F4"},
        {32775, "&Install extensions\tAlt+I"},
        {32776, "&Uninstall extensions\tAlt+U"},
        {32781, "By &product"},
        {32782, "By p&ackage"},
        {32780, "By &stereotype"},
        {32771, "&Contents\tF1"},
        {32772, "&Search..."},
        {57666, "&Index..."},
        {32774, "&About NEB Configuration Manager"},
    };
    for (const Entry& e : entries) {
        char text[128] = {};
        EXPECT_GT(GetMenuStringA(menu, e.command, text, sizeof text, MF_BYCOMMAND), 0) << e.command;
        EXPECT_STREQ(text, e.text);
    }
    // The separators sit after "Set up Java support" and before "About".
    HMENU neb = GetSubMenu(menu, 0);
    HMENU help = GetSubMenu(menu, 3);
    EXPECT_EQ(GetMenuItemCount(neb), 3);
    EXPECT_EQ(GetMenuState(neb, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(GetMenuItemCount(help), 5);
    EXPECT_EQ(GetMenuState(help, 3, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    DestroyMenu(menu);
}

TEST(Resources, ImageStripsMakeImageListsWithWhiteAsTransparent) {
    struct Strip {
        int id;
        int images;
    };
    for (Strip strip : {Strip{IDB_DRIVES, 3}, Strip{IDB_EXTENSIONS, 6}}) {
        SCOPED_TRACE("bitmap " + std::to_string(strip.id));
        HIMAGELIST list =
            ImageList_LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(strip.id), 16, 0,
                                 RGB(255, 255, 255), IMAGE_BITMAP, 0);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(ImageList_GetImageCount(list), strip.images);
        int cx = 0;
        int cy = 0;
        ImageList_GetIconSize(list, &cx, &cy);
        EXPECT_EQ(cx, 16);
        EXPECT_EQ(cy, 16);
        ImageList_Destroy(list);
    }
    HBITMAP picture = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_PICTURE));
    ASSERT_NE(picture, nullptr);
    BITMAP info = {};
    GetObjectA(picture, sizeof info, &info);
    EXPECT_GT(info.bmHeight, info.bmWidth) << "a tall strip";
    DeleteObject(picture);
}

} // namespace
} // namespace nebcm::ui
