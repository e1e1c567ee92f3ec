// Comparing entries through their streams.
#include "entry_data.h"

#include <cstring>
#include <memory>
#include <vector>

namespace nebpack {

bool SameData(const nebcm::ArchiveEntry& a, const nebcm::ArchiveEntry& b) {
    if (a.Size() != b.Size()) {
        return false;
    }
    std::unique_ptr<nebcm::DataInputStream> x = a.OpenStream();
    std::unique_ptr<nebcm::DataInputStream> y = b.OpenStream();
    std::vector<std::uint8_t> bx(CompareChunk);
    std::vector<std::uint8_t> by(CompareChunk);
    for (;;) {
        // A stream gives fewer bytes than asked only at its end.
        const std::uint32_t nx = x->Read(bx.data(), CompareChunk);
        const std::uint32_t ny = y->Read(by.data(), CompareChunk);
        if (nx != ny || (nx > 0 && std::memcmp(bx.data(), by.data(), nx) != 0)) {
            return false;
        }
        if (nx < CompareChunk) {
            return true;
        }
    }
}

} // namespace nebpack
