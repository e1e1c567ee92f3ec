// The journal of a running procedure: every change a transaction records is first written to a
// file on disk, so that a procedure stopped by a kill or a power cut can be undone by the next
// start of any copy of the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/error_list.h"
#include "common/journal_format.h"

namespace nebcm {

class UndoAction;

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

// The folder of the journal and its backups: one for every user and every copy of the program
// (hidden, in the Windows directory), unless a test has pointed it elsewhere (empty: the default).
void SetJournalDirectory(const std::string& directory);
std::string JournalDirectory();
std::string JournalPath();

// The kinds of undo records as the journal keeps them.
enum class UndoKind : std::uint8_t {
    Nothing = 0, // a record that is not kept on disk: nothing for a later process to undo
    DirectoryMade = 1,
    DirectoryRemoved = 2,
    FileMade = 3,
    FileDeleted = 4,
    FileReplaced = 5,
    AttributesSet = 6,
    TimesSet = 7,
    KeyMade = 8,
    KeyDeleted = 9,
    ValueDeleted = 10,
    DefaultValueDeleted = 11,
    ValueSet = 12,
    DefaultValueSet = 13,
    LinkRemoved = 14,
};

// Makes the undo record that a journal record describes; null for a record that makes no sense.
std::unique_ptr<UndoAction> UndoActionFromRecord(const JournalRecord& record);

} // namespace nebcm
