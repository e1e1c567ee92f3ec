// Outcome of a top-level procedure, a wizard-driven step, or the archive and set readers.
#pragma once

namespace nebcm {

enum class ProcedureResult : int {
    Succeeded = 1, // done
    Failed = 2,    // the reasons are in the caller's ErrorList; every change undone
    Cancelled = 3, // the user cancelled; the system is as before
};

// Callers treat any value they do not know like a cancel.
inline ProcedureResult NormalizeResult(int value) {
    if (value == 1) {
        return ProcedureResult::Succeeded;
    }
    if (value == 2) {
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Cancelled;
}

} // namespace nebcm
