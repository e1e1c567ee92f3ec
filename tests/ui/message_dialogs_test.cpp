// The message dialogs under Wine: result ids, the error list with its log file, the failure
// reports that open it, and the completion reports with their lines and lists.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "support/scratch_dir.h"
#include "ui/error_list_dialog.h"
#include "ui/message_dialogs.h"
#include "ui/resource.h"

namespace nebcm::ui {
namespace {

using nebcm::testing::ScratchDir;
using testing::DialogDriver;
using testing::ItemText;
using testing::Press;
using testing::WindowText;
using testing::WithCaption;
using testing::WithControl;

// Rich-edit controls may hand their text back with CR alone at line ends.
std::string Lines(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

ErrorList ListOf(std::initializer_list<const char*> messages) {
    ErrorList list;
    for (const char* m : messages) {
        list.Add(m);
    }
    return list;
}

class MessageDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadRichEditLibrary()); }
};

struct ChoiceCase {
    const char* name;
    std::function<std::unique_ptr<Dialog>()> make;
    int press; // 0: Escape
    INT_PTR result;
};

TEST_F(MessageDialogs, EachQuestionEndsWithTheIdOfItsAnswer) {
    const std::string path = "C:\\Program Files\\NEB\\20";
    auto create = [path] { return std::make_unique<CreateDirectoryQueryDialog>(path, nullptr); };
    auto notCreated = [path] { return std::make_unique<DirectoryNotCreatedDialog>(path, nullptr); };
    auto exists = [path] { return std::make_unique<DirectoryExistsDialog>(path, nullptr); };
    auto confirm = [] { return std::make_unique<UninstallConfirmationDialog>(nullptr); };
    auto running = [] { return std::make_unique<AlreadyRunningDialog>(nullptr); };
    auto completed = [] { return std::make_unique<UninstallCompletedDialog>(nullptr); };
    auto about = [] { return std::make_unique<AboutDialog>(nullptr); };
    auto corrupt = [] { return std::make_unique<InstallationCorruptDialog>(ErrorList(), nullptr); };
    const ChoiceCase cases[] = {
        {"create: yes", create, IDC_FIRST_CHOICE, IDC_FIRST_CHOICE},
        {"create: no", create, IDCANCEL, IDCANCEL},
        {"create: escape", create, 0, IDCANCEL},
        {"not created: another", notCreated, IDC_FIRST_CHOICE, IDC_FIRST_CHOICE},
        {"not created: cancel", notCreated, IDCANCEL, IDCANCEL},
        {"exists: overwrite", exists, IDC_FIRST_CHOICE, IDC_FIRST_CHOICE},
        {"exists: escape", exists, 0, IDCANCEL},
        {"uninstall: yes", confirm, IDYES, IDYES},
        {"uninstall: no", confirm, IDNO, IDNO},
        {"uninstall: escape is no", confirm, 0, IDNO},
        {"already running", running, IDOK, IDOK},
        {"already running: escape is close", running, 0, IDOK},
        {"uninstall completed", completed, IDOK, IDOK},
        {"about", about, IDOK, IDOK},
        {"corrupt: uninstall", corrupt, IDC_UNINSTALL_PLATFORM, IDC_UNINSTALL_PLATFORM},
        {"corrupt: close", corrupt, IDOK, IDOK},
        {"corrupt: escape is close", corrupt, 0, IDOK},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Dialog> dialog = c.make();
        std::string shownPath;
        DialogDriver driver;
        driver.Then([](HWND) { return true; },
                    [&](HWND w) {
                        shownPath = ItemText(w, IDC_DIRECTORY_PATH);
                        if (c.press == 0) {
                            PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
                        } else {
                            Press(w, c.press);
                        }
                    });
        driver.Start();
        EXPECT_EQ(dialog->DoModal(), c.result);
        EXPECT_TRUE(driver.Finish());
        if (dynamic_cast<DirectoryQuestionDialog*>(dialog.get()) != nullptr) {
            EXPECT_EQ(shownPath, path);
        }
    }
}

// Notes what the list shows when it opens (read on its own thread: a rich-edit control may not
// hand its text to another one).
class OpenedErrorList : public ErrorListDialog {
public:
    explicit OpenedErrorList(const ErrorList& list) : ErrorListDialog(list, nullptr) {}
    std::string shown;
    bool focusOnClose = false;

protected:
    bool OnInitDialog() override {
        bool result = ErrorListDialog::OnInitDialog();
        shown = ItemText(IDC_ERROR_TEXT);
        focusOnClose = GetFocus() == Item(IDOK) && !result;
        return result;
    }
};

TEST_F(MessageDialogs, ErrorListShowsEachMessageOnceWithTheFocusOnClose) {
    EXPECT_EQ(ErrorListDialog::DisplayText(ErrorList()), "");
    EXPECT_EQ(ErrorListDialog::DisplayText(ListOf({"a", "b", "a", "c", "b"})), "a\r\nb\r\nc\r\n");

    // The first message looks like rich text; it must be shown as written.
    ErrorList list = ListOf({"{\\rtf1 not rich}", "x.cdb(3) : bad word", "{\\rtf1 not rich}"});
    OpenedErrorList dialog(list);
    DialogDriver driver;
    driver.Then(WithControl(IDC_ERROR_TEXT), [](HWND w) { Press(w, IDOK); });
    driver.Start();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(Lines(dialog.shown), "{\\rtf1 not rich}\nx.cdb(3) : bad word\n");
    EXPECT_TRUE(dialog.focusOnClose);
}

// Saves to a name chosen by the test instead of asking with the file dialog.
class ScriptedErrorList : public ErrorListDialog {
public:
    ScriptedErrorList(const ErrorList& list, std::string fileName)
        : ErrorListDialog(list, nullptr), fileName_(std::move(fileName)) {}

protected:
    bool ChooseLogFile(std::string& fileName) override {
        fileName = fileName_;
        return true;
    }

private:
    std::string fileName_;
};

TEST_F(MessageDialogs, SavedLogHoldsEveryMessageWithCrLf) {
    ScratchDir dir;
    ScriptedErrorList dialog(ListOf({"first", "second % 100%s", "first", ""}), dir.File("log.txt"));
    DialogDriver driver;
    driver.Then(WithControl(IDC_ERROR_TEXT), [](HWND w) {
        Press(w, IDC_SAVE_LOG);
        Press(w, IDOK);
    });
    driver.Start();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(dir.Read("log.txt"), "first\r\nsecond % 100%s\r\nfirst\r\n\r\n");
}

TEST_F(MessageDialogs, ALogThatCannotBeWrittenIsReportedAndTheListStaysOpen) {
    ScratchDir dir;
    // A directory cannot be opened as a file.
    ScriptedErrorList dialog(ListOf({"one"}), dir.Path());
    std::string reported;
    std::string caption;
    DialogDriver driver;
    driver.Then(WithControl(IDC_ERROR_TEXT), [](HWND w) { Press(w, IDC_SAVE_LOG); })
        .Then(WithControl(IDC_LOG_FILE_NAME),
              [&](HWND w) {
                  reported = ItemText(w, IDC_LOG_FILE_NAME);
                  caption = WindowText(w);
                  Press(w, IDOK);
              })
        .Then(WithControl(IDC_ERROR_TEXT), [](HWND w) { Press(w, IDOK); });
    driver.Start();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish()) << "steps done: " << driver.StepsDone();
    EXPECT_EQ(reported, dir.Path());
    EXPECT_EQ(caption, "NEB 2.0 Configuration Manager");
}

TEST_F(MessageDialogs, SaveLogAsksWithTheSaveDialogAndAddsTheTextExtension) {
    ScratchDir dir;
    ErrorListDialog dialog(ListOf({"only"}), nullptr);
    DialogDriver driver;
    driver.Then(WithControl(IDC_ERROR_TEXT), [](HWND w) { Press(w, IDC_SAVE_LOG); })
        .Then(WithCaption("Save error log as..."),
              [&](HWND w) {
                  std::string name = dir.File("problems");
                  // The name box of the file dialog: a combo box on newer systems, an edit on
                  // older ones.
                  for (int id : {0x47c, 0x480}) {
                      SetDlgItemTextA(w, id, name.c_str());
                  }
                  PostMessageA(w, WM_COMMAND, IDOK, 0);
              })
        .Then(WithControl(IDC_ERROR_TEXT), [](HWND w) { Press(w, IDOK); });
    driver.Start();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish()) << "steps done: " << driver.StepsDone();
    EXPECT_EQ(dir.Read("problems.txt"), "only\r\n");
}

struct FailureCase {
    const char* caption;
    std::function<std::unique_ptr<FailureDialog>(const ErrorList&)> make;
    int viewButton;
};

TEST_F(MessageDialogs, FailureReportsOpenTheirErrorListAndReturnToIt) {
    const FailureCase cases[] = {
        {"NEB 2.0 Configuration Manager",
         [](const ErrorList& l) {
             return std::make_unique<CoreInstallationFailedDialog>(l, nullptr);
         },
         IDC_VIEW_ERROR_LOG},
        {"NEB 2.0 Uninstallation",
         [](const ErrorList& l) { return std::make_unique<UninstallFailedDialog>(l, nullptr); },
         IDC_VIEW_ERROR_LOG},
        {"NEB 2.0 Configuration Manager",
         [](const ErrorList& l) {
             return std::make_unique<ExtensionInstallationFailedDialog>(l, nullptr);
         },
         IDC_VIEW_ERROR_LOG},
        {"NEB 2.0 Configuration Manager",
         [](const ErrorList& l) {
             return std::make_unique<ExtensionUninstallationFailedDialog>(l, nullptr);
         },
         IDC_VIEW_ERROR_LOG},
        {"NEB 2.0 Configuration Manager",
         [](const ErrorList& l) { return std::make_unique<InstallationCorruptDialog>(l, nullptr); },
         IDC_VIEW_PROBLEMS},
    };
    for (const FailureCase& c : cases) {
        ErrorList list = ListOf({"cannot copy a", "cannot copy a", "disk full"});
        std::unique_ptr<FailureDialog> dialog = c.make(list);
        list.Add("added after the report was made");
        std::string caption;
        std::string shown;
        HWND report = nullptr;
        HWND listOwner = nullptr;
        DialogDriver driver;
        driver
            .Then(WithControl(c.viewButton),
                  [&](HWND w) {
                      report = w;
                      caption = WindowText(w);
                      Press(w, c.viewButton);
                  })
            .Then(WithControl(IDC_ERROR_TEXT),
                  [&](HWND w) {
                      shown = ItemText(w, IDC_ERROR_TEXT);
                      listOwner = GetWindow(w, GW_OWNER);
                      Press(w, IDOK);
                  })
            .Then(WithControl(c.viewButton), [](HWND w) { Press(w, IDOK); });
        driver.Start();
        EXPECT_EQ(dialog->DoModal(), IDOK);
        EXPECT_TRUE(driver.Finish()) << "steps done: " << driver.StepsDone();
        EXPECT_EQ(caption, c.caption);
        EXPECT_EQ(listOwner, report) << "the list opens over the report";
        EXPECT_EQ(Lines(shown), "cannot copy a\ndisk full\n") << "the report keeps its own copy";
    }
}

struct CompletionCase {
    std::vector<std::string> installed;
    std::vector<std::string> skipped;
    bool firstShown;
    bool secondShown;
};

TEST_F(MessageDialogs, InstallationCompleteShowsTheLinesThatHaveSomethingToSay) {
    const CompletionCase cases[] = {
        {{"a 1.00", "b 1.00"}, {"c 2.00"}, true, true},
        {{}, {"c 2.00", "d 1.10"}, false, true},
        {{"a 1.00"}, {}, true, false},
        {{}, {}, true, false},
    };
    for (const CompletionCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.installed.size()) + " installed, " +
                     std::to_string(c.skipped.size()) + " skipped");
        InstallationCompleteDialog dialog(c.installed, c.skipped, nullptr);
        ASSERT_TRUE(dialog.CreateModeless());
        HWND w = dialog.Handle();
        EXPECT_EQ(WindowText(w), "Installation complete");
        EXPECT_EQ(ItemText(w, IDC_INSTALLED_LINE),
                  std::to_string(c.installed.size()) +
                      " NEB Extension(s) have been successfully installed.");
        EXPECT_EQ(ItemText(w, IDC_SKIPPED_LINE),
                  std::to_string(c.skipped.size()) +
                      " NEB Extension(s) have not been installed because newer versions are "
                      "already available.");
        auto visible = [&](int id) {
            return (GetWindowLongA(GetDlgItem(w, id), GWL_STYLE) & WS_VISIBLE) != 0;
        };
        EXPECT_EQ(visible(IDC_INSTALLED_LINE), c.firstShown);
        EXPECT_EQ(visible(IDC_VIEW_INSTALLED), c.firstShown);
        EXPECT_EQ(visible(IDC_SKIPPED_LINE), c.secondShown);
        EXPECT_EQ(visible(IDC_VIEW_SKIPPED), c.secondShown);
        dialog.Destroy();
    }
}

std::vector<std::string> ListBoxItems(HWND list) {
    std::vector<std::string> items;
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[512] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

TEST_F(MessageDialogs, ViewListShowsTheNamesOfItsLineInOrder) {
    const std::vector<std::string> installed = {"Zeta 1.00", "Alpha 2.01"};
    const std::vector<std::string> skipped = {"Old 0.90"};
    InstallationCompleteDialog dialog(installed, skipped, nullptr);
    std::vector<std::string> first;
    std::vector<std::string> second;
    std::string caption;
    DialogDriver driver;
    driver.Then(WithControl(IDC_VIEW_SKIPPED), [](HWND w) { Press(w, IDC_VIEW_INSTALLED); })
        .Then(WithControl(IDC_EXTENSION_LIST),
              [&](HWND w) {
                  caption = WindowText(w);
                  first = ListBoxItems(GetDlgItem(w, IDC_EXTENSION_LIST));
                  Press(w, IDOK);
              })
        .Then(WithControl(IDC_VIEW_SKIPPED), [](HWND w) { Press(w, IDC_VIEW_SKIPPED); })
        .Then(WithControl(IDC_EXTENSION_LIST),
              [&](HWND w) {
                  second = ListBoxItems(GetDlgItem(w, IDC_EXTENSION_LIST));
                  Press(w, IDOK);
              })
        .Then(WithControl(IDC_VIEW_SKIPPED), [](HWND w) { Press(w, IDOK); });
    driver.Start();
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish()) << "steps done: " << driver.StepsDone();
    EXPECT_EQ(caption, "Operation complete");
    EXPECT_EQ(first, installed);
    EXPECT_EQ(second, skipped);

    UninstallationCompleteDialog uninstalled({"a", "b", "c"}, nullptr);
    ASSERT_TRUE(uninstalled.CreateModeless());
    EXPECT_EQ(ItemText(uninstalled.Handle(), IDC_UNINSTALLED_LINE),
              "3 NEB Extension(s) have been successfully uninstalled");
    EXPECT_TRUE(IsWindowEnabled(uninstalled.Item(IDC_VIEW_UNINSTALLED)));
    uninstalled.Destroy();
}

TEST_F(MessageDialogs, SplashShowsAtOnceAndIgnoresEscape) {
    ConsistencyCheckSplash splash;
    ASSERT_TRUE(splash.Open());
    EXPECT_TRUE(IsWindowVisible(splash.Handle()));
    EXPECT_EQ(WindowText(splash.Handle()), "");
    PostMessageA(splash.Handle(), WM_COMMAND, IDCANCEL, 0);
    PostMessageA(splash.Handle(), WM_COMMAND, IDOK, 0);
    PumpMessagesFor(splash.Handle());
    EXPECT_TRUE(IsWindow(splash.Handle()));
    splash.Destroy();
    EXPECT_EQ(splash.Handle(), nullptr);
}

} // namespace
} // namespace nebcm::ui
