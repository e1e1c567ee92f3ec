// The transaction: an ordered list of undo records that either all get undone (rollback) or are
// simply dropped (commit).
#pragma once

#include <memory>
#include <vector>

#include "common/error_list.h"

namespace nebcm {

// Knows how to reverse exactly one change to the machine. Destroying a record without undoing it
// is the commit of that change (it deletes whatever backup the record kept).
class UndoAction {
public:
    virtual ~UndoAction() = default;
    // Reverses the change; on failure appends one message and returns false.
    virtual bool Undo(ErrorList& errors) = 0;
};

// Every change of a procedure is recorded here, in the order in which it was made. Destroying the
// transaction commits: the records are destroyed first to last without being undone.
class Transaction {
public:
    Transaction() = default;
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Takes ownership of the record.
    void Add(UndoAction* record);
    void Add(std::unique_ptr<UndoAction> record);

    // The number of records, usable as a mark for RollbackTo.
    int Count() const { return static_cast<int>(records_.size()); }

    // Undoes and destroys the records after the first `mark` ones, last first. A failing record is
    // destroyed all the same and the rollback goes on; true only if every record was undone.
    bool RollbackTo(int mark, ErrorList& errors);
    bool Rollback(ErrorList& errors) { return RollbackTo(0, errors); }

private:
    std::vector<std::unique_ptr<UndoAction>> records_;
};

// Records a change when there is a transaction to record it in; without one the record is dropped.
inline void Record(Transaction* transaction, std::unique_ptr<UndoAction> record) {
    if (transaction != nullptr) {
        transaction->Add(std::move(record));
    }
}

} // namespace nebcm
