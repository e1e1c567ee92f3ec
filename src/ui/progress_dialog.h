// The five-row progress window of a procedure, with its cancel question, and the two windows
// shown while a distribution set is read.
#pragma once

#include <memory>
#include <string>

#include "distribution/distribution_set.h"
#include "engine/progress.h"
#include "ui/dialog.h"

namespace nebcm::ui {

// The procedure a progress window belongs to; it picks the template, the title and the cancel
// question.
enum class ProgressKind {
    CoreInstallation,        // 142, question 143
    PlatformUninstallation,  // 144, question 145
    ExtensionInstallation,   // 164, question 165
    ExtensionUninstallation, // 170, question 171
};

// Created modeless by a procedure (Open), destroyed by it at the end. The rows start hidden;
// each activity shows one more. "Cancel" (1027) asks the cancel question; a yes sets the
// cancelled flag, which the procedure polls, and disables the button. Escape and the close box
// do nothing. Without a window (Open failed) the reporter still counts rows and pauses.
class ProgressDialog : public Dialog, public ProgressReporter {
public:
    static constexpr int RowCount = 5;
    // The pause after a new activity row appears.
    static constexpr unsigned BeginPause = 500;

    ProgressDialog(ProgressKind kind, HWND parent);

    // Creates the window, shows it in front and paints it; false when it could not be made.
    bool Open();

    void BeginActivity(int nameMessage) override;
    void SetActivityPercent(int percent) override;
    void SetActivityStatus(int statusMessage) override;
    void SetActivityStatusText(const std::string& text) override;
    bool IsCancelled() override { return cancelled_; }
    // Sleeps in small steps and lets the window live between them, so Cancel works meanwhile.
    void Pause(unsigned milliseconds) override;

    // The current row, 1 to 5; 0 before the first activity.
    int CurrentRow() const { return row_; }
    int QuestionTemplate() const { return questionId_; }

    // The name and status controls of a row (1 to 5).
    static int NameControl(int row);
    static int StatusControl(int row);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    // Shows the cancel question modally; its result, 6 (yes) or 7 (no).
    virtual INT_PTR AskCancel();

private:
    void SetStatus(const std::string& text);
    void ShowRows();
    void Pump();

    int questionId_;
    int row_ = 0;
    bool cancelled_ = false;
    bool asking_ = false;
};

// The windows shown while a distribution set is read (161) and folded (163): the set's file
// name and a bar from 0 to 100. Created modeless (Open); the close command is ignored.
class SetProgressDialog : public Dialog {
public:
    SetProgressDialog(int templateId, const std::string& fileName, HWND parent);

    // Creates the window, centred, and shows it at once; false when it could not be made.
    bool Open();
    // Moves the bar to `percent` unless it is there already, then lets pending messages run.
    void SetProgress(int percent);
    int Position() const { return position_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    std::string fileName_;
    int position_ = 0;
};

class ReadingSetDialog : public SetProgressDialog {
public:
    ReadingSetDialog(const std::string& fileName, HWND parent);
};

class FoldingSetDialog : public SetProgressDialog {
public:
    FoldingSetDialog(const std::string& fileName, HWND parent);
};

// The windows of reading a distribution set, as the set reader asks for them: the reading window,
// then the folding window, each gone when the next phase begins or the reading ends.
class SetReadingWindows : public SetReadingProgress {
public:
    explicit SetReadingWindows(HWND parent) : parent_(parent) {}

    void BeginReading(const std::string& path) override;
    void BeginFolding(const std::string& path) override;
    void SetProgress(int percent) override;
    void End() override;

    // The window shown now, or null.
    SetProgressDialog* Current() const { return current_.get(); }

private:
    HWND parent_;
    std::unique_ptr<SetProgressDialog> current_;
};

} // namespace nebcm::ui
