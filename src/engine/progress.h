// How a procedure reports its progress and learns of a cancel: the five-row progress window in the
// program, a scripted recorder in tests.
#pragma once

#include <string>

namespace nebcm {

class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;

    // Moves to the next activity row, named by a message number; its status becomes "Starting".
    // Includes the half-second pause that lets the user read the new row.
    virtual void BeginActivity(int nameMessage) = 0;
    // "n% complete" on the current row.
    virtual void SetActivityPercent(int percent) = 0;
    // A status text on the current row, by message number ("Completed", "Failure", "Cancelled")
    // or as text.
    virtual void SetActivityStatus(int statusMessage) = 0;
    virtual void SetActivityStatusText(const std::string& text) = 0;
    // The user confirmed a cancel; procedures poll this between steps.
    virtual bool IsCancelled() = 0;
    // A pacing pause between items, during which the window stays responsive.
    virtual void Pause(unsigned milliseconds) = 0;
};

} // namespace nebcm
