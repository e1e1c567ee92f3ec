// The transaction: an ordered list of undo records that either all get undone (rollback) or are
// simply dropped (commit). A procedure's transaction also keeps its records in a journal on disk,
// each written before the change it undoes, so that a later start can undo a killed procedure.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"

namespace nebcm {

struct JournalRecord;
class Journal;

// Knows how to reverse exactly one change to the machine. Destroying a record without undoing it
// is the commit of that change (it deletes whatever backup the record kept). Undoing a change that
// was never made does no harm: a record may reach the journal and its change not happen.
class UndoAction {
public:
    virtual ~UndoAction() = default;
    // Reverses the change; on failure appends one message and returns false.
    virtual bool Undo(ErrorList& errors) = 0;
    // Fills in what a later process needs to make this record again; false for a record that
    // cannot be kept on disk (it then stays in memory only).
    virtual bool Describe(JournalRecord& record) const;
    // True when the change destroys what only this record can bring back (a deleted or replaced
    // file, a deleted key or value): its record is on the disk itself before the change is made.
    virtual bool Destructive() const { return false; }
    // Destroying the record is then no longer a commit: its backup stays where it is.
    virtual void KeepBackup() {}
};

// Learns of every change that any transaction records and of every record undone or withdrawn,
// each as the journal would keep it (records that cannot be kept are not reported). A log of the
// run listens; nothing depends on it.
class TransactionObserver {
public:
    virtual ~TransactionObserver() = default;
    virtual void Recorded(const JournalRecord& record) = 0;
    // Undone by a rollback (undone false: the undo failed), or withdrawn because the change was
    // not made after all.
    virtual void Undone(const JournalRecord& record, bool undone) = 0;
};
// Installs the observer of the process (null: none) and returns the one it replaces. Not owned.
TransactionObserver* SetTransactionObserver(TransactionObserver* observer);

// Every change of a procedure is recorded here, in the order in which it was made. Destroying the
// transaction commits: the records are destroyed first to last without being undone. A transaction
// left by an exception (memory running out in the middle of a procedure, among others) never
// commits: it is rolled back, and if even that cannot finish, its journal and backups stay for the
// next start to undo.
class Transaction {
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // From now on every record is written to the journal before its change. Fails with 13014 when
    // the journal cannot be made, among others while the journal of another procedure is there.
    bool StartJournal(ErrorList& errors);
    bool Journaled() const { return journal_ != nullptr; }
    // A new name for a backup copy, in the journal's folder; empty without a journal.
    std::string NewBackupPath();
    // Makes sure a backup copy has reached the disk before the change that needs it.
    void SecureBackup(const std::string& backup);

    // Takes ownership of the record of a change already made.
    void Add(UndoAction* record);
    void Add(std::unique_ptr<UndoAction> record);
    // Takes the record of a change about to be made; the journal has it before this returns.
    // False, with 13014, when the journal could not take it: the change must then not be made.
    bool AddAhead(std::unique_ptr<UndoAction> record, ErrorList& errors);
    // The change of the last record added ahead was not made after all: the record is destroyed.
    void Withdraw();

    // The number of records, usable as a mark for RollbackTo.
    int Count() const { return static_cast<int>(records_.size()); }

    // Undoes and destroys the records after the first `mark` ones, last first. A failing record is
    // destroyed all the same and the rollback goes on; true only if every record was undone.
    bool RollbackTo(int mark, ErrorList& errors);
    bool Rollback(ErrorList& errors) { return RollbackTo(0, errors); }

    // Takes over the journal of an interrupted procedure with the records read back from it.
    void Resume(std::unique_ptr<Journal> journal, std::vector<std::unique_ptr<UndoAction>> records);

private:
    bool Write(const UndoAction& record, ErrorList* errors);

    std::vector<std::unique_ptr<UndoAction>> records_;
    std::unique_ptr<Journal> journal_;
    int unwinding_; // exceptions under way when the transaction began
};

// Records a change when there is a transaction to record it in; without one the record is dropped.
inline void Record(Transaction* transaction, std::unique_ptr<UndoAction> record) {
    if (transaction != nullptr) {
        transaction->Add(std::move(record));
    }
}

// Records a change about to be made (see Transaction::AddAhead); true without a transaction.
inline bool RecordAhead(Transaction* transaction, std::unique_ptr<UndoAction> record,
                        ErrorList& errors) {
    return transaction == nullptr || transaction->AddAhead(std::move(record), errors);
}

// Forgets the record of a change that did not happen (see Transaction::Withdraw).
inline void WithdrawRecord(Transaction* transaction) {
    if (transaction != nullptr) {
        transaction->Withdraw();
    }
}

} // namespace nebcm
