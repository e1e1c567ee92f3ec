// Outside Windows there is no processor or version information to report.
#include "platform/machine_info.h"

namespace nebcm {

bool QueryMachineInfo(MachineInfo&) {
    return false;
}

} // namespace nebcm
