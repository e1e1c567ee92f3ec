// The run's log file, its change lines and its activity lines.
#include "ui/run_log_win32.h"

#include <windows.h>

#include "common/messages.h"
#include "engine/file_system.h"
#include "platform/handles_win32.h"
#include "ui/unattended_model.h"

namespace nebcm::ui {

bool LogFile::Open(std::string& path) {
    const std::string full = FullPath(path);
    path_ = full.empty() ? path : full;
    path = path_;
    return Append(std::string());
}

void LogFile::Write(const std::string& text) {
    if (path_.empty()) {
        return;
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    const LogTime time{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                       now.wMinute, now.wSecond, now.wMilliseconds};
    Append(LogLine(time, text));
}

bool LogFile::Append(const std::string& bytes) {
    UniqueResource<FileHandleTraits> file(CreateFileA(path_.c_str(), GENERIC_WRITE,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) {
        return false;
    }
    DWORD written = 0;
    return bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                       &written, nullptr) &&
                             written == bytes.size());
}

void ChangeLog::Recorded(const JournalRecord& record) {
    const std::string text = ChangeText(record);
    if (!text.empty()) {
        log_.Write(text);
    }
}

void ChangeLog::Undone(const JournalRecord& record, bool undone) {
    const std::string text = ChangeText(record);
    if (undone && !text.empty()) {
        log_.Write(Message(13046, text));
    }
}

namespace {

class TeeProgress : public ProgressReporter {
public:
    TeeProgress(std::unique_ptr<ProgressReporter> shown, LogFile& log)
        : shown_(std::move(shown)), log_(log) {}

    void BeginActivity(int nameMessage) override {
        activity_ = Message(nameMessage);
        open_ = true;
        log_.Write(Message(13033, activity_, Message(3504)));
        shown_->BeginActivity(nameMessage);
    }
    void SetActivityPercent(int percent) override { shown_->SetActivityPercent(percent); }
    void SetActivityStatus(int statusMessage) override {
        End(Message(statusMessage));
        shown_->SetActivityStatus(statusMessage);
    }
    void SetActivityStatusText(const std::string& text) override {
        End(text);
        shown_->SetActivityStatusText(text);
    }
    bool IsCancelled() override { return shown_->IsCancelled(); }
    void Pause(unsigned milliseconds) override { shown_->Pause(milliseconds); }

private:
    void End(const std::string& status) {
        if (open_) {
            log_.Write(Message(13033, activity_, status));
            open_ = false;
        }
    }

    std::unique_ptr<ProgressReporter> shown_;
    LogFile& log_;
    std::string activity_;
    bool open_ = false;
};

} // namespace

std::unique_ptr<ProgressReporter> LoggedProgress(std::unique_ptr<ProgressReporter> shown,
                                                 LogFile& log) {
    if (!log.IsOpen()) {
        return shown;
    }
    return std::make_unique<TeeProgress>(std::move(shown), log);
}

} // namespace nebcm::ui
