// Scripted stand-ins for the procedures' windows: a progress reporter that records every call and
// cancels where told, and wizards and reports that answer from the test.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/procedure_ui.h"

namespace nebcm::test {

// What the procedure did with its windows, in order: "open 164", "begin 3008", "percent 50",
// "status 3501", "pause 40", "close".
using UiLog = std::vector<std::string>;

// The user confirms a cancel while the window shows the given activity row (1 = first; 0 never),
// after its n-th percent update (0: as soon as the row begins). The window stays cancelled.
struct CancelScript {
    int activity = 0;
    int afterPercent = 0;
};

class ScriptedProgress : public ProgressReporter {
public:
    ScriptedProgress(UiLog& log, CancelScript cancel, std::function<void(int)> onBegin)
        : log_(log), cancel_(cancel), onBegin_(std::move(onBegin)) {}
    ~ScriptedProgress() override { log_.push_back("close"); }

    void BeginActivity(int nameMessage) override {
        ++row_;
        percents_ = 0;
        log_.push_back("begin " + std::to_string(nameMessage));
        Press();
        if (onBegin_) {
            onBegin_(nameMessage);
        }
    }
    void SetActivityPercent(int percent) override {
        log_.push_back("percent " + std::to_string(percent));
        ++percents_;
        Press();
    }
    void SetActivityStatus(int statusMessage) override {
        log_.push_back("status " + std::to_string(statusMessage));
    }
    void SetActivityStatusText(const std::string& text) override {
        log_.push_back("status " + text);
    }
    bool IsCancelled() override { return cancelled_; }
    void Pause(unsigned milliseconds) override {
        log_.push_back("pause " + std::to_string(milliseconds));
    }

private:
    void Press() {
        if (!cancelled_ && cancel_.activity == row_ && percents_ == cancel_.afterPercent) {
            cancelled_ = true;
            log_.push_back("cancel pressed");
        }
    }

    UiLog& log_;
    CancelScript cancel_;
    std::function<void(int)> onBegin_;
    int row_ = 0;
    int percents_ = 0;
    bool cancelled_ = false;
};

class ScriptedUi : public ProcedureUi {
public:
    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow window) override {
        log.push_back("open " + std::to_string(static_cast<int>(window)));
        return std::make_unique<ScriptedProgress>(log, cancel, onBegin);
    }
    bool RunInstallationWizard(std::unique_ptr<DistributionSet>& set,
                               Selection& selection) override {
        log.push_back(set ? "installation wizard with a set" : "installation wizard");
        return installationWizard ? installationWizard(set, selection) : false;
    }
    bool RunUninstallationWizard(const Configuration& candidates, Selection& selection) override {
        log.push_back("uninstallation wizard");
        return uninstallationWizard ? uninstallationWizard(candidates, selection) : false;
    }
    void ShowInstallationComplete(const std::vector<std::string>& installedLines,
                                  const std::vector<std::string>& skippedLines) override {
        log.push_back("installation complete");
        installed = installedLines;
        skipped = skippedLines;
    }
    void ShowUninstallationComplete(const std::vector<std::string>& lines) override {
        log.push_back("uninstallation complete");
        uninstalled = lines;
    }
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        log.push_back("message " + text);
        messageIcons.push_back(icon);
    }

    // The script.
    CancelScript cancel;
    std::function<void(int)> onBegin;
    std::function<bool(std::unique_ptr<DistributionSet>&, Selection&)> installationWizard;
    std::function<bool(const Configuration&, Selection&)> uninstallationWizard;

    // What happened.
    UiLog log;
    std::vector<std::string> installed;
    std::vector<std::string> skipped;
    std::vector<std::string> uninstalled;
    std::vector<MessageIcon> messageIcons;
};

} // namespace nebcm::test
