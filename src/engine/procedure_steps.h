// Small pieces shared by the platform procedures: pacing one unit of an activity, and making sure
// that a failed step leaves a reason for the user.
#pragma once

#include <cstddef>
#include <string>

#include "common/error_list.h"
#include "engine/progress.h"

namespace nebcm {

// Reports the percentage, pauses so that the row can be read, and says whether to go on (false
// once the user asked to cancel).
inline bool PaceStep(ProgressReporter& progress, int percent, unsigned pause) {
    progress.SetActivityPercent(percent);
    progress.Pause(pause);
    return !progress.IsCancelled();
}

// Some lower operations fail without a message (an existing registry value that will not go, a
// file in a directory's place); a procedure that stops there still names what went wrong.
inline bool Explained(bool succeeded, ErrorList& errors, std::size_t countBefore,
                      const std::string& message) {
    if (!succeeded && errors.Count() == countBefore) {
        errors.Add(message);
    }
    return succeeded;
}

} // namespace nebcm
