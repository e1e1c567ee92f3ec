// The journal of a running procedure: every change a transaction records is first written to a
// file on disk, so that a procedure stopped by a kill or a power cut can be undone by the next
// start of any copy of the program.
#pragma once

#include "common/error_list.h"

namespace nebcm {

// What the start-up found of an earlier procedure.
enum class RecoveryOutcome {
    NothingToRecover,     // no journal: the last procedure ended as it should
    RolledBack,           // an unfinished procedure was undone completely
    RolledBackWithErrors, // undone, but some changes could not be; the messages are in the list
    CommitCompleted,      // the procedure had succeeded; its clean-up was finished
    LeftAlone, // a journal that cannot be read, or one of a newer program: reported, kept
};

// Finds the journal of an interrupted procedure and undoes it last-first, as a cancel would have
// done. Messages of undo steps that failed, or of a journal left alone, are appended to `errors`.
RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors);

} // namespace nebcm
