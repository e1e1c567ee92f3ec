// Repeat-free view of an ErrorList.
#include "common/error_list.h"

#include <unordered_set>

namespace nebcm {

std::vector<std::string> ErrorList::Distinct() const {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const std::string& m : messages_) {
        if (seen.insert(m).second) {
            out.push_back(m);
        }
    }
    return out;
}

} // namespace nebcm
