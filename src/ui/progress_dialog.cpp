// Progress windows: activity rows with their statuses, the cancel question, and the bars of
// the distribution-set reading.
#include "ui/progress_dialog.h"

#include <commctrl.h>

#include "common/messages.h"
#include "ui/message_dialogs.h"
#include "ui/resource.h"

namespace nebcm::ui {

namespace {

constexpr int kStatusPercent = 3500;
constexpr int kStatusStarting = 3504;
constexpr int kProgramIcon = IDI_NEBCM;

int TemplateOf(ProgressKind kind) {
    switch (kind) {
    case ProgressKind::CoreInstallation:
        return IDD_CORE_INSTALLATION_PROGRESS;
    case ProgressKind::PlatformUninstallation:
        return IDD_PLATFORM_UNINSTALLATION_PROGRESS;
    case ProgressKind::ExtensionInstallation:
        return IDD_EXTENSION_INSTALLATION_PROGRESS;
    case ProgressKind::ExtensionUninstallation:
        return IDD_EXTENSION_UNINSTALLATION_PROGRESS;
    }
    return IDD_CORE_INSTALLATION_PROGRESS;
}

} // namespace

ProgressDialog::ProgressDialog(ProgressKind kind, HWND parent)
    : Dialog(TemplateOf(kind), parent), questionId_(TemplateOf(kind) + 1) {
    OnCommand(IDC_PROGRESS_CANCEL, [this] {
        // One question at a time: a second click queued behind the first is handled while the
        // question is open, and must not ask again either once the answer was yes.
        if (cancelled_ || asking_) {
            return;
        }
        asking_ = true;
        INT_PTR answer = AskCancel();
        asking_ = false;
        if (answer == IDYES) {
            cancelled_ = true;
            EnableItem(IDC_PROGRESS_CANCEL, false);
        }
    });
}

int ProgressDialog::NameControl(int row) {
    return IDC_ACTIVITY1_NAME + 2 * (row - 1);
}

int ProgressDialog::StatusControl(int row) {
    return IDC_ACTIVITY1_STATUS + 2 * (row - 1);
}

bool ProgressDialog::Open() {
    if (!CreateModeless()) {
        return false;
    }
    ShowWindow(hwnd_, SW_SHOW);
    BringToTop();
    UpdateWindow(hwnd_);
    return true;
}

bool ProgressDialog::OnInitDialog() {
    row_ = 0;
    cancelled_ = false;
    SetLargeIcon(kProgramIcon);
    ShowRows();
    BringToTop();
    return true;
}

INT_PTR ProgressDialog::AskCancel() {
    return ChoiceDialog(questionId_, hwnd_, {IDYES, IDNO}, IDNO, IDI_QUESTION).DoModal();
}

void ProgressDialog::BeginActivity(int nameMessage) {
    if (row_ < RowCount) {
        ++row_;
    }
    SetItemText(NameControl(row_), Message(nameMessage));
    SetItemText(StatusControl(row_), Message(kStatusStarting));
    ShowRows();
    Pump();
    Pause(BeginPause);
    Pump();
}

void ProgressDialog::SetActivityPercent(int percent) {
    SetStatus(Message(kStatusPercent, percent));
}

void ProgressDialog::SetActivityStatus(int statusMessage) {
    SetStatus(Message(statusMessage));
}

void ProgressDialog::SetActivityStatusText(const std::string& text) {
    SetStatus(text);
}

// Before the first activity there is no row to put a status on.
void ProgressDialog::SetStatus(const std::string& text) {
    if (row_ > 0) {
        SetItemText(StatusControl(row_), text);
    }
    ShowRows();
    Pump();
}

void ProgressDialog::ShowRows() {
    if (hwnd_ == nullptr) {
        return;
    }
    for (int row = 1; row <= RowCount; ++row) {
        ShowItem(NameControl(row), row <= row_);
        ShowItem(StatusControl(row), row <= row_);
    }
}

void ProgressDialog::Pump() {
    if (hwnd_ != nullptr) {
        PumpMessagesFor(hwnd_);
    }
}

void ProgressDialog::Pause(unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        Pump();
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) {
            break;
        }
        DWORD left = milliseconds - elapsed;
        DWORD step = left < 20 ? left : 20;
        if (hwnd_ != nullptr) {
            // Wakes early when input arrives, so a click is handled at once.
            MsgWaitForMultipleObjects(0, nullptr, FALSE, step, QS_ALLINPUT);
        } else {
            Sleep(step);
        }
    }
}

SetProgressDialog::SetProgressDialog(int templateId, const std::string& fileName, HWND parent)
    : Dialog(templateId, parent), fileName_(fileName) {}

bool SetProgressDialog::Open() {
    if (!CreateModeless()) {
        return false;
    }
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    return true;
}

bool SetProgressDialog::OnInitDialog() {
    SetItemText(IDC_SET_PATH, fileName_);
    SendDlgItemMessageA(hwnd_, IDC_SET_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(hwnd_, IDC_SET_PROGRESS, PBM_SETPOS, 0, 0);
    position_ = 0;
    return true;
}

void SetProgressDialog::SetProgress(int percent) {
    if (percent != position_) {
        position_ = percent;
        SendDlgItemMessageA(hwnd_, IDC_SET_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
    if (hwnd_ != nullptr) {
        PumpMessagesFor(hwnd_);
    }
}

ReadingSetDialog::ReadingSetDialog(const std::string& fileName, HWND parent)
    : SetProgressDialog(IDD_READING_SET, fileName, parent) {}

FoldingSetDialog::FoldingSetDialog(const std::string& fileName, HWND parent)
    : SetProgressDialog(IDD_FOLDING_SET, fileName, parent) {}

void SetReadingWindows::BeginReading(const std::string& path) {
    current_ = std::make_unique<ReadingSetDialog>(path, parent_);
    current_->Open();
}

void SetReadingWindows::BeginFolding(const std::string& path) {
    current_.reset();
    current_ = std::make_unique<FoldingSetDialog>(path, parent_);
    current_->Open();
}

void SetReadingWindows::SetProgress(int percent) {
    if (current_ != nullptr) {
        current_->SetProgress(percent);
    }
}

void SetReadingWindows::End() {
    current_.reset();
}

} // namespace nebcm::ui
