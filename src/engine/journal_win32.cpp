// Recovery of an interrupted procedure from its journal (provisional: no journal is written yet).
#include "engine/journal.h"

namespace nebcm {

RecoveryOutcome RecoverInterruptedProcedure(ErrorList&) {
    return RecoveryOutcome::NothingToRecover;
}

} // namespace nebcm
