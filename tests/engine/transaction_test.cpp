// Rollback order, partial rollback, failures during rollback and commit of the transaction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/transaction.h"

namespace nebcm::test {
namespace {

// A record that writes what happens to it into a shared log.
class LoggingRecord : public UndoAction {
public:
    LoggingRecord(std::vector<std::string>& log, std::string name, bool fails = false)
        : log_(log), name_(std::move(name)), fails_(fails) {}
    ~LoggingRecord() override { log_.push_back("destroy " + name_); }
    bool Undo(ErrorList& errors) override {
        log_.push_back("undo " + name_);
        if (fails_) {
            errors.Add("cannot undo " + name_);
        }
        return !fails_;
    }

private:
    std::vector<std::string>& log_;
    std::string name_;
    bool fails_;
};

TEST(Transaction, EmptyRollbackAndRollbackToTheCurrentCountDoNothing) {
    std::vector<std::string> log;
    Transaction transaction;
    ErrorList errors;
    EXPECT_TRUE(transaction.Rollback(errors));
    transaction.Add(new LoggingRecord(log, "a"));
    EXPECT_TRUE(transaction.RollbackTo(transaction.Count(), errors));
    EXPECT_TRUE(transaction.RollbackTo(5, errors));
    EXPECT_TRUE(errors.Empty());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(transaction.Count(), 1);
}

TEST(Transaction, RollbackUndoesLastFirstAndGoesOnPastAFailure) {
    std::vector<std::string> log;
    ErrorList errors;
    {
        Transaction transaction;
        transaction.Add(new LoggingRecord(log, "1"));
        transaction.Add(new LoggingRecord(log, "2", true));
        transaction.Add(std::make_unique<LoggingRecord>(log, "3"));
        EXPECT_FALSE(transaction.Rollback(errors));
        EXPECT_EQ(transaction.Count(), 0);
    }
    // Each record is destroyed right after its undo, the failing one included; nothing is left
    // for the commit.
    EXPECT_EQ(log, (std::vector<std::string>{"undo 3", "destroy 3", "undo 2", "destroy 2", "undo 1",
                                             "destroy 1"}));
    ASSERT_EQ(errors.Count(), 1u);
    EXPECT_EQ(errors.At(0), "cannot undo 2");
}

TEST(Transaction, RollbackToAMarkKeepsTheEarlierRecordsForTheCommit) {
    std::vector<std::string> log;
    {
        Transaction transaction;
        transaction.Add(new LoggingRecord(log, "before-1"));
        transaction.Add(new LoggingRecord(log, "before-2"));
        int mark = transaction.Count();
        transaction.Add(new LoggingRecord(log, "mine-1"));
        transaction.Add(new LoggingRecord(log, "mine-2"));
        ErrorList errors;
        EXPECT_TRUE(transaction.RollbackTo(mark, errors));
        EXPECT_EQ(transaction.Count(), mark);
        log.push_back("commit");
    }
    EXPECT_EQ(log, (std::vector<std::string>{"undo mine-2", "destroy mine-2", "undo mine-1",
                                             "destroy mine-1", "commit", "destroy before-1",
                                             "destroy before-2"}));
}

TEST(Transaction, HoldsAnyNumberOfRecords) {
    std::vector<std::string> log;
    Transaction transaction;
    for (int i = 0; i < 1000; ++i) {
        transaction.Add(new LoggingRecord(log, std::to_string(i)));
    }
    EXPECT_EQ(transaction.Count(), 1000);
    ErrorList errors;
    EXPECT_TRUE(transaction.RollbackTo(998, errors));
    EXPECT_EQ(log[0], "undo 999");
    EXPECT_EQ(log[2], "undo 998");
}

} // namespace
} // namespace nebcm::test
