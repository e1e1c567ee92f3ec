// Rollback and commit of the transaction's undo records.
#include "engine/transaction.h"

namespace nebcm {

Transaction::~Transaction() {
    // Committing destroys the records in the order in which they were made.
    for (auto& record : records_) {
        record.reset();
    }
}

void Transaction::Add(UndoAction* record) {
    Add(std::unique_ptr<UndoAction>(record));
}

void Transaction::Add(std::unique_ptr<UndoAction> record) {
    if (record) {
        records_.push_back(std::move(record));
    }
}

bool Transaction::RollbackTo(int mark, ErrorList& errors) {
    if (mark < 0) {
        mark = 0;
    }
    bool allUndone = true;
    while (Count() > mark) {
        std::unique_ptr<UndoAction> record = std::move(records_.back());
        records_.pop_back();
        if (!record->Undo(errors)) {
            allUndone = false;
        }
    }
    return allUndone;
}

} // namespace nebcm
