// Shutting the program's other windows for the time of a procedure.
#include "ui/procedure_scope.h"

namespace nebcm::ui {

namespace {

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM found) {
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
        IsWindowVisible(window) && IsWindowEnabled(window)) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

} // namespace

ProcedureScope::ProcedureScope() : active_(GetActiveWindow()) {
    std::vector<HWND> found;
    EnumWindows(CollectEnabledWindow, reinterpret_cast<LPARAM>(&found));
    for (HWND window : found) {
        EnableWindow(window, FALSE);
        disabled_.push_back(window);
    }
}

ProcedureScope::~ProcedureScope() {
    // Enabled before activated: activation does not go to a disabled window. A window that a
    // procedure closed meanwhile is skipped.
    for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
        if (IsWindow(*it)) {
            EnableWindow(*it, TRUE);
        }
    }
    // The procedure's last window went away while its owner was shut, so the system may have
    // activated none of the program's windows; the one that was active before gets it back.
    if (active_ != nullptr && IsWindow(active_) && IsWindowVisible(active_) &&
        GetActiveWindow() == nullptr) {
        SetForegroundWindow(active_);
        SetActiveWindow(active_);
    }
}

} // namespace nebcm::ui
