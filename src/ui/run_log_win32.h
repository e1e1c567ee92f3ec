// The log of a run (-Log FILE): time-stamped lines appended to a plain-text file, the changes the
// transactions make, and the activities of a progress window that is shown all the same.
#pragma once

#include <memory>
#include <string>

#include "engine/progress.h"
#include "engine/transaction.h"

namespace nebcm::ui {

// Every line is appended on its own, the file closed in between, so that the copies a run starts
// and waits for can append to the same log. Without a path nothing is written.
class LogFile {
public:
    // Makes the path absolute (the copies a run starts have other working directories); false
    // when the file cannot be written.
    bool Open(std::string& path);
    bool IsOpen() const { return !path_.empty(); }
    void Write(const std::string& text);

private:
    bool Append(const std::string& bytes);
    std::string path_;
};

// Each change a transaction records, and each one it undoes, becomes a log line.
class ChangeLog : public TransactionObserver {
public:
    explicit ChangeLog(LogFile& log) : log_(log) {}
    void Recorded(const JournalRecord& record) override;
    void Undone(const JournalRecord& record, bool undone) override;

private:
    LogFile& log_;
};

// Passes everything on to the window's reporter and logs each activity's start and end.
std::unique_ptr<ProgressReporter> LoggedProgress(std::unique_ptr<ProgressReporter> shown,
                                                 LogFile& log);

} // namespace nebcm::ui
