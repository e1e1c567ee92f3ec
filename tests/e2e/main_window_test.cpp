// The main window of an installed platform end to end: installing and removing extensions through
// its wizards, the Java VM settings, the remembered window position and the tree's views.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <cstdio>
#include <string>

#include "e2e/main_window_driver.h"

namespace nebcm::testing {
namespace {

const char kCoreOnly[] = "System\n"
                         "  NEB Core version 2.00\n";

// The sample set installed on the core, by product (the initial view).
const char kByProduct[] = "apps\n"
                          "  editor\n"
                          "    Sample Text Editor version 1.00\n"
                          "  viewer\n"
                          "    Sample Document Viewer version 2.00\n"
                          "org\n"
                          "  sample\n"
                          "    xml\n"
                          "      parser\n"
                          "        Document Parsing Service version 1.05\n"
                          "      XML Support Library version 1.20\n"
                          "    Utility Library version 1.00\n"
                          "System\n"
                          "  NEB Core version 2.00\n";

const char kByPackage[] = "apps/editor\n"
                          "  Sample Text Editor version 1.00\n"
                          "apps/viewer\n"
                          "  Sample Document Viewer version 2.00\n"
                          "org/sample\n"
                          "  Utility Library version 1.00\n"
                          "org/sample/xml\n"
                          "  XML Support Library version 1.20\n"
                          "org/sample/xml/parser\n"
                          "  Document Parsing Service version 1.05\n"
                          "System\n"
                          "  NEB Core version 2.00\n";

const char kByStereotype[] = "NEB Core version 2.00\n"
                             "Libraries\n"
                             "  Utility Library version 1.00\n"
                             "  XML Support Library version 1.20\n"
                             "Components\n"
                             "  Document Parsing Service version 1.05\n"
                             "Applications\n"
                             "  Sample Document Viewer version 2.00\n"
                             "  Sample Text Editor version 1.00\n";

// The sample set without the text editor, by product.
const char kWithoutEditor[] = "apps\n"
                              "  viewer\n"
                              "    Sample Document Viewer version 2.00\n"
                              "org\n"
                              "  sample\n"
                              "    xml\n"
                              "      parser\n"
                              "        Document Parsing Service version 1.05\n"
                              "      XML Support Library version 1.20\n"
                              "    Utility Library version 1.00\n"
                              "System\n"
                              "  NEB Core version 2.00\n";

const char kInstallIntroTitle[] = "NEB 2.0 - Select NEB Distribution Set to install";
const char kInstallSelectionTitle[] = "NEB 2.0 - Select NEB extensions to install";
const char kUninstallSelectionTitle[] = "NEB 2.0 - Select NEB extensions to uninstall";

// Cancels a wizard and waits for it to close.
bool CancelWizard(HWND sheet) {
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    return WaitUntilGone(sheet);
}

// Finishes the selection page and confirms the completion report, which must show the line.
void FinishAndConfirm(HWND sheet, const char* reportTitle, const std::string& line) {
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND report = WaitForTitle(reportTitle, 120000);
    ASSERT_NE(report, nullptr) << "no " << reportTitle << " report";
    std::string text;
    WaitUntil([&] {
        text = StaticTexts(report);
        return text.find(line) != std::string::npos;
    });
    EXPECT_NE(text.find(line), std::string::npos) << text;
    PressButton(report, IDOK);
    EXPECT_TRUE(WaitUntilGone(report));
}

TEST(MainWindow, InstallsAndRemovesExtensionsThroughItsWizards) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window";
    HWND tree = manager.Tree();
    ASSERT_EQ(WaitForOutline(tree, kCoreOnly), kCoreOnly);

    // Alt+I opens the installation wizard; cancelling it changes nothing.
    PressAltWith('I');
    HWND intro = WaitForTitle(kInstallIntroTitle);
    ASSERT_NE(intro, nullptr) << "Alt+I opened no installation wizard";
    ASSERT_TRUE(CancelWizard(intro));
    EXPECT_EQ(Outline(tree), kCoreOnly);

    // The button opens it empty: the user names the set on the first page.
    PressButton(manager.Main(), kInstallButton);
    intro = WaitForTitle(kInstallIntroTitle);
    ASSERT_NE(intro, nullptr) << "the button opened no installation wizard";
    HWND path = PageControl(intro, 1061);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(ControlText(path), "");
    // The page sets its buttons by a posted request, so the sheet's defaults may show at first.
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(intro, kSheetNext)); }, 5000))
        << "Next without a set";
    ASSERT_EQ(TypeInto(path, kSampleSet), kSampleSet);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(intro, kSheetNext)) != 0; }))
        << "Next stays disabled with a set named";
    PostMessageA(intro, PSM_PRESSBUTTON, PSBTN_NEXT, 0);

    HWND selection = WaitForTitle(kInstallSelectionTitle, 60000);
    ASSERT_NE(selection, nullptr) << "the set was not read";
    HWND choices = PageControl(selection, 1063);
    ASSERT_NE(choices, nullptr);
    EXPECT_TRUE(WaitUntil([&] {
        HTREEITEM editor = FindExactTreeItem(choices, "Sample Text Editor version 1.00");
        return editor != nullptr && TreeItemChecked(choices, editor);
    })) << "the selection does not start with every extension chosen";
    EXPECT_TRUE(
        WaitUntil([&] { return IsWindowEnabled(GetDlgItem(selection, kSheetBack)) != 0; }, 5000))
        << "no way back to the set after entering through the first page";
    FinishAndConfirm(selection, "Installation complete",
                     "5 NEB Extension(s) have been successfully installed.");
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_EQ(WaitForOutline(tree, kByProduct), kByProduct) << "the tree was not reloaded";
    EXPECT_TRUE(Exists(kInstallDir + "apps\\editor\\editor.jar"));

    // Alt+U opens the uninstallation wizard; cancelling it changes nothing.
    PressAltWith('U');
    HWND removal = WaitForTitle(kUninstallSelectionTitle);
    ASSERT_NE(removal, nullptr) << "Alt+U opened no uninstallation wizard";
    ASSERT_TRUE(CancelWizard(removal));
    EXPECT_EQ(Outline(tree), kByProduct);

    // The button removes the one extension chosen in its tree.
    PressButton(manager.Main(), kRemoveButton);
    removal = WaitForTitle(kUninstallSelectionTitle);
    ASSERT_NE(removal, nullptr) << "the button opened no uninstallation wizard";
    choices = PageControl(removal, 1063);
    ASSERT_NE(choices, nullptr);
    HTREEITEM editor = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        editor = FindExactTreeItem(choices, "Sample Text Editor version 1.00");
        return editor != nullptr;
    }));
    EXPECT_FALSE(TreeItemChecked(choices, editor)) << "an extension is chosen for removal at first";
    ASSERT_TRUE(SetTreeItemChecked(choices, editor, true));
    // The wizard has taken the choice when it shows it on the package node above as well.
    EXPECT_TRUE(WaitUntil([&] {
        HTREEITEM node = FindExactTreeItem(choices, "editor");
        return node != nullptr && TreeItemChecked(choices, node);
    })) << "the wizard did not take the choice";
    HTREEITEM library = FindExactTreeItem(choices, "Utility Library version 1.00");
    ASSERT_NE(library, nullptr);
    EXPECT_FALSE(TreeItemChecked(choices, library)) << "a library the editor needs is removed too";
    FinishAndConfirm(removal, "Uninstallation complete",
                     "1 NEB Extension(s) have been successfully uninstalled");
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_EQ(WaitForOutline(tree, kWithoutEditor), kWithoutEditor) << "the tree was not reloaded";
    EXPECT_FALSE(Exists(kInstallDir + "apps\\editor\\editor.jar"));
    EXPECT_FALSE(Exists(kInstallDir + "apps\\editor\\editor.txt"));
    EXPECT_FALSE(Exists(kInstallDir + "apps\\editor"));
    EXPECT_TRUE(Exists(kInstallDir + "apps\\viewer\\viewer.jar"));
    EXPECT_TRUE(Exists(kInstallDir + "lib\\util.jar"));
    EXPECT_TRUE(manager.Exit());
}

// The rows of the Java support dialog: radio button, then the controls it enables.
struct JavaRow {
    int radio;
    int controls[3]; // edit, "Browse", "Find" (0: none)
};
const JavaRow kJavaRows[3] = {
    {1033, {1036, 1039, 1042}},
    {1034, {1037, 1040, 1043}},
    {1035, {1038, 1041, 0}},
};
const char kJavaTitle[] = "NEB 2.0 Java Support";

// One character per row: "x" checked, "-" not.
std::string CheckedRows(HWND dialog) {
    std::string rows;
    for (const JavaRow& row : kJavaRows) {
        rows += SendMessageA(GetDlgItem(dialog, row.radio), BM_GETCHECK, 0, 0) == BST_CHECKED ? "x"
                                                                                              : "-";
    }
    return rows;
}

// One character per row: "+" all its controls enabled, "-" none, "?" some.
std::string EnabledRows(HWND dialog) {
    std::string rows;
    for (const JavaRow& row : kJavaRows) {
        int enabled = 0;
        int count = 0;
        for (int id : row.controls) {
            if (id != 0) {
                ++count;
                enabled += IsWindowEnabled(GetDlgItem(dialog, id)) ? 1 : 0;
            }
        }
        rows += enabled == count ? "+" : enabled == 0 ? "-" : "?";
    }
    return rows;
}

HWND OpenJavaSupport(HWND main, bool byKeyboard) {
    if (byKeyboard) {
        PressAltWith('J');
    } else {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(kJavaCommand, 0), 0);
    }
    return WaitForTitle(kJavaTitle);
}

void Click(HWND dialog, int id) {
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

TEST(MainWindow, KeepsTheJavaSupportSettingsAcrossRuns) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const std::string sunPath = "D:\\jdk 1.4\\bin\\java.exe";
    {
        RunningManager manager;
        ASSERT_TRUE(manager.Start()) << "no main window";
        HWND dialog = OpenJavaSupport(manager.Main(), false);
        ASSERT_NE(dialog, nullptr) << "the menu command opened no Java support dialog";
        // A fresh installation runs Java software with the custom command line.
        EXPECT_EQ(CheckedRows(dialog), "--x");
        EXPECT_EQ(EnabledRows(dialog), "--+");

        Click(dialog, 1034);
        EXPECT_TRUE(WaitUntil([&] { return EnabledRows(dialog) == "-+-"; })) << EnabledRows(dialog);
        EXPECT_EQ(CheckedRows(dialog), "-x-");
        ASSERT_EQ(TypeInto(GetDlgItem(dialog, 1037), sunPath), sunPath);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntilGone(dialog));
        EXPECT_EQ(ReadValue(kJavaKey, "Type"), "1");
        EXPECT_EQ(ReadValue(kJavaKey, "SunExe"), sunPath);
        EXPECT_EQ(ReadValue(kJavaKey, "MSExe"), "");
        EXPECT_EQ(ReadValue(kJavaKey, "CustomCommandLine"), "");
        ASSERT_TRUE(manager.CloseWithAltF4()) << "Alt+F4 did not end the program";
    }

    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window on the second run";
    HWND dialog = OpenJavaSupport(manager.Main(), true);
    ASSERT_NE(dialog, nullptr) << "Alt+J opened no Java support dialog";
    EXPECT_EQ(CheckedRows(dialog), "-x-");
    EXPECT_EQ(EnabledRows(dialog), "-+-");
    EXPECT_EQ(ControlText(GetDlgItem(dialog, 1037)), sunPath);

    // Cancel keeps what is stored, whatever was changed.
    Click(dialog, 1033);
    EXPECT_TRUE(WaitUntil([&] { return CheckedRows(dialog) == "x--"; })) << CheckedRows(dialog);
    ASSERT_EQ(TypeInto(GetDlgItem(dialog, 1036), "C:\\Windows\\jview.exe"),
              "C:\\Windows\\jview.exe");
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitUntilGone(dialog));
    EXPECT_EQ(ReadValue(kJavaKey, "Type"), "1");
    EXPECT_EQ(ReadValue(kJavaKey, "MSExe"), "");
    EXPECT_EQ(ReadValue(kJavaKey, "SunExe"), sunPath);

    // Each stored type opens its row; one the program does not know means the custom command line.
    const struct {
        const char* stored;
        const char* checked;
        const char* enabled;
    } types[] = {{"7", "--x", "--+"}, {"0", "x--", "+--"}};
    for (const auto& type : types) {
        SCOPED_TRACE(type.stored);
        ASSERT_TRUE(WriteValue(kJavaKey, "Type", type.stored));
        dialog = OpenJavaSupport(manager.Main(), false);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(CheckedRows(dialog), type.checked);
        EXPECT_EQ(EnabledRows(dialog), type.enabled);
        PressButton(dialog, IDCANCEL);
        ASSERT_TRUE(WaitUntilGone(dialog));
        EXPECT_EQ(ReadValue(kJavaKey, "Type"), type.stored);
    }
    EXPECT_TRUE(manager.Exit());
}

RECT WorkArea() {
    RECT area = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

TEST(MainWindow, OpensWhereItWasLeftAndInsideTheScreen) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    const RECT area = WorkArea();
    enum Edge { kLeft, kTop, kRight, kBottom };
    struct Case {
        const char* x;
        const char* y;
        Edge horizontal;
        Edge vertical;
    };
    const Case cases[] = {
        {"100000", "100000", kRight, kBottom},
        {"-300", "-300", kLeft, kTop},
        {"-5000", "99999", kLeft, kBottom},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("stored ") + c.x + ", " + c.y);
        ASSERT_TRUE(WriteValue(kPlatformKey, "WindowX", c.x));
        ASSERT_TRUE(WriteValue(kPlatformKey, "WindowY", c.y));
        RunningManager manager;
        ASSERT_TRUE(manager.Start()) << "no main window";
        RECT window = WindowRect(manager.Main());
        if (c.horizontal == kRight) {
            EXPECT_EQ(window.right, area.right);
        } else {
            EXPECT_EQ(window.left, area.left);
        }
        if (c.vertical == kBottom) {
            EXPECT_EQ(window.bottom, area.bottom);
        } else {
            EXPECT_EQ(window.top, area.top);
        }
        // Bringing the window into view is not a move of the user's.
        EXPECT_EQ(ReadValue(kPlatformKey, "WindowX"), c.x);
        EXPECT_EQ(ReadValue(kPlatformKey, "WindowY"), c.y);
        ASSERT_TRUE(manager.Exit());
    }

    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window";
    HWND main = manager.Main();
    SetWindowPos(main, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil([] {
        return ReadValue(kPlatformKey, "WindowX") == "123" &&
               ReadValue(kPlatformKey, "WindowY") == "77";
    })) << ReadValue(kPlatformKey, "WindowX")
        << ", " << ReadValue(kPlatformKey, "WindowY");

    // Minimizing or maximizing the window, and moving it while so, make no new place to open at.
    for (int state : {SW_MINIMIZE, SW_MAXIMIZE}) {
        SCOPED_TRACE(state == SW_MINIMIZE ? "minimized" : "maximized");
        ShowWindow(main, state);
        ASSERT_TRUE(WaitUntil([&] {
            return (state == SW_MINIMIZE ? IsIconic(main) : IsZoomed(main)) != 0;
        })) << "the window did not change its state";
        SetWindowPos(main, nullptr, 201, 151, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
        EXPECT_EQ(ReadValue(kPlatformKey, "WindowX"), "123");
        EXPECT_EQ(ReadValue(kPlatformKey, "WindowY"), "77");
        ShowWindow(main, SW_RESTORE);
        ASSERT_TRUE(WaitUntil([&] { return !IsIconic(main) && !IsZoomed(main); }));
    }
    ASSERT_TRUE(manager.Exit());

    RunningManager again;
    ASSERT_TRUE(again.Start()) << "no main window on the next run";
    RECT window = WindowRect(again.Main());
    EXPECT_EQ(window.left, 123);
    EXPECT_EQ(window.top, 77);
    EXPECT_TRUE(again.Exit());
}

// Installs the sample set with the installed program, as opening the set's file does.
bool InstallTheSampleSet() {
    ChildProcess installer;
    if (!installer.Start(kInstalledProgram, kSampleSet)) {
        return false;
    }
    HWND selection = WaitForTitle(kInstallSelectionTitle, 60000);
    if (selection == nullptr) {
        return false;
    }
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND report = WaitForTitle("Installation complete", 120000);
    if (report == nullptr) {
        return false;
    }
    PressButton(report, IDOK);
    return installer.Wait(30000) != STILL_ACTIVE;
}

TEST(MainWindow, ShowsTheExtensionsByProductPackageOrStereotype) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ASSERT_TRUE(InstallTheSampleSet());
    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window";
    HWND tree = manager.Tree();
    ASSERT_EQ(WaitForOutline(tree, kByProduct), kByProduct) << "the first view is not by product";

    const struct {
        int command;
        const char* outline;
    } views[] = {
        {kByPackageCommand, kByPackage},
        {kByStereotypeCommand, kByStereotype},
        {kByProductCommand, kByProduct},
        {kByStereotypeCommand, kByStereotype},
    };
    for (const auto& view : views) {
        SCOPED_TRACE(view.command);
        ASSERT_TRUE(manager.Command(view.command));
        EXPECT_EQ(Outline(tree), view.outline);
    }

    // The user opens a group with the keyboard: it shows the open folder while open. Choosing
    // the view already shown keeps the tree as the user left it.
    HTREEITEM libraries = FindExactTreeItem(tree, "Libraries");
    ASSERT_NE(libraries, nullptr);
    auto expanded = [&] {
        return (SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(libraries),
                             TVIS_EXPANDED) &
                TVIS_EXPANDED) != 0;
    };
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(libraries));
    PostMessageA(tree, WM_KEYDOWN, VK_RIGHT, 0x014D0001);
    ASSERT_TRUE(WaitUntil(expanded, 10000)) << "the group did not open";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(tree, libraries) == kOpenFolder; }, 10000))
        << TreeItemImage(tree, libraries);
    ASSERT_TRUE(manager.Command(kByStereotypeCommand));
    EXPECT_EQ(FindExactTreeItem(tree, "Libraries"), libraries);
    EXPECT_TRUE(expanded()) << "the tree was built anew";
    PostMessageA(tree, WM_KEYDOWN, VK_LEFT, 0x014B0001);
    ASSERT_TRUE(WaitUntil([&] { return !expanded(); }, 10000)) << "the group did not close";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(tree, libraries) == kClosedFolder; }, 10000))
        << TreeItemImage(tree, libraries);

    // "More information" on a tree item counts what the item stands for in the view shown, with
    // the sizes of the installed files.
    const struct {
        int view;
        const char* item;
        int fields[6];
        const char* details;
    } details[] = {
        {kByProductCommand,
         "xml",
         {1057, 1058, 1059, 1060, 1054, 1055},
         "org/sample/xml|1|1|0|3|91 B"},
        {kByPackageCommand,
         "org/sample/xml",
         {1057, 1058, 1059, 1060, 1054, 1055},
         "org/sample/xml|1|0|0|2|64 B"},
        {kByStereotypeCommand,
         "Libraries",
         {1057, 1058, 1059, 1060, 1054, 1055},
         "Libraries|2|0|0|3|90 B"},
        {kByStereotypeCommand,
         "Sample Text Editor version 1.00",
         {1046, 1047, 1048, 1051, 1054, 1055},
         "Application|editor|1.00|apps/editor|2|42 B"},
    };
    for (const auto& d : details) {
        SCOPED_TRACE(d.item);
        ASSERT_TRUE(manager.Command(d.view));
        HTREEITEM item = FindExactTreeItem(tree, d.item);
        ASSERT_NE(item, nullptr);
        HWND dialog = MoreInformation(tree, item);
        ASSERT_NE(dialog, nullptr) << "no details";
        std::string shown;
        for (int id : d.fields) {
            shown += (shown.empty() ? "" : "|") + ControlText(GetDlgItem(dialog, id));
        }
        EXPECT_EQ(shown, d.details);
        PressButton(dialog, IDOK);
        ASSERT_TRUE(WaitUntilGone(dialog));
    }

    // Enter and Escape in the tree do not close the window: the view command posted after them
    // is still carried out.
    PostMessageA(tree, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageA(tree, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(manager.Main(), WM_COMMAND, MAKEWPARAM(kByPackageCommand, 0), 0);
    EXPECT_EQ(WaitForOutline(tree, kByPackage), kByPackage);
    EXPECT_TRUE(IsWindowVisible(manager.Main())) << "a key closed the main window";

    PostMessageA(manager.Main(), WM_COMMAND, MAKEWPARAM(kAboutCommand, 0), 0);
    HWND about = WaitForTitle("About Configration Manager...");
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_NE(StaticTexts(about).find("Version 2.0d, Release June 2003"), std::string::npos)
        << StaticTexts(about);
    PressButton(about, IDOK);
    EXPECT_TRUE(WaitUntilGone(about));

    // The menu shows the current view checked; menus of another process can be read only where
    // the system shares them between processes.
    HMENU bar = GetMenu(manager.Main());
    HMENU viewMenu = bar != nullptr ? GetSubMenu(bar, 2) : nullptr;
    if (viewMenu == nullptr || GetMenuState(viewMenu, kByProductCommand, MF_BYCOMMAND) == ~0u) {
        std::printf("[ NOTE     ] the View menu of the other process cannot be read here\n");
    } else {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutA(manager.Main(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(viewMenu), 2,
                            SMTO_NORMAL, 10000, &ignored);
        EXPECT_TRUE(GetMenuState(viewMenu, kByPackageCommand, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_FALSE(GetMenuState(viewMenu, kByProductCommand, MF_BYCOMMAND) & MF_CHECKED);
        EXPECT_FALSE(GetMenuState(viewMenu, kByStereotypeCommand, MF_BYCOMMAND) & MF_CHECKED);
    }
    EXPECT_TRUE(manager.ExitFromTheMenu());
}

// Shows the failure report's error list, which must mention the text, and closes both.
void ReadTheErrorLogAndClose(DWORD pid, HWND report, const std::string& mentioned) {
    PressButton(report, 1013);
    HWND log = WaitForDialogShowing(pid, "The following problems have been encountered:", 30000);
    ASSERT_NE(log, nullptr) << "no error log";
    std::string problems = ControlText(GetDlgItem(log, 1011));
    EXPECT_NE(problems.find(mentioned), std::string::npos) << problems;
    PressButton(log, IDOK);
    EXPECT_TRUE(WaitUntilGone(log));
    PressButton(report, IDOK);
    EXPECT_TRUE(WaitUntilGone(report));
}

TEST(MainWindow, ReportsFailedProceduresAndKeepsTheTree) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ASSERT_TRUE(InstallTheSampleSet());
    RunningManager manager;
    ASSERT_TRUE(manager.Start()) << "no main window";
    HWND tree = manager.Tree();
    ASSERT_EQ(WaitForOutline(tree, kByProduct), kByProduct);

    {
        // Installing the set again cannot replace a library in use.
        LockedFile inUse(kInstallDir + "lib\\xml.jar");
        ASSERT_TRUE(inUse.Held());
        PressButton(manager.Main(), kInstallButton);
        HWND intro = WaitForTitle(kInstallIntroTitle);
        ASSERT_NE(intro, nullptr);
        HWND path = PageControl(intro, 1061);
        ASSERT_NE(path, nullptr);
        ASSERT_EQ(TypeInto(path, kSampleSet), kSampleSet);
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(intro, kSheetNext)) != 0; }));
        PostMessageA(intro, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        HWND selection = WaitForTitle(kInstallSelectionTitle, 60000);
        ASSERT_NE(selection, nullptr);
        PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        HWND report = WaitForDialogShowing(
            manager.Id(), "The NEB 2.0 software has not been installed on your computer.");
        ASSERT_NE(report, nullptr) << "no failure report";
        ReadTheErrorLogAndClose(manager.Id(), report, "xml.jar");
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_EQ(Outline(tree), kByProduct);
    for (const char* file : {"lib\\xml.jar", "lib\\util.jar", "lib\\parser.jar",
                             "apps\\viewer\\viewer.jar", "apps\\editor\\editor.jar"}) {
        EXPECT_TRUE(Exists(kInstallDir + file)) << file << " lost by the failed installation";
    }

    {
        // Removing the editor cannot delete its program while it runs.
        LockedFile inUse(kInstallDir + "apps\\editor\\editor.jar");
        ASSERT_TRUE(inUse.Held());
        PressButton(manager.Main(), kRemoveButton);
        HWND removal = WaitForTitle(kUninstallSelectionTitle);
        ASSERT_NE(removal, nullptr);
        HWND choices = PageControl(removal, 1063);
        ASSERT_NE(choices, nullptr);
        HTREEITEM editor = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            editor = FindExactTreeItem(choices, "Sample Text Editor version 1.00");
            return editor != nullptr;
        }));
        ASSERT_TRUE(SetTreeItemChecked(choices, editor, true));
        ASSERT_TRUE(WaitUntil([&] {
            HTREEITEM node = FindExactTreeItem(choices, "editor");
            return node != nullptr && TreeItemChecked(choices, node);
        }));
        PostMessageA(removal, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        HWND report = WaitForDialogShowing(
            manager.Id(), "The NEB 2.0 software has not been removed from your computer.");
        ASSERT_NE(report, nullptr) << "no failure report";
        ReadTheErrorLogAndClose(manager.Id(), report, "editor.jar");
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_EQ(Outline(tree), kByProduct);
    EXPECT_TRUE(Exists(kInstallDir + "apps\\editor\\editor.jar"));
    EXPECT_TRUE(Exists(kInstallDir + "apps\\editor\\editor.txt"))
        << "the failed removal was not undone";
    EXPECT_TRUE(manager.Close()) << "the close box did not end the program";
}

} // namespace
} // namespace nebcm::testing
