// The platform procedures' user interface in force, and the silent one used until the program
// installs its dialogs.
#include "engine/platform_procedure_ui.h"

namespace nebcm {

namespace {

class SilentProgress : public ProgressReporter {
public:
    void BeginActivity(int) override {}
    void SetActivityPercent(int) override {}
    void SetActivityStatus(int) override {}
    void SetActivityStatusText(const std::string&) override {}
    bool IsCancelled() override { return false; }
    void Pause(unsigned) override {}
};

class SilentUi : public PlatformProcedureUi {
public:
    bool RunCoreInstallationWizard(bool, CoreInstallationChoice&) override { return false; }
    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow) override {
        return std::make_unique<SilentProgress>();
    }
};

SilentUi silent;
PlatformProcedureUi* current = &silent;

} // namespace

PlatformProcedureUi& PlatformUi() {
    return *current;
}

PlatformProcedureUi* SetPlatformProcedureUi(PlatformProcedureUi* ui) {
    PlatformProcedureUi* previous = current == &silent ? nullptr : current;
    current = ui != nullptr ? ui : &silent;
    return previous;
}

} // namespace nebcm
