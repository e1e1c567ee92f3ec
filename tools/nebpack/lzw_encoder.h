// nebpack's LZW compressor: writes the block streams that the program's decoder reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nebpack {

struct LzwOptions {
    // Output bytes per LZW block (1..32767). A block also ends early when its codes would not
    // fit the 8192-byte limit.
    std::uint32_t blockSize = 4096;
    // Sends an extra clear code after this many codes since the last one (0: only when the
    // dictionary is full). Readers must cope with clears anywhere; this makes them on purpose.
    std::uint32_t clearInterval = 0;
    // Writes a block raw (a stored block) when that is shorter than its codes.
    bool storeIncompressible = false;
};

// Appends the compressed form of `size` bytes: blocks that each start with a clear code, then
// the zero byte that ends the stream.
void CompressLzw(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                 const LzwOptions& options = LzwOptions());

} // namespace nebpack
