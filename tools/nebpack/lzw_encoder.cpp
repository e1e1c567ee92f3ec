// nebpack's LZW compressor. It keeps the decoder's exact code counting: a code is written at the
// width the decoder will read it with, and the dictionary is cleared before it would outgrow
// 4096 entries.
#include "lzw_encoder.h"

#include <algorithm>
#include <memory>

namespace nebpack {

namespace {

constexpr unsigned ClearCode = 256;
constexpr unsigned FirstLearntCode = 258;
constexpr unsigned MinWidth = 9;
constexpr unsigned MaxWidth = 12;
// The k-th code after a clear lets the decoder learn entry 256 + k, so after this many codes the
// next one must be a clear (entry 4095 is the last).
constexpr std::uint32_t CodesPerClear = 4095 - 256;
constexpr std::uint32_t MaxCodeBits = 8192 * 8;
constexpr std::uint32_t MaxBlockOutput = 32767;

class BlockEncoder {
public:
    // Encodes a prefix of data[0..n) into codes (all of it unless the code bytes run out) and
    // returns its length.
    std::size_t Encode(const std::uint8_t* data, std::size_t n, std::uint32_t clearInterval,
                       std::vector<std::uint8_t>& codes) {
        out_ = &codes;
        bits_ = 0;
        bitCount_ = 0;
        written_ = 0;
        width_ = MinWidth;
        limit_ = 1u << MinWidth;
        counter_ = FirstLearntCode;
        EmitClear();
        unsigned w = data[0];
        std::size_t i = 1;
        while (i < n) {
            const std::uint8_t c = data[i];
            const int found = Lookup(w, c);
            if (found >= 0) {
                w = static_cast<unsigned>(found);
                ++i;
                continue;
            }
            // Room for this code, a clear and the last code of the block.
            if (written_ + 3 * MaxWidth > MaxCodeBits) {
                break;
            }
            Emit(w);
            ++sinceClear_;
            if (sinceClear_ == CodesPerClear || sinceClear_ == clearInterval) {
                EmitClear();
            } else {
                Add(w, c, next_++);
            }
            w = c;
            ++i;
        }
        Emit(w);
        if (bitCount_ > 0) {
            out_->push_back(static_cast<std::uint8_t>(bits_));
        }
        return i;
    }

private:
    void Emit(unsigned code) {
        bits_ |= static_cast<std::uint64_t>(code) << bitCount_;
        bitCount_ += width_;
        written_ += width_;
        while (bitCount_ >= 8) {
            out_->push_back(static_cast<std::uint8_t>(bits_));
            bits_ >>= 8;
            bitCount_ -= 8;
        }
        // The decoder counts every code it reads, then widens once the count passes the limit.
        ++counter_;
        if (counter_ > limit_ && width_ < MaxWidth) {
            limit_ <<= 1;
            ++width_;
        }
    }

    void EmitClear() {
        Emit(ClearCode);
        counter_ = FirstLearntCode;
        width_ = MinWidth;
        limit_ = 1u << MinWidth;
        next_ = FirstLearntCode;
        sinceClear_ = 0;
        ++stamp_; // forgets every learnt string at once
    }

    static constexpr unsigned HashSize = 1u << 14;

    static unsigned Slot(std::uint32_t key) { return (key * 2654435761u) >> (32 - 14); }

    int Lookup(unsigned prefix, std::uint8_t c) const {
        const std::uint32_t key = (prefix << 8) | c;
        for (unsigned s = Slot(key);; s = (s + 1) & (HashSize - 1)) {
            if (stamps_[s] != stamp_) {
                return -1;
            }
            if (keys_[s] == key) {
                return codes_[s];
            }
        }
    }

    void Add(unsigned prefix, std::uint8_t c, unsigned code) {
        const std::uint32_t key = (prefix << 8) | c;
        unsigned s = Slot(key);
        while (stamps_[s] == stamp_) {
            s = (s + 1) & (HashSize - 1);
        }
        stamps_[s] = stamp_;
        keys_[s] = key;
        codes_[s] = static_cast<std::uint16_t>(code);
    }

    std::vector<std::uint8_t>* out_ = nullptr;
    std::uint64_t bits_ = 0;
    unsigned bitCount_ = 0;
    std::uint32_t written_ = 0;
    unsigned width_ = MinWidth;
    std::uint32_t limit_ = 0;
    std::uint32_t counter_ = 0;
    unsigned next_ = FirstLearntCode;
    std::uint32_t sinceClear_ = 0;
    std::uint32_t stamp_ = 0;
    std::uint32_t keys_[HashSize] = {};
    std::uint16_t codes_[HashSize] = {};
    std::uint32_t stamps_[HashSize] = {};
};

void PutU16(std::vector<std::uint8_t>& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

} // namespace

void CompressLzw(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                 const LzwOptions& options) {
    const std::size_t blockSize =
        std::min<std::size_t>(std::max<std::uint32_t>(options.blockSize, 1), MaxBlockOutput);
    auto encoder = std::make_unique<BlockEncoder>();
    std::vector<std::uint8_t> codes;
    std::size_t pos = 0;
    while (pos < size) {
        codes.clear();
        const std::size_t n = std::min(size - pos, blockSize);
        const std::size_t used = encoder->Encode(data + pos, n, options.clearInterval, codes);
        if (options.storeIncompressible && codes.size() + 5 > used + 3) {
            out.push_back(2);
            PutU16(out, used);
            out.insert(out.end(), data + pos, data + pos + used);
        } else {
            out.push_back(1);
            PutU16(out, codes.size());
            PutU16(out, used);
            out.insert(out.end(), codes.begin(), codes.end());
        }
        pos += used;
    }
    out.push_back(0);
}

} // namespace nebpack
