// Fuzz target of the LZW decoder: arbitrary block streams, and round trips of arbitrary data
// through nebpack's compressor.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../../tools/nebpack/lzw_encoder.cpp"
#include "io/lzw32.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Decodes a stream into a buffer of exactly the size its blocks declare, and into one of an
// unrelated size; the two must agree wherever both succeed.
void DecodeStream(const std::uint8_t* data, std::uint32_t size, std::uint32_t otherTarget) {
    std::uint64_t declared = 0;
    try {
        declared = nebcm::Lzw32::DeclaredLength(data, size);
    } catch (const nebcm::Lzw32::DataCorruptException&) {
        declared = UINT64_MAX;
    }
    std::vector<std::uint8_t> exact;
    bool exactOk = false;
    if (declared <= (64u << 20)) {
        exact.resize(declared);
        try {
            Check(nebcm::Lzw32::Decompress(data, size, exact.data(),
                                           static_cast<std::uint32_t>(declared)) == declared);
            exactOk = true;
        } catch (const nebcm::Lzw32::DataCorruptException&) {
        }
    }
    std::vector<std::uint8_t> other(otherTarget);
    try {
        std::uint32_t total = nebcm::Lzw32::Decompress(data, size, other.data(), otherTarget);
        Check(total <= otherTarget);
        if (exactOk) {
            Check(total == declared &&
                  (total == 0 || std::memcmp(other.data(), exact.data(), total) == 0));
        }
    } catch (const nebcm::Lzw32::DataCorruptException&) {
        // A stream that decodes into its declared size fails in a smaller buffer only.
        Check(!exactOk || otherTarget < declared);
    }
}

void RoundTrip(const std::uint8_t* data, std::size_t size, std::uint8_t mode) {
    nebpack::LzwOptions options;
    const std::uint32_t blockSizes[] = {4096, 1, 77, 32767};
    options.blockSize = blockSizes[mode & 3];
    options.clearInterval = (mode >> 2) & 7 ? ((mode >> 2) & 7) * 97 : 0;
    options.storeIncompressible = (mode & 0x20) != 0;
    std::vector<std::uint8_t> stream;
    nebpack::CompressLzw(data, size, stream, options);
    std::vector<std::uint8_t> back(size);
    const std::uint32_t n = static_cast<std::uint32_t>(size);
    Check(nebcm::Lzw32::DeclaredLength(stream.data(), static_cast<std::uint32_t>(stream.size())) ==
          n);
    Check(nebcm::Lzw32::Decompress(stream.data(), static_cast<std::uint32_t>(stream.size()),
                                   back.data(), n) == n);
    Check(size == 0 || std::memcmp(back.data(), data, size) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > (1u << 20)) {
        return 0;
    }
    // The first byte chooses: odd, a round trip of the rest; even, the rest is a stream and the
    // byte scales the second buffer.
    if (data[0] & 1) {
        RoundTrip(data + 2, size - 2, data[1]);
    } else {
        DecodeStream(data + 1, static_cast<std::uint32_t>(size - 1),
                     static_cast<std::uint32_t>((size - 1) * (data[0] >> 1)));
    }
    return 0;
}
