// While a procedure runs, the program's other windows take no input: a click or a key on the
// main window under a progress window, a wizard or one of their questions could otherwise start
// a second procedure inside the first.
#pragma once

#include <windows.h>

#include <vector>

namespace nebcm::ui {

// Disables every shown, enabled top-level window of the calling thread for its lifetime and
// enables them again when it ends, however the procedure ends. Windows made while it lives (the
// procedure's own wizards, progress windows and questions) are not touched. The modal runs of the
// program keep a shut owner shut when they end (KeepOwnerShut), so the owners stay shut until the
// scope ends. Scopes may nest: an inner one finds nothing left to disable.
class ProcedureScope {
public:
    ProcedureScope();
    ~ProcedureScope();
    ProcedureScope(const ProcedureScope&) = delete;
    ProcedureScope& operator=(const ProcedureScope&) = delete;

    // The windows this scope disabled, in the order found.
    const std::vector<HWND>& Disabled() const { return disabled_; }

private:
    std::vector<HWND> disabled_;
    HWND active_ = nullptr;
};

} // namespace nebcm::ui
