// The progress windows under Wine: rows and statuses, the cancel question, ignored close
// commands, pauses that keep the window alive, and the set-reading bars.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "dialog_driver.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {
namespace {

using testing::DialogDriver;
using testing::ItemText;
using testing::Press;
using testing::WindowText;
using testing::WithControl;

// Records the pauses it is asked for and takes a tenth of each, so the rows' half-second pauses
// do not slow the tests down.
class QuickProgress : public ProgressDialog {
public:
    using ProgressDialog::ProgressDialog;
    std::vector<unsigned> pauses;
    void Pause(unsigned milliseconds) override {
        pauses.push_back(milliseconds);
        ProgressDialog::Pause(milliseconds / 10);
    }
};

// Lets the window live until the condition holds or a few seconds have passed.
template <class Condition> bool PumpUntil(ProgressDialog& progress, Condition condition) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > 5000) {
            return false;
        }
        progress.ProgressDialog::Pause(10);
    }
    return true;
}

bool Shown(const ProgressDialog& progress, int id) {
    return IsWindowVisible(progress.Item(id)) != FALSE;
}

int ShownRows(const ProgressDialog& progress) {
    int rows = 0;
    for (int row = 1; row <= ProgressDialog::RowCount; ++row) {
        bool name = Shown(progress, ProgressDialog::NameControl(row));
        bool status = Shown(progress, ProgressDialog::StatusControl(row));
        EXPECT_EQ(name, status) << "row " << row << " is shown by halves";
        rows += name ? 1 : 0;
    }
    return rows;
}

TEST(ProgressDialog, RowsAppearOneByOneWithTheirNamesAndStatuses) {
    QuickProgress progress(ProgressKind::ExtensionInstallation, nullptr);
    ASSERT_TRUE(progress.Open());
    EXPECT_EQ(WindowText(progress.Handle()), "NEB 2.0 Extension Installation");
    EXPECT_EQ(progress.CurrentRow(), 0);
    EXPECT_EQ(ShownRows(progress), 0);

    // A status before the first activity has no row to go to.
    progress.SetActivityPercent(10);
    EXPECT_EQ(ShownRows(progress), 0);

    progress.BeginActivity(3008);
    EXPECT_EQ(progress.CurrentRow(), 1);
    EXPECT_EQ(ShownRows(progress), 1);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_NAME), "Preparing the installation...");
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_STATUS), "Starting");
    EXPECT_EQ(progress.pauses, std::vector<unsigned>{ProgressDialog::BeginPause});

    progress.SetActivityPercent(40);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_STATUS), "40% complete");
    progress.SetActivityStatus(3501);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_STATUS), "Completed");

    progress.BeginActivity(3010);
    progress.SetActivityStatusText("half done");
    EXPECT_EQ(ShownRows(progress), 2);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_STATUS), "Completed")
        << "an earlier row keeps its status";
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY2_NAME), "Copying files...");
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY2_STATUS), "half done");

    // More activities than rows: the last row takes the later ones.
    for (int name : {3011, 3012, 3013, 3009}) {
        progress.BeginActivity(name);
    }
    EXPECT_EQ(progress.CurrentRow(), 5);
    EXPECT_EQ(ShownRows(progress), 5);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY5_NAME),
              "Backing up current configuration...");
    progress.SetActivityStatus(3502);
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY5_STATUS), "Failure");
    EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY4_NAME), "Removing files...");
    EXPECT_FALSE(progress.IsCancelled());
}

struct CancelCase {
    ProgressKind kind;
    const char* title;
    const char* yes;
    const char* no;
};

TEST(ProgressDialog, CancelAsksItsQuestionAndOnlyYesCancels) {
    const CancelCase cases[] = {
        {ProgressKind::CoreInstallation, "NEB 2.0 Installation", "Yes, cancel NEB 2.0 installation",
         "No, resume NEB 2.0 installation"},
        {ProgressKind::PlatformUninstallation, "NEB 2.0 Uninstallation",
         "Yes, cancel NEB 2.0 uninstallation", "No, resume NEB 2.0 uninstallation"},
        {ProgressKind::ExtensionInstallation, "NEB 2.0 Extension Installation",
         "Yes, cancel installation", "No, resume installation"},
        {ProgressKind::ExtensionUninstallation, "NEB 2.0 Extension Uninstallation",
         "Yes, cancel uninstallation", "No, resume uninstallation"},
    };
    for (const CancelCase& c : cases) {
        SCOPED_TRACE(c.title);
        QuickProgress progress(c.kind, nullptr);
        ASSERT_TRUE(progress.Open());
        EXPECT_EQ(WindowText(progress.Handle()), c.title);
        progress.BeginActivity(3010);

        std::string caption;
        std::string yes;
        std::string no;
        DialogDriver driver;
        driver
            .Then(WithControl(IDYES),
                  [&](HWND question) {
                      caption = WindowText(question);
                      yes = ItemText(question, IDYES);
                      no = ItemText(question, IDNO);
                      Press(question, IDNO);
                  })
            .Then(WithControl(IDYES), [](HWND question) { Press(question, IDYES); });
        driver.Start();

        Press(progress.Handle(), IDC_PROGRESS_CANCEL);
        ASSERT_TRUE(PumpUntil(progress, [&] { return driver.StepsDone() >= 1; }));
        progress.Pause(50);
        EXPECT_FALSE(progress.IsCancelled()) << "no resumes the procedure";
        EXPECT_TRUE(IsWindowEnabled(progress.Item(IDC_PROGRESS_CANCEL)));
        EXPECT_EQ(caption, c.title);
        EXPECT_EQ(yes, c.yes);
        EXPECT_EQ(no, c.no);

        Press(progress.Handle(), IDC_PROGRESS_CANCEL);
        EXPECT_TRUE(PumpUntil(progress, [&] { return progress.IsCancelled(); }));
        EXPECT_FALSE(IsWindowEnabled(progress.Item(IDC_PROGRESS_CANCEL)));
        EXPECT_TRUE(driver.Finish());
        // The procedure goes on reporting until it notices.
        progress.SetActivityStatus(3503);
        EXPECT_EQ(ItemText(progress.Handle(), IDC_ACTIVITY1_STATUS), "Cancelled");
    }
}

// Counts the question windows that appear, answering each with yes.
TEST(ProgressDialog, ASecondQueuedClickAfterYesAsksNothingMore) {
    QuickProgress progress(ProgressKind::CoreInstallation, nullptr);
    ASSERT_TRUE(progress.Open());
    DialogDriver driver;
    driver.Then(WithControl(IDYES), [](HWND question) { Press(question, IDYES); })
        .Then(WithControl(IDYES), [](HWND question) { Press(question, IDNO); });
    driver.Start();
    Press(progress.Handle(), IDC_PROGRESS_CANCEL);
    Press(progress.Handle(), IDC_PROGRESS_CANCEL);
    EXPECT_TRUE(PumpUntil(progress, [&] { return progress.IsCancelled(); }));
    progress.Pause(300);
    EXPECT_EQ(driver.StepsDone(), 1u) << "the second click asked again";
    driver.Stop();
}

TEST(ProgressDialog, EscapeAndTheCloseBoxAreIgnored) {
    QuickProgress progress(ProgressKind::PlatformUninstallation, nullptr);
    ASSERT_TRUE(progress.Open());
    progress.BeginActivity(3005);
    PostMessageA(progress.Handle(), WM_COMMAND, IDCANCEL, 0);
    PostMessageA(progress.Handle(), WM_CLOSE, 0, 0);
    PostMessageA(progress.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(progress.Handle(), WM_COMMAND, IDOK, 0);
    progress.ProgressDialog::Pause(100);
    EXPECT_TRUE(IsWindow(progress.Handle()));
    EXPECT_TRUE(IsWindowVisible(progress.Handle()));
    EXPECT_FALSE(progress.IsCancelled());
    EXPECT_EQ(ShownRows(progress), 1);
}

TEST(ProgressDialog, PauseLastsItsTimeAndWorksWithoutAWindow) {
    ProgressDialog progress(ProgressKind::ExtensionUninstallation, nullptr);
    DWORD start = GetTickCount();
    progress.Pause(120);
    EXPECT_GE(GetTickCount() - start, 120u);
    // Without a window the rows are still counted.
    progress.SetActivityStatus(3501);
    EXPECT_EQ(progress.CurrentRow(), 0);
    ASSERT_TRUE(progress.Open());
    start = GetTickCount();
    progress.Pause(120);
    EXPECT_GE(GetTickCount() - start, 120u);
}

TEST(SetProgressDialog, ShowsTheFileAndMovesItsBarButIgnoresClose) {
    ReadingSetDialog reading("D:\\sets\\office.nds", nullptr);
    ASSERT_TRUE(reading.Open());
    HWND bar = reading.Item(IDC_SET_PROGRESS);
    EXPECT_EQ(ItemText(reading.Handle(), IDC_SET_PATH), "D:\\sets\\office.nds");
    PBRANGE range = {};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    reading.SetProgress(40);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 40);
    EXPECT_EQ(reading.Position(), 40);

    PostMessageA(reading.Handle(), WM_CLOSE, 0, 0);
    PostMessageA(reading.Handle(), WM_COMMAND, IDCANCEL, 0);
    reading.SetProgress(40);
    EXPECT_TRUE(IsWindowVisible(reading.Handle()));

    FoldingSetDialog folding("D:\\sets\\office.nds", nullptr);
    ASSERT_TRUE(folding.Open());
    folding.SetProgress(100);
    EXPECT_EQ(SendMessageA(folding.Item(IDC_SET_PROGRESS), PBM_GETPOS, 0, 0), 100);
}

TEST(SetReadingWindows, ShowOneWindowPerPhaseAndNoneAtTheEnd) {
    SetReadingWindows windows(nullptr);
    windows.SetProgress(10);
    windows.End();
    EXPECT_EQ(windows.Current(), nullptr) << "nothing to move or close before reading begins";

    windows.BeginReading("C:\\sets\\a.nds");
    ASSERT_NE(windows.Current(), nullptr);
    HWND reading = windows.Current()->Handle();
    EXPECT_TRUE(IsWindowVisible(reading));
    EXPECT_EQ(ItemText(reading, IDC_SET_PATH), "C:\\sets\\a.nds");
    EXPECT_EQ(windows.Current()->TemplateId(), IDD_READING_SET);
    windows.SetProgress(55);
    EXPECT_EQ(SendDlgItemMessageA(reading, IDC_SET_PROGRESS, PBM_GETPOS, 0, 0), 55);

    windows.BeginFolding("C:\\sets\\a.nds");
    EXPECT_FALSE(IsWindow(reading));
    ASSERT_NE(windows.Current(), nullptr);
    EXPECT_EQ(windows.Current()->TemplateId(), IDD_FOLDING_SET);
    HWND folding = windows.Current()->Handle();
    EXPECT_EQ(SendDlgItemMessageA(folding, IDC_SET_PROGRESS, PBM_GETPOS, 0, 0), 0);
    windows.SetProgress(100);
    EXPECT_EQ(SendDlgItemMessageA(folding, IDC_SET_PROGRESS, PBM_GETPOS, 0, 0), 100);

    windows.End();
    EXPECT_FALSE(IsWindow(folding));
    EXPECT_EQ(windows.Current(), nullptr);
}

} // namespace
} // namespace nebcm::ui
