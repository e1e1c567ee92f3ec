// A stand-in for the distribution set's own implementation until it is merged: the constructor
// and look-ups that the procedures use.
#include "distribution/distribution_set.h"

namespace nebcm {

DistributionSet::DistributionSet(std::unique_ptr<Configuration> merged,
                                 std::vector<std::unique_ptr<ArchiveEntry>> entries)
    : merged_(std::move(merged)), entries_(std::move(entries)) {
    for (const auto& entry : entries_) {
        index_.emplace(entry->NameWithSlashes(), entry.get());
    }
}

DistributionSet::~DistributionSet() = default;

const ArchiveEntry* DistributionSet::FindEntry(const std::string& path) const {
    auto found = index_.find(path);
    return found != index_.end() ? found->second : nullptr;
}

std::map<std::string, std::uint64_t> DistributionSet::EntrySizes() const {
    std::map<std::string, std::uint64_t> sizes;
    for (const auto& [path, entry] : index_) {
        sizes[path] = entry->Size();
    }
    return sizes;
}

} // namespace nebcm
