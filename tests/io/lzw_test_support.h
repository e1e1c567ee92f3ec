// Helpers of the LZW and archive tests: hand-packed code sequences and block streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nebcm::testing {

using Bytes = std::vector<std::uint8_t>;

// Width of the k-th code since the last clear (k counting from 1), written out independently of
// the decoder's counting.
inline unsigned CodeWidth(unsigned k) {
    return k <= 255 ? 9 : k <= 767 ? 10 : k <= 1791 ? 11 : 12;
}

// Packs codes least significant bit first, each at the width its position calls for; a clear
// (256) restarts the count.
inline Bytes PackCodes(const std::vector<unsigned>& codes) {
    Bytes out;
    std::uint64_t bits = 0;
    unsigned count = 0;
    unsigned k = 0;
    for (unsigned code : codes) {
        ++k;
        bits |= static_cast<std::uint64_t>(code) << count;
        count += CodeWidth(k);
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
        if (code == 256) {
            k = 0;
        }
    }
    if (count > 0) {
        out.push_back(static_cast<std::uint8_t>(bits));
    }
    return out;
}

inline void PutU16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// An LZW block of the given code bytes that declares `output` bytes.
inline Bytes LzwBlock(const Bytes& codeBytes, std::uint32_t output, std::uint8_t type = 1) {
    Bytes b{type};
    PutU16(b, static_cast<std::uint32_t>(codeBytes.size()));
    PutU16(b, output);
    b.insert(b.end(), codeBytes.begin(), codeBytes.end());
    return b;
}

inline Bytes StoredBlock(const std::string& raw) {
    Bytes b{2};
    PutU16(b, static_cast<std::uint32_t>(raw.size()));
    b.insert(b.end(), raw.begin(), raw.end());
    return b;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Deterministic test data: xorshift bytes, optionally drawn from a small alphabet so that LZW
// finds repeats.
inline Bytes RandomBytes(std::size_t n, std::uint32_t seed, unsigned alphabet = 256) {
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(alphabet >= 256 ? x >> 24 : (x >> 24) % alphabet);
    }
    return out;
}

} // namespace nebcm::testing
