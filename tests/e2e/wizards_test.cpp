// The wizards of the real program driven from outside: their buttons, the dependency rules of the
// check-box trees, the poll that reads the user's clicks, the installation directory questions
// and browser, and the error list that a rejected set leads to.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/installed_core.h"
#include "e2e/remote_tree.h"
#include "e2e/wizards_driver.h"
#include "e2e/wizards_set.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

using Texts = std::set<std::string>;

const char kInstallTitle[] = "NEB 2.0 - Select NEB extensions to install";
const char kUninstallTitle[] = "NEB 2.0 - Select NEB extensions to uninstall";
const char kCoreTitle[] = "NEB 2.0 - Select installation directory";

// What a page that can only finish shows: Back greyed, Next replaced by Finish.
const char kFinishOnly[] = "Back:off Next:hidden Finish:on Cancel:on Help:on";

// Controls of the selection pages.
constexpr int kSelectionTree = 1063;
constexpr int kByProduct = 1067;
constexpr int kByStereotype = 1069;
constexpr int kSelectAll = 1070;
constexpr int kUnselectAll = 1071;

// The sample set's extensions as the tree shows them.
const std::string kXml = "XML Support Library version 1.20";
const std::string kUtil = "Utility Library version 1.00";
const std::string kParser = "Document Parsing Service version 1.05";
const std::string kViewer = "Sample Document Viewer version 2.00";
const std::string kEditor = "Sample Text Editor version 1.00";

// The checked items that stand for extensions (package and group nodes left out).
Texts CheckedExtensions(HWND tree) {
    Texts out;
    for (const std::string& t : CheckedItems(tree)) {
        if (t.find(" version ") != std::string::npos) {
            out.insert(t);
        }
    }
    return out;
}

Texts WaitForCheckedExtensions(HWND tree, const Texts& expected, DWORD ms = 10000) {
    Texts seen = CheckedExtensions(tree);
    for (DWORD waited = 0; seen != expected && waited < ms; waited += 50) {
        Sleep(50);
        seen = CheckedExtensions(tree);
    }
    return seen;
}

HTREEITEM FindExactItem(HWND tree, const std::string& text) {
    for (const TreeEntry& e : TreeItems(tree)) {
        if (e.text == text) {
            return e.item;
        }
    }
    return nullptr;
}

// Clicks a check box and waits until the poll has applied its rule: the extensions checked
// afterwards. The poll makes the clicked item the selected one, which tells that it has run (the
// click alone may already look like the expected result).
Texts Click(HWND tree, const std::string& text, bool checked, const Texts& expected) {
    HTREEITEM item = FindExactItem(tree, text);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    if (item == nullptr || !SetTreeItemChecked(tree, item, checked)) {
        return {"<no item " + text + ">"};
    }
    for (DWORD waited = 0; TreeNext(tree, nullptr, TVGN_CARET) != item; waited += 20) {
        if (waited > 10000) {
            return {"<the poll did not take the click on " + text + ">"};
        }
        Sleep(20);
    }
    return WaitForCheckedExtensions(tree, expected);
}

// Waits for the sheet to be shown again after a dialog of its own closed.
bool SheetBack(HWND sheet, HWND dialog) {
    return WaitUntilGone(dialog) && IsWindow(sheet) && IsWindowVisible(sheet);
}

HWND TreeOf(HWND sheet) {
    return GetDlgItem(ActivePage(sheet), kSelectionTree);
}

bool RadioChecked(HWND page, int id) {
    return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Opens the installed program on a set; its wizard's sheet, or null.
HWND OpenInstallationWizard(ChildProcess& program, const std::string& set) {
    if (!program.Start(kInstalledProgram, set)) {
        return nullptr;
    }
    return WaitForTitle(kInstallTitle, 90000);
}

// Installs the whole sample set through the installed program's wizard.
bool InstallTheSampleSet() {
    ChildProcess program;
    HWND sheet = OpenInstallationWizard(program, kSampleSet);
    if (sheet == nullptr) {
        return false;
    }
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Installation complete", 90000);
    if (complete == nullptr) {
        return false;
    }
    PressButton(complete, IDOK);
    return program.Wait(30000) != STILL_ACTIVE && Exists(kInstallDir + "apps\\editor\\editor.jar");
}

std::string RegistryText(const char* key, const char* value) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != ERROR_SUCCESS) {
        return "<no key>";
    }
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    LONG status =
        RegQueryValueExA(k, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(k);
    return status == ERROR_SUCCESS ? std::string(data) : "<no value>";
}

const char kPlatformKey[] = "Software\\Tessaly\\NEB\\2.0";

TEST(InstallationWizardWithASet, OffersOnlyFinishAndRefusesAnEmptySelection) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ChildProcess program;
    HWND sheet = OpenInstallationWizard(program, kSampleSet);
    ASSERT_NE(sheet, nullptr) << "the installed program did not open the set";

    // Started with a set there is no way back to an intro page: Finish (with Cancel and Help)
    // is all the page offers, everything is chosen and the product view is shown.
    EXPECT_EQ(WaitForButtons(sheet, kFinishOnly), kFinishOnly);
    HWND page = ActivePage(sheet);
    HWND tree = GetDlgItem(page, kSelectionTree);
    ASSERT_NE(tree, nullptr);
    const Texts all = {kXml, kUtil, kParser, kViewer, kEditor};
    EXPECT_EQ(WaitForCheckedExtensions(tree, all), all);
    EXPECT_TRUE(RadioChecked(page, kByProduct));

    // Nothing chosen: Finish says so with a message box and the wizard stays as it was.
    PressButton(page, kUnselectAll);
    EXPECT_EQ(WaitForChecked(tree, {}), Texts{});
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND box =
        WaitForDialogShowing(program.Id(), "You have not selected any NEB extensions to install");
    ASSERT_NE(box, nullptr) << "no message about the empty selection";
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitUntilGone(box));
    EXPECT_TRUE(IsWindowVisible(sheet));
    EXPECT_EQ(ButtonStates(sheet), kFinishOnly);

    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE) << "the program did not end after Cancel";
    EXPECT_FALSE(Exists(kInstallDir + "lib\\util.jar")) << "a cancelled wizard installed files";
}

TEST(InstallationWizardFromTheMainWindow, ReadsTheNamedSetAndOffersTheWayBack) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ChildProcess program;
    ASSERT_TRUE(program.Start(kInstalledProgram));
    HWND main = WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1030, BN_CLICKED), 0);
    HWND sheet = WaitForTitle("NEB 2.0 - Select NEB Distribution Set to install");
    ASSERT_NE(sheet, nullptr) << "no installation wizard";
    const DWORD pid = ProcessOf(sheet);
    HWND intro = ActivePage(sheet);
    HWND path = GetDlgItem(intro, 1061);
    ASSERT_NE(path, nullptr);

    // Next only once something other than blanks names a set.
    const char nothing[] = "Back:off Next:off Finish:hidden Cancel:on Help:on";
    const char next[] = "Back:off Next:on Finish:hidden Cancel:on Help:on";
    EXPECT_EQ(WaitForButtons(sheet, nothing), nothing);
    SetControlText(path, "   ");
    Sleep(300);
    EXPECT_EQ(ButtonStates(sheet), nothing);

    // Browse fills in the path chosen in the open dialog.
    PressButton(intro, 1001);
    HWND open = WaitForTitle("Select the NEB Distribution Set to install");
    ASSERT_NE(open, nullptr) << "no open dialog";
    std::string children;
    HWND name = FileNameEdit(open, children);
    ASSERT_NE(name, nullptr) << "no file name field in the open dialog: " << children;
    SetControlText(name, kSampleSet);
    PressButton(open, IDOK);
    ASSERT_TRUE(SheetBack(sheet, open));
    EXPECT_EQ(ControlText(path), kSampleSet);
    EXPECT_EQ(WaitForButtons(sheet, next), next);

    SetControlText(path, "C:\\wizards\\missing.nds");

    // A set that cannot be read is reported, and the user stays where the name can be fixed.
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    HWND failure = WaitForDialogShowing(pid, "has not been installed");
    ASSERT_NE(failure, nullptr) << "the unreadable set was not reported";
    PressButton(failure, 1013);
    HWND list = WaitForDialogShowing(pid, "The following problems have been encountered");
    ASSERT_NE(list, nullptr);
    EXPECT_NE(ControlText(GetDlgItem(list, 1011))
                  .find("Cannot read the NEB Distribution Set 'C:\\wizards\\missing.nds'"),
              std::string::npos)
        << ControlText(GetDlgItem(list, 1011));
    PressButton(list, IDOK);
    ASSERT_TRUE(WaitUntilGone(list));
    PressButton(failure, IDOK);
    ASSERT_TRUE(SheetBack(sheet, failure));
    EXPECT_EQ(ActivePage(sheet), intro);
    EXPECT_EQ(ButtonStates(sheet), next);

    // Through the intro page the selection page offers the way back; going back and on again
    // reads the set anew and chooses everything again.
    const Texts all = {kXml, kUtil, kParser, kViewer, kEditor};
    const char backAndFinish[] = "Back:on Next:hidden Finish:on Cancel:on Help:on";
    SetControlText(path, "  " + kSampleSet + "  ");
    for (int round = 0; round < 2; ++round) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        ASSERT_NE(WaitForTitle(kInstallTitle), nullptr) << "round " << round;
        EXPECT_EQ(WaitForButtons(sheet, backAndFinish), backAndFinish);
        HWND tree = TreeOf(sheet);
        EXPECT_EQ(WaitForCheckedExtensions(tree, all), all);
        if (round == 0) {
            EXPECT_EQ(Click(tree, kUtil, false, {kXml}), Texts{kXml});
            PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_BACK, 0);
            ASSERT_NE(WaitForTitle("NEB 2.0 - Select NEB Distribution Set to install"), nullptr);
            EXPECT_EQ(WaitForButtons(sheet, next), next);
            EXPECT_EQ(ControlText(path), "  " + kSampleSet + "  ");
        }
    }

    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(sheet));
    main = WaitForMainWindow(30000);
    ASSERT_NE(main, nullptr) << "the main window did not come back";
    EXPECT_FALSE(Exists(kInstallDir + "lib\\util.jar"));
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);
}

// A set with a core, so that every rule of choosing extensions to install shows: the component
// needs a library, the application needs the component, one library stands alone.
std::vector<Subset> RulesSet() {
    const std::string database = "[Core]\r\n"
                                 "Version=2.00\r\n"
                                 "Description=Rules Core\r\n"
                                 "Copyright=(c) Tessaly\r\n"
                                 "File=core/rules.jar\r\n"
                                 "JavaDispatcher=core/rules.jar\r\n"
                                 "\r\n"
                                 "[Library:base]\r\n"
                                 "Version=1.00\r\n"
                                 "Description=Base Library\r\n"
                                 "Copyright=(c) Tessaly\r\n"
                                 "Package=org/rules\r\n"
                                 "File=lib/base.jar\r\n"
                                 "\r\n"
                                 "[Library:spare]\r\n"
                                 "Version=1.00\r\n"
                                 "Description=Spare Library\r\n"
                                 "Copyright=(c) Tessaly\r\n"
                                 "Package=org/rules\r\n"
                                 "File=lib/spare.jar\r\n"
                                 "\r\n"
                                 "[Component:service]\r\n"
                                 "Version=1.00\r\n"
                                 "Description=Rules Service\r\n"
                                 "Copyright=(c) Tessaly\r\n"
                                 "Package=org/rules/service\r\n"
                                 "ServiceClass=org.rules.Service\r\n"
                                 "File=lib/service.jar\r\n"
                                 "Library=base\r\n"
                                 "\r\n"
                                 "[Application:tool]\r\n"
                                 "Version=1.00\r\n"
                                 "Description=Rules Tool\r\n"
                                 "Copyright=(c) Tessaly\r\n"
                                 "Package=apps/tool\r\n"
                                 "File=apps/tool.jar\r\n"
                                 "Component=service\r\n";
    return {{{"neb.cdb", database},
             {"core\\rules.jar", "core"},
             {"lib\\base.jar", "base"},
             {"lib\\spare.jar", "spare"},
             {"lib\\service.jar", "service"},
             {"apps\\tool.jar", "tool"}}};
}

TEST(InstallationSelectionTree, ChoosingBringsWhatIsNeededAndDroppingTakesWhatNeedsIt) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA("C:\\wizards", nullptr);
    ASSERT_TRUE(WriteSet("C:\\wizards\\rules.nds", RulesSet()));
    ChildProcess program;
    HWND sheet = OpenInstallationWizard(program, "C:\\wizards\\rules.nds");
    ASSERT_NE(sheet, nullptr) << "the installed program did not open the set";
    HWND page = ActivePage(sheet);
    HWND tree = TreeOf(sheet);
    ASSERT_NE(tree, nullptr);

    const std::string core = "Rules Core version 2.00";
    const std::string base = "Base Library version 1.00";
    const std::string spare = "Spare Library version 1.00";
    const std::string service = "Rules Service version 1.00";
    const std::string tool = "Rules Tool version 1.00";
    const Texts all = {core, base, spare, service, tool};
    EXPECT_EQ(WaitForCheckedExtensions(tree, all), all);

    PressButton(page, kUnselectAll);
    EXPECT_EQ(WaitForChecked(tree, {}), Texts{});
    // A component brings the library it needs and the core, and its package nodes show a check.
    EXPECT_EQ(Click(tree, service, true, {service, base, core}), (Texts{service, base, core}));
    EXPECT_EQ(CheckedItems(tree),
              (Texts{service, base, core, "org", "rules", "service", "System"}));
    // An application brings the component, which is there already with what it needs.
    EXPECT_EQ(Click(tree, tool, true, {tool, service, base, core}),
              (Texts{tool, service, base, core}));
    // Dropping the library drops everything that needs it, directly or not; the core stays.
    EXPECT_EQ(Click(tree, base, false, {core}), Texts{core});
    // Dropping the core drops everything.
    PressButton(page, kSelectAll);
    EXPECT_EQ(WaitForCheckedExtensions(tree, all), all);
    EXPECT_EQ(Click(tree, core, false, {}), Texts{});
    // A package node stands for every extension at or below it, each chosen with its rule.
    EXPECT_EQ(Click(tree, "org", true, {base, spare, service, core}),
              (Texts{base, spare, service, core}));

    // In the stereotype view a group stands for every extension of its kind.
    PressButton(page, kByStereotype);
    for (DWORD waited = 0; FindExactItem(tree, "Libraries") == nullptr && waited < 10000;
         waited += 50) {
        Sleep(50);
    }
    EXPECT_EQ(CheckedItems(tree), (Texts{base, spare, service, core, "Libraries", "Components"}))
        << "the checks do not follow the selection into the new view";
    PressButton(page, kUnselectAll);
    EXPECT_EQ(WaitForChecked(tree, {}), Texts{});
    EXPECT_EQ(Click(tree, "Applications", true, {tool, service, base, core}),
              (Texts{tool, service, base, core}));
    EXPECT_TRUE(RadioChecked(page, kByStereotype));
    EXPECT_FALSE(RadioChecked(page, kByProduct));

    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);
}

TEST(UninstallationSelectionTree, RemovingTakesWhatNeedsItAndKeepingKeepsWhatIsNeeded) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ASSERT_TRUE(InstallTheSampleSet());
    ChildProcess program;
    ASSERT_TRUE(program.Start(kInstalledProgram));
    HWND main = WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1031, BN_CLICKED), 0);
    HWND sheet = WaitForTitle(kUninstallTitle, 60000);
    ASSERT_NE(sheet, nullptr) << "no uninstallation wizard";
    HWND page = ActivePage(sheet);
    HWND tree = TreeOf(sheet);
    ASSERT_NE(tree, nullptr);

    // Nothing is chosen for removal at first, and Finish refuses an empty choice.
    EXPECT_EQ(WaitForButtons(sheet, kFinishOnly), kFinishOnly);
    EXPECT_EQ(CheckedItems(tree), Texts{});
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND box = WaitForDialogShowing(ProcessOf(sheet),
                                    "You have not selected any NEB extensions to uninstall");
    ASSERT_NE(box, nullptr) << "no message about the empty selection";
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitUntilGone(box));

    // Removing a library removes everything that needs it, directly or through the parser.
    EXPECT_EQ(Click(tree, kUtil, true, {kUtil, kParser, kViewer, kEditor}),
              (Texts{kUtil, kParser, kViewer, kEditor}));
    // Keeping the viewer keeps what it needs, the parser and both libraries; the editor, which
    // nothing kept needs, stays chosen.
    EXPECT_EQ(Click(tree, kViewer, false, {kEditor}), Texts{kEditor});
    PressButton(page, kUnselectAll);
    EXPECT_EQ(WaitForChecked(tree, {}), Texts{});
    EXPECT_EQ(Click(tree, kXml, true, {kXml, kParser, kViewer}), (Texts{kXml, kParser, kViewer}));
    // Keeping the parser keeps the libraries it needs, not the viewer that needs it.
    EXPECT_EQ(Click(tree, kParser, false, {kViewer}), Texts{kViewer});
    EXPECT_EQ(Click(tree, kEditor, true, {kViewer, kEditor}), (Texts{kViewer, kEditor}));

    // What the tree shows is what goes: the viewer and the editor, nothing they need.
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Uninstallation complete", 90000);
    ASSERT_NE(complete, nullptr) << "no completion report";
    EXPECT_NE(StaticTexts(complete).find("2 NEB Extension(s) have been successfully uninstalled"),
              std::string::npos)
        << StaticTexts(complete);
    PressButton(complete, IDOK);
    EXPECT_TRUE(WaitUntilGone(complete));
    EXPECT_FALSE(Exists(kInstallDir + "apps\\editor\\editor.jar"));
    EXPECT_FALSE(Exists(kInstallDir + "apps\\viewer\\viewer.jar"));
    for (const char* kept : {"lib\\util.jar", "lib\\xml.jar", "lib\\parser.jar"}) {
        EXPECT_TRUE(Exists(kInstallDir + kept)) << kept;
    }
    HWND again = WaitForMainWindow(30000);
    if (again != nullptr) {
        PostMessageA(again, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
    }
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);
}

// Unchecks two items with requests that reach the tree one right after the other, so that no poll
// runs between them; true once the tree has taken both.
bool UncheckTwoAtOnce(HWND tree, HTREEITEM first, HTREEITEM second) {
    RemoteBlock a(tree, sizeof(TVITEMA));
    RemoteBlock b(tree, sizeof(TVITEMA));
    if (!a.Valid() || !b.Valid()) {
        return false;
    }
    TVITEMA tv = {};
    tv.mask = TVIF_STATE | TVIF_HANDLE;
    tv.stateMask = TVIS_STATEIMAGEMASK;
    tv.state = INDEXTOSTATEIMAGEMASK(1);
    tv.hItem = first;
    bool written = a.Write(0, &tv, sizeof tv);
    tv.hItem = second;
    written = written && b.Write(0, &tv, sizeof tv);
    if (!written) {
        return false;
    }
    // Posted requests are taken in order and before the timer's message, so both land before
    // the next poll; a third one that is easy to see tells when they have been taken.
    const COLORREF marker = RGB(250, 250, 251);
    PostMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(a.Address()));
    PostMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(b.Address()));
    PostMessageA(tree, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(marker));
    for (DWORD waited = 0; waited < 10000; waited += 10) {
        if (static_cast<COLORREF>(SendMessageA(tree, TVM_GETBKCOLOR, 0, 0)) == marker) {
            SendMessageA(tree, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(-1));
            return true;
        }
        Sleep(10);
    }
    return false;
}

TEST(SelectionTreePoll, TwoChecksChangedBetweenTwoPollsAreBothReverted) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    ChildProcess program;
    HWND sheet = OpenInstallationWizard(program, kSampleSet);
    ASSERT_NE(sheet, nullptr) << "the installed program did not open the set";
    HWND page = ActivePage(sheet);
    HWND tree = TreeOf(sheet);
    ASSERT_NE(tree, nullptr);
    const Texts all = {kXml, kUtil, kParser, kViewer, kEditor};
    ASSERT_EQ(WaitForCheckedExtensions(tree, all), all);

    // Two clearings in one poll cannot be told apart from a slip, so both are undone: nothing
    // is dropped, not even what needs the library. A poll that slipped in between the two
    // requests would act on each, so a few tries are allowed; a tree that never reverts fails
    // every one.
    HTREEITEM editor = FindExactItem(tree, kEditor);
    HTREEITEM xml = FindExactItem(tree, kXml);
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(xml, nullptr);
    Texts seen;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(UncheckTwoAtOnce(tree, editor, xml)) << "the tree did not take the clicks";
        seen = WaitForCheckedExtensions(tree, all, 5000);
        if (seen == all) {
            break;
        }
        PressButton(page, kSelectAll);
        ASSERT_EQ(WaitForCheckedExtensions(tree, all), all);
    }
    EXPECT_EQ(seen, all) << Listed(seen);

    // The poll still works one click at a time afterwards.
    EXPECT_EQ(Click(tree, kEditor, false, {kXml, kUtil, kParser, kViewer}),
              (Texts{kXml, kUtil, kParser, kViewer}));

    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);
}

TEST(CoreInstallationWizard, ChecksTheDirectoryAndBrowsesForOne) {
    ChildProcess first;
    ASSERT_TRUE(first.Start("C:\\medium\\NebCM.exe"));
    HWND sheet = WaitForTitle(kCoreTitle);
    ASSERT_NE(sheet, nullptr) << "no core installation wizard";
    const DWORD pid = ProcessOf(sheet);
    HWND page = ActivePage(sheet);
    HWND edit = GetDlgItem(page, 1000);
    ASSERT_NE(edit, nullptr);

    // Without NEB 1.0 the directory page is the only one: Finish, greyed while the field holds
    // nothing but blanks.
    EXPECT_EQ(WaitForButtons(sheet, kFinishOnly), kFinishOnly);
    EXPECT_EQ(ControlText(edit), "C:\\Program Files\\NEB\\20");
    SetControlText(edit, "   ");
    const char greyed[] = "Back:off Next:hidden Finish:off Cancel:on Help:on";
    EXPECT_EQ(WaitForButtons(sheet, greyed), greyed);

    // Browse: the fixed drives, nothing chosen (so no OK) until a folder is picked, and the
    // chosen folder with the platform's subdirectory below it.
    PressButton(page, 1001);
    HWND browser = WaitForTitle("Select NEB 2.0 installation directory");
    ASSERT_NE(browser, nullptr) << "no directory browser";
    HWND folders = GetDlgItem(browser, 1010);
    HWND chosen = GetDlgItem(browser, 1009);
    HWND ok = GetDlgItem(browser, IDOK);
    EXPECT_FALSE(IsWindowEnabled(ok));
    EXPECT_EQ(ControlText(chosen), "");
    HTREEITEM driveC = nullptr;
    for (const TreeEntry& e : TreeItems(folders)) {
        if (e.depth == 0) {
            EXPECT_TRUE(e.text.size() > 4 && e.text[1] == ':' && e.text.compare(2, 2, " [") == 0)
                << e.text;
            if (e.text.compare(0, 4, "C: [") == 0) {
                driveC = e.item;
            }
        }
    }
    ASSERT_NE(driveC, nullptr) << "drive C is not offered";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(folders, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(driveC),
                        SMTO_ABORTIFHUNG, 10000, &ignored);
    EXPECT_EQ(ControlText(chosen), "C:\\NEB\\20");
    EXPECT_TRUE(IsWindowEnabled(ok));
    std::vector<std::string> children;
    HTREEITEM medium = nullptr;
    for (HTREEITEM c = TreeNext(folders, driveC, TVGN_CHILD); c != nullptr;
         c = TreeNext(folders, c, TVGN_NEXT)) {
        children.push_back(TreeItemText(folders, c));
        if (children.back() == "medium") {
            medium = c;
        }
    }
    ASSERT_NE(medium, nullptr) << "the folders of C: are not listed";
    for (std::size_t i = 1; i < children.size(); ++i) {
        EXPECT_LE(lstrcmpiA(children[i - 1].c_str(), children[i].c_str()), 0)
            << children[i - 1] << " before " << children[i];
    }
    SendMessageTimeoutA(folders, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(medium),
                        SMTO_ABORTIFHUNG, 10000, &ignored);
    EXPECT_EQ(ControlText(chosen), "C:\\medium\\NEB\\20");
    PressButton(browser, IDOK);
    ASSERT_TRUE(SheetBack(sheet, browser));
    EXPECT_EQ(ControlText(edit), "C:\\medium\\NEB\\20");
    EXPECT_EQ(WaitForButtons(sheet, kFinishOnly), kFinishOnly);

    // A directory that does not exist: asked about; "No" stays and makes nothing.
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND create = WaitForDialogShowing(pid, "does not exist");
    ASSERT_NE(create, nullptr) << "no question about the missing directory";
    EXPECT_NE(StaticTexts(create).find("C:\\medium\\NEB\\20"), std::string::npos)
        << StaticTexts(create);
    PressButton(create, IDCANCEL);
    ASSERT_TRUE(SheetBack(sheet, create));
    EXPECT_FALSE(Exists("C:\\medium\\NEB"));

    // Windows itself, spelt as the system would still open it: refused with a message before
    // any question; the wizard stays and nothing is asked about overwriting it.
    SetControlText(edit, "c:\\WINDOWS.");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND refused = WaitForDialogShowing(pid, "cannot be used as the NEB 2.0 installation");
    ASSERT_NE(refused, nullptr) << "the Windows directory was not refused";
    EXPECT_NE(StaticTexts(refused).find("C:\\windows"), std::string::npos) << StaticTexts(refused);
    PressButton(refused, IDOK);
    ASSERT_TRUE(SheetBack(sheet, refused));
    EXPECT_TRUE(Exists("C:\\windows\\win.ini"));

    // An existing directory: warned about; choosing another stays.
    SetControlText(edit, "C:\\medium");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND exists = WaitForDialogShowing(pid, "already exists");
    ASSERT_NE(exists, nullptr) << "no warning about the existing directory";
    PressButton(exists, IDCANCEL);
    ASSERT_TRUE(SheetBack(sheet, exists));

    // A directory on a drive that is not there: "Yes" finds it cannot be made; choosing another
    // stays, giving up closes the wizard and installs nothing.
    ASSERT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
    SetControlText(edit, "Q:\\NEB\\20");
    for (int answer : {1007, IDCANCEL}) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        HWND query = WaitForDialogShowing(pid, "does not exist");
        ASSERT_NE(query, nullptr);
        PressButton(query, 1007);
        HWND failed = WaitForDialogShowing(pid, "could not be created");
        ASSERT_NE(failed, nullptr) << "no report of the directory that cannot be made";
        EXPECT_NE(StaticTexts(failed).find("Q:\\NEB\\20"), std::string::npos);
        PressButton(failed, answer);
        if (answer == 1007) {
            ASSERT_TRUE(SheetBack(sheet, failed));
        }
    }
    EXPECT_EQ(first.Wait(30000), 0u) << "the cancelled wizard did not end the program";
    EXPECT_EQ(RegistryText(kPlatformKey, "InstallationPath"), "<no key>");
    EXPECT_FALSE(Exists("C:\\Program Files\\NEB"));

    // Agreeing to overwrite an existing directory installs there, blanks around it ignored.
    CreateDirectoryA("C:\\wizards", nullptr);
    ASSERT_TRUE(CreateDirectoryA("C:\\wizards\\target", nullptr));
    ChildProcess second;
    ASSERT_TRUE(second.Start("C:\\medium\\NebCM.exe"));
    sheet = WaitForTitle(kCoreTitle);
    ASSERT_NE(sheet, nullptr);
    SetControlText(GetDlgItem(ActivePage(sheet), 1000), "  C:\\wizards\\target  ");
    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    exists = WaitForDialogShowing(ProcessOf(sheet), "already exists");
    ASSERT_NE(exists, nullptr);
    EXPECT_NE(StaticTexts(exists).find("C:\\wizards\\target"), std::string::npos);
    PressButton(exists, 1007);
    HWND main = WaitForMainWindow(120000);
    ASSERT_NE(main, nullptr) << "the platform was not installed into the chosen directory";
    EXPECT_TRUE(Exists("C:\\wizards\\target\\neb.cdb"));
    EXPECT_TRUE(Exists("C:\\wizards\\target\\NebCM.exe"));
    std::string recorded = RegistryText(kPlatformKey, "InstallationPath");
    if (!recorded.empty() && recorded.back() == '\\') {
        recorded.pop_back();
    }
    EXPECT_EQ(lstrcmpiA(recorded.c_str(), "C:\\wizards\\target"), 0) << recorded;
    const DWORD installed = ProcessOf(main);
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(1032, BN_CLICKED), 0);
    EXPECT_TRUE(WaitForProcessEnd(installed));
}

bool SetRegistryText(const char* key, const char* value, const std::string& text) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegSetValueExA(k, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
    RegCloseKey(k);
    return status == ERROR_SUCCESS;
}

// A NEB 1.0 installation as the core installation finds it: its registry values, its database
// in the older dialect, and the core's one file.
bool MakeNeb10Installation() {
    const std::string dir = "C:\\NEB10";
    CreateDirectoryA(dir.c_str(), nullptr);
    const std::string database = "[Core]\r\nVersion=100\r\nDescription=NEB 1.0 Core\r\n"
                                 "Copyright=(c) Tessaly\r\nBase=" +
                                 dir + "\r\nFile=neb.exe\r\n";
    return WriteTextFile(dir + "\\neb.exe", "MZ") && WriteTextFile(dir + "\\neb.cdb", database) &&
           SetRegistryText("Software\\Tessaly\\NEB\\1.0", "InstallationPath", dir) &&
           SetRegistryText("Software\\Tessaly\\NEB\\1.0", "ComponentDatabase", dir + "\\neb.cdb");
}

int CheckedPolicy(HWND page) {
    for (int id = 1002; id <= 1005; ++id) {
        if (RadioChecked(page, id)) {
            return id;
        }
    }
    return 0;
}

int WaitForPolicy(HWND page, int id) {
    int seen = CheckedPolicy(page);
    for (DWORD waited = 0; seen != id && waited < 10000; waited += 50) {
        Sleep(50);
        seen = CheckedPolicy(page);
    }
    return seen;
}

TEST(CoreInstallationWizardBesideNeb10, AsksWhatBecomesOfNeb10OnASecondPage) {
    ASSERT_TRUE(MakeNeb10Installation());
    ChildProcess first;
    ASSERT_TRUE(first.Start("C:\\medium\\NebCM.exe"));
    HWND sheet = WaitForTitle(kCoreTitle);
    ASSERT_NE(sheet, nullptr) << "no core installation wizard";
    const DWORD pid = ProcessOf(sheet);
    HWND edit = GetDlgItem(ActivePage(sheet), 1000);

    // With NEB 1.0 found the directory page leads on with Next, greyed for a blank field.
    const char next[] = "Back:off Next:on Finish:hidden Cancel:on Help:on";
    const char none[] = "Back:off Next:off Finish:hidden Cancel:on Help:on";
    const char backAndFinish[] = "Back:on Next:hidden Finish:on Cancel:on Help:on";
    EXPECT_EQ(WaitForButtons(sheet, next), next);
    SetControlText(edit, " ");
    EXPECT_EQ(WaitForButtons(sheet, none), none);
    SetControlText(edit, "C:\\Program Files\\NEB\\20");
    EXPECT_EQ(WaitForButtons(sheet, next), next);

    // The policy page starts at upgrading 1.0, takes a click at once and keeps it across a
    // trip back to the directory page (whose check runs again on the way).
    for (int round = 0; round < 2; ++round) {
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        HWND create = WaitForDialogShowing(pid, "does not exist");
        ASSERT_NE(create, nullptr) << "round " << round;
        PressButton(create, 1007);
        ASSERT_NE(WaitForTitle("NEB 2.0 - Select upgrade policy"), nullptr) << "round " << round;
        HWND policy = ActivePage(sheet);
        EXPECT_EQ(WaitForButtons(sheet, backAndFinish), backAndFinish);
        if (round == 0) {
            EXPECT_EQ(WaitForPolicy(policy, 1005), 1005);
            PostMessageA(GetDlgItem(policy, 1002), BM_CLICK, 0, 0);
            EXPECT_EQ(WaitForPolicy(policy, 1002), 1002);
            PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_BACK, 0);
            ASSERT_NE(WaitForTitle(kCoreTitle), nullptr);
            EXPECT_EQ(WaitForButtons(sheet, next), next);
        } else {
            EXPECT_EQ(WaitForPolicy(policy, 1002), 1002);
        }
    }
    // The directory check left nothing behind.
    EXPECT_FALSE(Exists("C:\\Program Files\\NEB"));

    PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_NE(first.Wait(30000), STILL_ACTIVE);
    EXPECT_EQ(RegistryText(kPlatformKey, "InstallationPath"), "<no key>");
    EXPECT_EQ(RegistryText("Software\\Tessaly\\NEB\\1.0", "InstallationPath"), "C:\\NEB10");
}

// Two subsets that define one library in one version differently: its description and its
// files differ, and the files are told twice over (their list, then the first file missing).
std::vector<Subset> ConflictingSet() {
    auto subset = [](const std::string& description, const std::string& file) {
        return Subset{
            {"neb.cdb", "[Library:twice]\r\nVersion=1.00\r\nDescription=" + description +
                            "\r\nCopyright=(c) Tessaly\r\nPackage=org/twice\r\nFile=lib/" + file +
                            "\r\n"},
            {"lib\\" + file, file}};
    };
    return {subset("First", "one.jar"), subset("Second", "two.jar")};
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!line.empty()) {
                lines.push_back(line);
            }
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ErrorListOfARejectedSet, ShowsEachMessageOnceAndSavesEveryOne) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA("C:\\wizards", nullptr);
    ASSERT_TRUE(WriteSet("C:\\wizards\\twice.nds", ConflictingSet()));
    ChildProcess program;
    ASSERT_TRUE(program.Start(kInstalledProgram, "C:\\wizards\\twice.nds"));

    HWND failure = WaitForDialogShowing(program.Id(), "has not been installed", 90000);
    ASSERT_NE(failure, nullptr) << "the rejected set was not reported";
    PressButton(failure, 1013);
    HWND list = WaitForDialogShowing(program.Id(), "The following problems have been encountered");
    ASSERT_NE(list, nullptr) << "no error list";
    const std::string description =
        "The NEB extension 'twice' is defined more than once with a different description";
    const std::string files =
        "The NEB extension 'twice' is defined more than once with a different set of files";
    EXPECT_EQ(NonEmptyLines(ControlText(GetDlgItem(list, 1011))),
              (std::vector<std::string>{description, files}));
    // Enter closes the list at once: the focus is on Close, not in the text.
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(list, nullptr), &thread));
    EXPECT_EQ(thread.hwndFocus, GetDlgItem(list, IDOK));

    PressButton(list, 1012);
    HWND save = WaitForTitle("Save error log as...");
    ASSERT_NE(save, nullptr) << "no save dialog";
    std::string children;
    HWND name = FileNameEdit(save, children);
    ASSERT_NE(name, nullptr) << "no file name field in the save dialog: " << children;
    const std::string log = "C:\\wizards\\errors.txt";
    SetControlText(name, log);
    PressButton(save, IDOK);
    ASSERT_TRUE(WaitUntilGone(save));
    std::string saved;
    for (DWORD waited = 0; saved.empty() && waited < 10000; waited += 100) {
        Sleep(100);
        saved = ReadWholeFile(log);
    }
    // The log keeps every message, repeats included, one per CR LF line.
    EXPECT_EQ(saved, description + "\r\n" + files + "\r\n" + files + "\r\n");
    EXPECT_TRUE(IsWindowVisible(list));

    PressButton(list, IDOK);
    EXPECT_TRUE(WaitUntilGone(list));
    PressButton(failure, IDOK);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);
}

} // namespace
} // namespace nebcm::testing
