// Rollback and commit of the transaction's undo records, and their journal on disk.
#include "engine/transaction.h"

#include <exception>

#include "common/journal_format.h"
#include "engine/journal.h"
#include "engine/journal_file_win32.h"

namespace nebcm {

namespace {

// Stands in for a record that cannot be kept on disk, so that the journal counts its records as
// the transaction does.
JournalRecord NothingRecord() {
    JournalRecord record;
    record.kind = static_cast<std::uint8_t>(UndoKind::Nothing);
    return record;
}

TransactionObserver* observer = nullptr;

void Tell(const UndoAction& record, bool recorded, bool undone) {
    JournalRecord described;
    if (observer == nullptr || !record.Describe(described)) {
        return;
    }
    if (recorded) {
        observer->Recorded(described);
    } else {
        observer->Undone(described, undone);
    }
}

} // namespace

TransactionObserver* SetTransactionObserver(TransactionObserver* next) {
    TransactionObserver* previous = observer;
    observer = next;
    return previous;
}

bool UndoAction::Describe(JournalRecord&) const {
    return false;
}

Transaction::Transaction() : unwinding_(std::uncaught_exceptions()) {}

Transaction::~Transaction() {
    if (std::uncaught_exceptions() > unwinding_ && !records_.empty()) {
        try {
            ErrorList ignored;
            Rollback(ignored);
        } catch (...) {
            // Whatever the rollback did not reach is in the journal, which stays with the backups
            // its records name.
            for (auto& record : records_) {
                record->KeepBackup();
            }
            journal_.reset();
            return;
        }
    }
    // The commit entry goes first: from then on a later start finishes the commit instead of
    // undoing it. Without it (and with the journal still there) the backups must stay, since a
    // later start would undo the procedure from them.
    if (journal_ && !journal_->MarkCommitted() && !journal_->Remove()) {
        for (auto& record : records_) {
            record->KeepBackup();
        }
    }
    // Committing destroys the records in the order in which they were made.
    for (auto& record : records_) {
        record.reset();
    }
    if (journal_) {
        journal_->Remove();
    }
}

bool Transaction::StartJournal(ErrorList& errors) {
    if (journal_) {
        return true;
    }
    journal_ = Journal::Create(errors);
    return journal_ != nullptr;
}

std::string Transaction::NewBackupPath() {
    return journal_ ? journal_->NewBackupPath() : std::string();
}

void Transaction::SecureBackup(const std::string& backup) {
    if (journal_) {
        Journal::SecureBackup(backup);
    }
}

bool Transaction::Write(const UndoAction& record, ErrorList* errors) {
    JournalRecord described;
    if (!record.Describe(described)) {
        described = NothingRecord();
    }
    return journal_->Append(EncodeJournalRecord(described), record.Destructive(), errors);
}

void Transaction::Add(UndoAction* record) {
    Add(std::unique_ptr<UndoAction>(record));
}

void Transaction::Add(std::unique_ptr<UndoAction> record) {
    if (record) {
        // The change is made already: the journal can only follow it as closely as it can.
        if (journal_) {
            Write(*record, nullptr);
        }
        Tell(*record, true, true);
        records_.push_back(std::move(record));
    }
}

bool Transaction::AddAhead(std::unique_ptr<UndoAction> record, ErrorList& errors) {
    if (!record) {
        return true;
    }
    if (journal_ && !Write(*record, &errors)) {
        return false;
    }
    Tell(*record, true, true);
    records_.push_back(std::move(record));
    return true;
}

void Transaction::Withdraw() {
    if (records_.empty()) {
        return;
    }
    if (journal_) {
        // Withdrawn records are changes that failed, so this is rare; it reaches the disk before
        // the record's backup goes, or a recovery would look for that backup and report it lost.
        journal_->Append(EncodeJournalTruncation(static_cast<std::uint32_t>(records_.size() - 1)),
                         true, nullptr);
    }
    Tell(*records_.back(), false, true);
    records_.pop_back();
}

bool Transaction::RollbackTo(int mark, ErrorList& errors) {
    if (mark < 0) {
        mark = 0;
    }
    bool allUndone = true;
    std::vector<std::unique_ptr<UndoAction>> undone;
    for (int i = Count(); i > mark; --i) {
        UndoAction& record = *records_[static_cast<std::size_t>(i - 1)];
        const bool undone = record.Undo(errors);
        if (!undone) {
            allUndone = false;
        }
        Tell(record, false, undone);
        if (!journal_) {
            // Without a journal a record goes (with its backup) as soon as it is undone.
            records_.pop_back();
        }
    }
    if (journal_ && Count() > mark) {
        // The journal learns that the records are undone before their backups go: a crash in
        // between merely undoes them once more.
        journal_->Append(EncodeJournalTruncation(static_cast<std::uint32_t>(mark)), true, nullptr);
        while (Count() > mark) {
            records_.pop_back();
        }
    }
    return allUndone;
}

void Transaction::Resume(std::unique_ptr<Journal> journal,
                         std::vector<std::unique_ptr<UndoAction>> records) {
    journal_ = std::move(journal);
    records_ = std::move(records);
}

} // namespace nebcm
