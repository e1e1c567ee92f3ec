// The progress line on a terminal.
#include "progress.h"

#include "host.h"

namespace nebpack {

namespace {

ProgressLine*& Current() {
    static ProgressLine* line = nullptr;
    return line;
}

std::string Shortened(const std::string& path) {
    // The tail of a long path says more than its head.
    return path.size() <= 48 ? path : "..." + path.substr(path.size() - 45);
}

} // namespace

ProgressLine::ProgressLine(std::FILE* stream) : stream_(stream) {}

ProgressLine::~ProgressLine() {
    Clear();
}

void ProgressLine::Show(const std::string& text, int percent) {
    if (stream_ == nullptr || (text == text_ && percent == percent_)) {
        return;
    }
    text_ = text;
    percent_ = percent;
    std::string line = "nebpack: " + text + " " + std::to_string(percent) + "%";
    const std::size_t length = line.size();
    if (length < shown_) {
        line.append(shown_ - length, ' ');
    }
    std::fprintf(stream_, "\r%s", line.c_str());
    std::fflush(stream_);
    shown_ = length;
}

void ProgressLine::Clear() {
    if (stream_ == nullptr || shown_ == 0) {
        return;
    }
    std::fprintf(stream_, "\r%s\r", std::string(shown_, ' ').c_str());
    std::fflush(stream_);
    shown_ = 0;
    text_.clear();
    percent_ = -1;
}

void ProgressLine::BeginReading(const std::string& path) {
    Show("reading " + Shortened(path), 0);
}

void ProgressLine::BeginFolding(const std::string& path) {
    Show("folding " + Shortened(path), 0);
}

void ProgressLine::SetProgress(int percent) {
    if (!text_.empty()) {
        Show(text_, percent);
    }
}

void ProgressLine::End() {
    Clear();
}

nebcm::SetReadingProgress* CurrentProgress() {
    return Current();
}

void ShowProgress(const std::string& text, int percent) {
    if (Current() != nullptr) {
        Current()->Show(text, percent);
    }
}

void EndProgress() {
    if (Current() != nullptr) {
        Current()->Clear();
    }
}

ProgressScope::ProgressScope() : previous_(Current()) {
    if (StandardErrorIsTerminal()) {
        line_ = std::make_unique<ProgressLine>(stderr);
        Current() = line_.get();
    }
}

ProgressScope::~ProgressScope() {
    if (line_) {
        Current() = previous_;
    }
}

} // namespace nebpack
