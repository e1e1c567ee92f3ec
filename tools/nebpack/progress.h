// The progress line of nebpack's long verbs: one line on standard error, rewritten in place, and
// only when standard error is a terminal, so that scripts see the same output as ever.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "distribution/distribution_set.h"

namespace nebpack {

// Shows the progress of one verb while it lives; the set reader reports through it as well.
// Nothing is shown when standard error is not a terminal (or, in tests, when stream is null).
class ProgressLine : public nebcm::SetReadingProgress {
public:
    explicit ProgressLine(std::FILE* stream);
    ~ProgressLine() override;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // "nebpack: TEXT PERCENT%", over the line shown before.
    void Show(const std::string& text, int percent);
    // Wipes the line, so that what is printed next starts on a clean one.
    void Clear();

    void BeginReading(const std::string& path) override;
    void BeginFolding(const std::string& path) override;
    void SetProgress(int percent) override;
    void End() override;

private:
    std::FILE* stream_;
    std::string text_;
    std::size_t shown_ = 0; // characters on the line now
    int percent_ = -1;
};

// The progress line of the running verb, made by the verb for standard error; null when none.
// The helpers below do nothing without one.
nebcm::SetReadingProgress* CurrentProgress();
void ShowProgress(const std::string& text, int percent);
void EndProgress();

// Makes a progress line for standard error the current one while it lives, if standard error
// is a terminal.
class ProgressScope {
public:
    ProgressScope();
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    std::unique_ptr<ProgressLine> line_;
    ProgressLine* previous_ = nullptr;
};

} // namespace nebpack
