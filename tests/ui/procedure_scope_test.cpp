// A running procedure shuts the program's other windows: the main window takes no input and
// ignores the commands that reach it anyway, through the procedure's wizard, progress pauses,
// cancel question and message boxes, and it is open again afterwards however the procedure ended.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <stdexcept>
#include <vector>

#include "dialog_driver.h"
#include "ui/main_dialog.h"
#include "ui/procedure_scope.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"
#include "ui/wizard.h"

namespace nebcm::ui {
namespace {

using testing::DialogDriver;
using testing::Press;
using testing::WithCaption;
using testing::WithControl;

// Everything by which the main window could start something: its buttons, its menu commands, the
// keyboard menu with Alt+I, Alt+U and Alt+J, and the close commands.
void KnockOnEveryDoor(HWND main) {
    for (int id : {IDC_INSTALL_EXTENSIONS, IDC_REMOVE_EXTENSIONS, IDC_EXIT}) {
        Press(main, id);
    }
    for (int id : {ID_CONFIGURATION_INSTALL, ID_CONFIGURATION_UNINSTALL, ID_NEB_JAVA_SUPPORT,
                   ID_HELP_ABOUT, ID_NEB_EXIT}) {
        PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    for (char letter : {'i', 'u', 'j'}) {
        PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, letter);
    }
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(main, WM_CLOSE, 0, 0);
}

class FinishingPage : public PropertyPage {
public:
    FinishingPage() : PropertyPage(101) {}

protected:
    bool OnSetActive() override {
        SetWizardButtons(PSWIZB_FINISH);
        PostMessageA(Sheet(), PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        return true;
    }
};

class OkDialog : public Dialog {
public:
    explicit OkDialog(HWND owner) : Dialog(100, owner) {}
};

bool Enabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

TEST(NoNestedProcedures, TheMainWindowStaysShutThroughEveryWindowOfAProcedure) {
    int installs = 0;
    int uninstalls = 0;
    // The main window's state after each window of the procedure, and whether it still exists
    // when the procedure ends (an Exit let through would have ended it).
    std::vector<bool> enabledDuring;
    bool mainAliveAtTheEnd = false;

    MainDialogActions actions;
    actions.uninstallExtensions = [&](HWND, ErrorList&) {
        ++uninstalls;
        return ProcedureResult::Succeeded;
    };
    actions.installExtensions = [&](HWND owner, ErrorList&) {
        ++installs;
        enabledDuring.push_back(Enabled(owner));

        FinishingPage page;
        Wizard wizard(owner);
        wizard.AddPage(page);
        EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
        enabledDuring.push_back(Enabled(owner));

        {
            ProgressDialog progress(ProgressKind::ExtensionInstallation, owner);
            EXPECT_TRUE(progress.Open());
            // Commands that arrive while the progress window pumps are dropped by the pump.
            KnockOnEveryDoor(owner);
            progress.Pause(100);
            // The cancel question runs its own loop, which hands every message on.
            Press(progress.Handle(), IDC_PROGRESS_CANCEL);
            for (DWORD start = GetTickCount(); !progress.IsCancelled();) {
                if (GetTickCount() - start > 10000) {
                    ADD_FAILURE() << "the cancel question was not answered";
                    break;
                }
                progress.Pause(20);
            }
            enabledDuring.push_back(Enabled(owner));
        }

        OkDialog report(owner);
        report.DoModal();
        enabledDuring.push_back(Enabled(owner));
        {
            // As the program's message boxes are shown.
            KeepOwnerShut keep(owner);
            MessageBoxA(owner, "done", "Procedure message", MB_OK);
        }
        enabledDuring.push_back(Enabled(owner));
        mainAliveAtTheEnd = IsWindow(owner) && IsWindowVisible(owner);
        return ProcedureResult::Succeeded;
    };

    bool reopened = false;
    DialogDriver driver;
    driver.Then(WithControl(IDC_MAIN_TREE), [](HWND main) { Press(main, IDC_INSTALL_EXTENSIONS); })
        .Then(WithControl(IDYES),
              [](HWND question) {
                  KnockOnEveryDoor(GetWindow(GetWindow(question, GW_OWNER), GW_OWNER));
                  // The question's loop runs the knocks first, then the second Cancel (which
                  // must not stack a second question), then the answer.
                  Press(GetWindow(question, GW_OWNER), IDC_PROGRESS_CANCEL);
                  Press(question, IDYES);
              })
        .Then(WithCaption("Framework test"),
              [](HWND report) {
                  KnockOnEveryDoor(GetWindow(report, GW_OWNER));
                  Press(report, IDOK);
              })
        .Then(WithCaption("Procedure message"),
              [](HWND box) {
                  KnockOnEveryDoor(GetWindow(box, GW_OWNER));
                  Press(box, IDOK);
              })
        .Then(WithControl(IDC_MAIN_TREE), [&](HWND main) {
            reopened = true;
            Press(main, IDC_EXIT);
        });
    driver.Start();

    MainDialog main(std::move(actions));
    EXPECT_EQ(main.DoModal(), IDOK);
    EXPECT_TRUE(driver.Finish()) << "steps done: " << driver.StepsDone();
    EXPECT_EQ(installs, 1) << "a second installation started inside the first";
    EXPECT_EQ(uninstalls, 0) << "an uninstallation started inside the installation";
    EXPECT_EQ(enabledDuring, (std::vector<bool>{false, false, false, false, false}))
        << "wizard, progress, cancel question, report, message box";
    EXPECT_TRUE(mainAliveAtTheEnd) << "Exit or close ended the main window during the procedure";
    EXPECT_TRUE(reopened) << "the main window did not take input again after the procedure";
}

// Plain top-level windows of the thread, as the program's other windows are.
class TopLevelWindow {
public:
    TopLevelWindow() {
        handle_ = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~TopLevelWindow() {
        if (IsWindow(handle_)) {
            DestroyWindow(handle_);
        }
    }
    TopLevelWindow(const TopLevelWindow&) = delete;
    TopLevelWindow& operator=(const TopLevelWindow&) = delete;
    HWND Handle() const { return handle_; }

private:
    HWND handle_;
};

TEST(ProcedureScope, ShutsOnlyWhatWasOpenAndRestoresItOnEveryWayOut) {
    TopLevelWindow open;
    TopLevelWindow shutBefore;
    TopLevelWindow closedMeanwhile;
    EnableWindow(shutBefore.Handle(), FALSE);

    try {
        ProcedureScope outer;
        EXPECT_FALSE(Enabled(open.Handle()));
        EXPECT_FALSE(Enabled(closedMeanwhile.Handle()));
        // A window of the procedure made while the scope lives stays usable, and an inner scope
        // has nothing left to shut but that one.
        TopLevelWindow procedureWindow;
        EXPECT_TRUE(Enabled(procedureWindow.Handle()));
        {
            ProcedureScope inner;
            EXPECT_EQ(inner.Disabled(), std::vector<HWND>{procedureWindow.Handle()});
        }
        EXPECT_TRUE(Enabled(procedureWindow.Handle()));
        EXPECT_FALSE(Enabled(open.Handle())) << "the inner scope opened the outer one's windows";
        DestroyWindow(closedMeanwhile.Handle());
        throw std::runtime_error("the procedure failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(Enabled(open.Handle()));
    EXPECT_FALSE(Enabled(shutBefore.Handle())) << "a window shut before is not the scope's to open";
}

} // namespace
} // namespace nebcm::ui
