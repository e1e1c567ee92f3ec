// The three wizards under Wine, driven from a second thread: button states, reading a set,
// empty selections, the installation directory check and the upgrade policy.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "common/messages.h"
#include "dialog_driver.h"
#include "engine/file_system.h"
#include "sample_configuration.h"
#include "support/scratch_dir.h"
#include "ui/core_installation_wizard.h"
#include "ui/extension_wizards.h"
#include "ui/resource.h"

namespace nebcm::ui {
namespace {

using nebcm::testing::ScratchDir;
using testing::DialogDriver;
using testing::Press;
using testing::SampleConfiguration;
using testing::WindowText;

HWND CurrentPage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// A wizard whose current page has this control.
testing::WindowMatch OnPage(int id) {
    return [id](HWND w) {
        HWND page = CurrentPage(w);
        return page != nullptr && GetDlgItem(page, id) != nullptr;
    };
}

// A dialog whose first-choice button reads so; tells the three directory questions apart.
testing::WindowMatch Question(const std::string& firstChoice) {
    return [firstChoice](HWND w) {
        return GetDlgItem(w, IDC_DIRECTORY_PATH) != nullptr &&
               WindowText(GetDlgItem(w, IDC_FIRST_CHOICE)) == firstChoice;
    };
}

// The wizard buttons that can be pressed: shown and enabled.
std::string Buttons(HWND sheet) {
    std::string out;
    const std::pair<int, const char*> buttons[] = {
        {0x3023, "Back"}, {0x3024, "Next"}, {0x3025, "Finish"}};
    for (const auto& b : buttons) {
        HWND button = GetDlgItem(sheet, b.first);
        if (button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button)) {
            out += out.empty() ? b.second : std::string(" ") + b.second;
        }
    }
    return out;
}

// The buttons once they have settled on the expected ones (they are set by a posted request).
std::string ButtonsAfterSettling(HWND sheet, const std::string& expected) {
    std::string now = Buttons(sheet);
    for (int i = 0; i < 200 && now != expected; ++i) {
        Sleep(10);
        now = Buttons(sheet);
    }
    return now;
}

void Type(HWND sheet, int id, const char* text) {
    SendMessageA(GetDlgItem(CurrentPage(sheet), id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void PressWizard(HWND sheet, int button) {
    PostMessageA(sheet, PSM_PRESSBUTTON, button, 0);
}

std::unique_ptr<DistributionSet> SampleSet() {
    return std::make_unique<DistributionSet>(SampleConfiguration(),
                                             std::vector<std::unique_ptr<ArchiveEntry>>());
}

TEST(ExtensionInstallationWizard, StartedWithASetOffersFinishAlone) {
    CExtensionInstallationWizard wizard(SampleSet(), nullptr);
    std::string buttons;
    DialogDriver driver;
    driver.Then(OnPage(IDC_SELECTION_TREE), [&](HWND w) {
        buttons = ButtonsAfterSettling(w, "Finish");
        PressWizard(w, PSBTN_FINISH);
    });
    driver.Start();
    EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(buttons, "Finish");
    EXPECT_EQ(wizard.GetSelection().size(), 6u) << "everything is chosen at first";
    std::unique_ptr<DistributionSet> set = wizard.DetachDistributionSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(wizard.GetDistributionSet(), nullptr);
    EXPECT_TRUE(wizard.GetSelection().count(set->MergedConfiguration().FindCore()));
}

// Reads every path as the sample set, counting the readings.
class SampleReadingWizard : public CExtensionInstallationWizard {
public:
    using CExtensionInstallationWizard::CExtensionInstallationWizard;
    std::string readPath;
    int reads = 0;

protected:
    std::unique_ptr<DistributionSet> ReadSet(HWND, const std::string& path, ErrorList&) override {
        readPath = path;
        ++reads;
        return SampleSet();
    }
};

TEST(ExtensionInstallationWizard, ThroughTheIntroPageWithBackAndFinishAndNoEmptySelection) {
    SampleReadingWizard wizard(nullptr);
    std::string blank, typed, selecting;
    bool warned = false;
    DialogDriver driver;
    driver
        .Then(OnPage(IDC_SET_PATH),
              [&](HWND w) {
                  blank = ButtonsAfterSettling(w, "");
                  Type(w, IDC_SET_PATH, "   ");
                  blank += "|" + ButtonsAfterSettling(w, "");
                  Type(w, IDC_SET_PATH, " C:\\sets\\a.nds ");
                  typed = ButtonsAfterSettling(w, "Next");
                  PressWizard(w, PSBTN_NEXT);
                  // The same window goes on, so this step waits for the next page itself.
                  for (int i = 0; i < 500 && !OnPage(IDC_SELECTION_TREE)(w); ++i) {
                      Sleep(10);
                  }
                  selecting = ButtonsAfterSettling(w, "Back Finish");
                  Press(CurrentPage(w), IDC_UNSELECT_ALL);
                  PressWizard(w, PSBTN_FINISH);
              })
        .Then(testing::WithCaption("NEB 2.0 - Select NEB extensions to install"),
              [&](HWND w) {
                  // Either the message box or, should it not come, the wizard itself.
                  warned = CurrentPage(w) == nullptr;
                  Press(w, IDOK);
              })
        .Then(OnPage(IDC_SELECTION_TREE), [&](HWND w) {
            Press(CurrentPage(w), IDC_SELECT_ALL);
            PressWizard(w, PSBTN_FINISH);
        });
    driver.Start();
    EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(blank, "|") << "no Next for an empty or blank path";
    EXPECT_EQ(typed, "Next");
    EXPECT_EQ(selecting, "Back Finish");
    EXPECT_TRUE(warned) << "an empty selection is refused with a message";
    EXPECT_EQ(wizard.readPath, "C:\\sets\\a.nds");
    EXPECT_EQ(wizard.DistributionSetPath(), " C:\\sets\\a.nds ");
    EXPECT_EQ(wizard.reads, 1);
    EXPECT_EQ(wizard.GetSelection().size(), 6u);
}

TEST(ExtensionInstallationWizard, ASetThatCannotBeReadKeepsTheUserOnTheIntroPage) {
    ScratchDir dir;
    dir.Write("broken.nds", "not a distribution set");
    CExtensionInstallationWizard wizard(nullptr);
    bool stayed = false;
    DialogDriver driver;
    driver
        .Then(OnPage(IDC_SET_PATH),
              [&](HWND w) {
                  Type(w, IDC_SET_PATH, dir.File("broken.nds").c_str());
                  ButtonsAfterSettling(w, "Next");
                  PressWizard(w, PSBTN_NEXT);
              })
        .Then(testing::WithControl(IDC_VIEW_ERROR_LOG), [&](HWND w) { Press(w, IDOK); })
        .Then(OnPage(IDC_SET_PATH), [&](HWND w) {
            stayed = true;
            PressWizard(w, PSBTN_CANCEL);
        });
    driver.Start();
    EXPECT_EQ(wizard.Run(), IDCANCEL);
    EXPECT_TRUE(driver.Finish());
    EXPECT_TRUE(stayed);
    EXPECT_EQ(wizard.GetDistributionSet(), nullptr);
}

TEST(ExtensionUninstallationWizard, StartsWithNothingChosenAndReturnsTheChoice) {
    auto installed = SampleConfiguration();
    CExtensionUninstallationWizard wizard(*installed, nullptr);
    std::string buttons;
    DialogDriver driver;
    driver.Then(OnPage(IDC_SELECTION_TREE), [&](HWND w) {
        buttons = ButtonsAfterSettling(w, "Finish");
        HWND tree = GetDlgItem(CurrentPage(w), IDC_SELECTION_TREE);
        // Check the first top-level item (package "apps" in the product view) as a user would.
        HTREEITEM first =
            reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        TVITEMA tv = {};
        tv.mask = TVIF_STATE;
        tv.hItem = first;
        tv.stateMask = TVIS_STATEIMAGEMASK;
        tv.state = INDEXTOSTATEIMAGEMASK(2);
        SendMessageA(tree, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        Sleep(300); // a few polls
        PressWizard(w, PSBTN_FINISH);
    });
    driver.Start();
    EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(buttons, "Finish");
    std::set<std::string> names;
    for (const Extension* e : wizard.GetSelection()) {
        names.insert(e->Name());
    }
    EXPECT_EQ(names, (std::set<std::string>{"editor", "viewer"}));
}

// A drive letter that names nothing on this machine.
std::string MissingDrive() {
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Y'; letter > 'C'; --letter) {
        if (!(drives & (1u << (letter - 'A')))) {
            return std::string(1, letter) + ":\\NEB\\20";
        }
    }
    return std::string();
}

TEST(NebInstallationWizard, DirectoryCheckStaysGoesOnOrCancels) {
    ScratchDir dir;
    std::string missing = MissingDrive();
    ASSERT_FALSE(missing.empty());
    CNebInstallationWizard wizard(nullptr);
    wizard.UpgradePageEnabled = false;
    std::string initial, empty, shownPath;
    DialogDriver driver;
    driver
        .Then(OnPage(IDC_INSTALLATION_DIRECTORY),
              [&](HWND w) {
                  initial = WindowText(GetDlgItem(CurrentPage(w), IDC_INSTALLATION_DIRECTORY));
                  Type(w, IDC_INSTALLATION_DIRECTORY, "  ");
                  empty = ButtonsAfterSettling(w, "");
                  Type(w, IDC_INSTALLATION_DIRECTORY, dir.Path().c_str());
                  ButtonsAfterSettling(w, "Finish");
                  PressWizard(w, PSBTN_FINISH);
              })
        // An existing directory: choosing another one stays on the page.
        .Then(Question("OK, overwrite the entire directory"),
              [&](HWND w) {
                  shownPath = testing::ItemText(w, IDC_DIRECTORY_PATH);
                  Press(w, IDCANCEL);
              })
        .Then(OnPage(IDC_INSTALLATION_DIRECTORY),
              [&](HWND w) {
                  Type(w, IDC_INSTALLATION_DIRECTORY, missing.c_str());
                  PressWizard(w, PSBTN_FINISH);
              })
        .Then(Question("Yes, and proceed with installation"),
              [&](HWND w) { Press(w, IDC_FIRST_CHOICE); })
        // A drive that is not there: giving up closes the wizard as cancelled.
        .Then(Question("Select another installation directory"),
              [&](HWND w) { Press(w, IDCANCEL); });
    driver.Start();
    EXPECT_EQ(wizard.Run(), IDCANCEL);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(initial, "C:\\Program Files\\NEB\\20");
    EXPECT_EQ(empty, "") << "a disabled Finish for an empty field";
    EXPECT_EQ(shownPath, dir.Path());
}

struct TextSearch {
    const std::string* words;
    bool found;
};

BOOL CALLBACK FindText(HWND child, LPARAM param) {
    TextSearch* search = reinterpret_cast<TextSearch*>(param);
    search->found = WindowText(child).find(*search->words) != std::string::npos;
    return !search->found;
}

// A message box (or any dialog) one of whose texts holds the words.
testing::WindowMatch Saying(const std::string& words) {
    return [words](HWND w) {
        TextSearch search = {&words, false};
        EnumChildWindows(w, FindText, reinterpret_cast<LPARAM>(&search));
        return search.found;
    };
}

TEST(NebInstallationWizard, AProtectedDirectoryIsRefusedWithAMessageAndThePageStays) {
    char windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    CNebInstallationWizard wizard(nullptr);
    wizard.UpgradePageEnabled = false;
    std::vector<std::string> shown;
    int stays = 0;
    auto refuse = [&](HWND w) {
        HWND text = FindWindowExA(w, nullptr, "Static", nullptr);
        for (; text != nullptr; text = FindWindowExA(w, text, "Static", nullptr)) {
            if (!WindowText(text).empty()) {
                shown.push_back(WindowText(text));
            }
        }
        Press(w, IDOK);
    };
    auto typeAndFinish = [&](const char* typed) {
        return [&, typed](HWND w) {
            ++stays;
            Type(w, IDC_INSTALLATION_DIRECTORY, typed);
            ButtonsAfterSettling(w, "Finish");
            PressWizard(w, PSBTN_FINISH);
        };
    };
    const char* const refused = "cannot be used as the NEB 2.0 installation directory";
    DialogDriver driver;
    driver.Then(OnPage(IDC_INSTALLATION_DIRECTORY), typeAndFinish("C:\\WINDOWS."))
        .Then(Saying(refused), refuse)
        .Then(OnPage(IDC_INSTALLATION_DIRECTORY), typeAndFinish("C:\\"))
        .Then(Saying("is the root of a drive"), refuse)
        .Then(OnPage(IDC_INSTALLATION_DIRECTORY), [&](HWND w) {
            ++stays;
            PressWizard(w, PSBTN_CANCEL);
        });
    driver.Start();
    EXPECT_EQ(wizard.Run(), IDCANCEL);
    EXPECT_TRUE(driver.Finish()) << driver.StepsDone() << " steps";
    EXPECT_EQ(stays, 3) << "the directory page stays after each message";
    EXPECT_EQ(shown, (std::vector<std::string>{
                         Message(13001, "C:\\WINDOWS", windows),
                         Message(13002, "C:\\"),
                     }));
}

TEST(NebInstallationWizard, ANewDirectoryIsTestedAndLeftUnmadeThenThePolicyIsChosen) {
    ScratchDir dir;
    std::string target = dir.File("new\\NEB\\20");
    CNebInstallationWizard wizard(nullptr);
    std::string intro, upgrade;
    int shownPolicy = -1;
    DialogDriver driver;
    driver
        .Then(OnPage(IDC_INSTALLATION_DIRECTORY),
              [&](HWND w) {
                  Type(w, IDC_INSTALLATION_DIRECTORY, target.c_str());
                  intro = ButtonsAfterSettling(w, "Next");
                  PressWizard(w, PSBTN_NEXT);
              })
        .Then(Question("Yes, and proceed with installation"),
              [&](HWND w) { Press(w, IDC_FIRST_CHOICE); })
        .Then(OnPage(IDC_POLICY_UPGRADE), [&](HWND w) {
            upgrade = ButtonsAfterSettling(w, "Back Finish");
            HWND page = CurrentPage(w);
            for (int id = IDC_POLICY_ALONGSIDE; id <= IDC_POLICY_UPGRADE; ++id) {
                if (IsDlgButtonChecked(page, id) == BST_CHECKED) {
                    shownPolicy = id - IDC_POLICY_ALONGSIDE;
                }
            }
            Press(page, IDC_POLICY_ALONGSIDE_MIGRATE);
            PressWizard(w, PSBTN_FINISH);
        });
    driver.Start();
    EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(intro, "Next");
    EXPECT_EQ(upgrade, "Back Finish");
    EXPECT_EQ(shownPolicy, 3);
    EXPECT_EQ(wizard.UpgradePolicy, 1);
    EXPECT_EQ(wizard.InstallationDirectory, target);
    EXPECT_FALSE(PathExists(dir.File("new"))) << "the test leaves nothing behind";
}

} // namespace
} // namespace nebcm::ui
