// LZW block-stream decoder: walks the blocks and decodes each LZW block with a dictionary of
// its own.
#include "io/lzw32.h"

#include <cstring>

namespace nebcm {

namespace {

using Corrupt = Lzw32::DataCorruptException;

std::uint32_t U16At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
}

std::uint64_t Load64LE(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// One unaligned 16-byte move; the load completes before the store, so source and destination
// may overlap.
inline void Move16(std::uint8_t* to, const std::uint8_t* from) {
    std::uint8_t chunk[16];
    std::memcpy(chunk, from, 16);
    std::memcpy(to, chunk, 16);
}

// Copies n bytes in 16-byte chunks, writing up to 15 bytes beyond n. Every byte of the source
// range lies before `to`, so no chunk reads a byte that an earlier chunk wrote.
inline void CopyChunks(std::uint8_t* to, const std::uint8_t* from, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; i += 16) {
        Move16(to + i, from + i);
    }
}

// Upper bound of what `codeBytes` bytes of codes can decode to. Codes are at least 9 bits, and
// the k-th code after a clear stands for at most k bytes (every learnt string is one byte longer
// than a string seen before it).
std::uint64_t MaxOutputOfCodes(std::uint32_t codeBytes) {
    std::uint64_t codes = static_cast<std::uint64_t>(codeBytes) * 8 / Lzw32::MinCodeWidth;
    return codes * (codes + 1) / 2;
}

} // namespace

std::uint32_t Lzw32::DecodeBlock(const std::uint8_t* codes, std::uint32_t codeLength,
                                 std::uint8_t* output, std::uint32_t outputLength,
                                 std::uint32_t slack) {
    if (codeLength > MaxCodeBytes || outputLength > MaxBlockOutput) {
        throw Corrupt("LZW block beyond the format limits");
    }
    // Every learnt string is a run of bytes that this block has already produced: the previous
    // code's string followed by the first byte of the next one. So the dictionary keeps, per
    // code, where that run starts in the output (low 16 bits) and its length (high 16 bits), and
    // decoding a code is a copy from earlier output. Only entries below `next` are read, and they
    // are all written since the last clear, so the table needs no reset.
    std::uint32_t strings[LastCode + 1];

    const std::uint32_t room = outputLength + slack;
    std::uint32_t pos = 0;
    std::uint32_t in = 0;
    std::uint64_t bits = 0;
    unsigned bitCount = 0;
    unsigned width = MinCodeWidth;
    std::uint32_t limit = 1u << MinCodeWidth;
    std::uint32_t counter = FirstLearntCode;
    bool hasPrevious = false;
    std::uint32_t previousPos = 0;
    std::uint32_t previousLength = 0;

    while (pos < outputLength) {
        if (bitCount < width) {
            if (codeLength - in >= 8) {
                // Refill to 56..63 bits at once; bits above the count repeat the bytes that the
                // next refill ORs in again at the same places.
                bits |= Load64LE(codes + in) << bitCount;
                in += (63 - bitCount) >> 3;
                bitCount |= 56;
            } else {
                while (bitCount < width) {
                    if (in >= codeLength) {
                        throw Corrupt("LZW codes end before the declared output");
                    }
                    bits |= static_cast<std::uint64_t>(codes[in++]) << bitCount;
                    bitCount += 8;
                }
            }
        }
        const std::uint32_t code = static_cast<std::uint32_t>(bits) & ((1u << width) - 1);
        bits >>= width;
        bitCount -= width;
        ++counter;
        if (counter > limit && width < MaxCodeWidth) {
            limit <<= 1;
            ++width;
        }

        std::uint32_t length;
        if (code < ClearCode) {
            output[pos] = static_cast<std::uint8_t>(code);
            length = 1;
        } else if (code == ClearCode) {
            counter = FirstLearntCode;
            width = MinCodeWidth;
            limit = 1u << MinCodeWidth;
            hasPrevious = false;
            continue;
        } else {
            // The entry that this code learns; once the dictionary is full it lies beyond every
            // code and nothing more is learnt.
            const std::uint32_t next = counter - 2;
            if (code >= FirstLearntCode && code < next) {
                const std::uint32_t entry = strings[code];
                const std::uint32_t from = entry & 0xFFFF;
                length = entry >> 16;
                if (room - pos > length + 15) {
                    CopyChunks(output + pos, output + from, length);
                } else {
                    const std::uint32_t n =
                        length < outputLength - pos ? length : outputLength - pos;
                    std::memcpy(output + pos, output + from, n);
                }
            } else if (code == next && hasPrevious) {
                // The entry being learnt right now: the previous string plus its own first byte.
                length = previousLength + 1;
                if (room - pos > length + 15) {
                    CopyChunks(output + pos, output + previousPos, previousLength);
                    output[pos + previousLength] = output[previousPos];
                } else {
                    const std::uint32_t left = outputLength - pos;
                    std::memcpy(output + pos, output + previousPos,
                                previousLength < left ? previousLength : left);
                    if (previousLength < left) {
                        output[pos + previousLength] = output[previousPos];
                    }
                }
            } else {
                // The reserved end code, or a code that no encoder could have sent yet.
                throw Corrupt("LZW code not in the dictionary");
            }
        }

        if (hasPrevious && counter - 2 <= LastCode) {
            strings[counter - 2] = previousPos | ((previousLength + 1) << 16);
        }
        hasPrevious = true;
        previousPos = pos;
        previousLength = length;
        pos += length;
    }
    return outputLength;
}

std::uint32_t Lzw32::Decompress(const std::uint8_t* source, std::uint32_t sourceLength,
                                std::uint8_t* target, std::uint32_t targetLength) {
    std::uint32_t p = 0;
    std::uint32_t total = 0;
    for (;;) {
        if (p >= sourceLength) {
            throw Corrupt("compressed data without its end mark");
        }
        const std::uint8_t type = source[p];
        if (type == EndBlock) {
            return total;
        }
        const std::uint32_t left = sourceLength - p;
        if (type == StoredBlock) {
            if (left < 3) {
                throw Corrupt("stored block header cut short");
            }
            const std::uint32_t length = U16At(source + p + 1);
            if (left - 3 < length) {
                throw Corrupt("stored block cut short");
            }
            if (targetLength - total < length) {
                throw Corrupt("more output than expected");
            }
            if (length > 0) {
                std::memcpy(target + total, source + p + 3, length);
            }
            total += length;
            p += 3 + length;
        } else {
            if (left < 5) {
                throw Corrupt("LZW block header cut short");
            }
            const std::uint32_t codeLength = U16At(source + p + 1);
            const std::uint32_t outputLength = U16At(source + p + 3);
            if (left - 5 < codeLength) {
                throw Corrupt("LZW block cut short");
            }
            if (targetLength - total < outputLength) {
                throw Corrupt("more output than expected");
            }
            DecodeBlock(source + p + 5, codeLength, target + total, outputLength,
                        targetLength - total - outputLength);
            total += outputLength;
            p += 5 + codeLength;
        }
    }
}

std::uint64_t Lzw32::DeclaredLength(const std::uint8_t* source, std::uint32_t sourceLength) {
    std::uint32_t p = 0;
    std::uint64_t total = 0;
    for (;;) {
        if (p >= sourceLength) {
            throw Corrupt("compressed data without its end mark");
        }
        const std::uint8_t type = source[p];
        if (type == EndBlock) {
            return total;
        }
        const std::uint32_t left = sourceLength - p;
        if (type == StoredBlock) {
            if (left < 3 || left - 3 < U16At(source + p + 1)) {
                throw Corrupt("stored block cut short");
            }
            const std::uint32_t length = U16At(source + p + 1);
            total += length;
            p += 3 + length;
        } else {
            if (left < 5) {
                throw Corrupt("LZW block header cut short");
            }
            const std::uint32_t codeLength = U16At(source + p + 1);
            const std::uint32_t outputLength = U16At(source + p + 3);
            if (left - 5 < codeLength) {
                throw Corrupt("LZW block cut short");
            }
            if (codeLength > MaxCodeBytes || outputLength > MaxBlockOutput ||
                outputLength > MaxOutputOfCodes(codeLength)) {
                throw Corrupt("LZW block beyond the format limits");
            }
            total += outputLength;
            p += 5 + codeLength;
        }
    }
}

namespace {

// Room after a block's output lets the decoder copy whole 16-byte chunks near its end.
constexpr std::uint32_t OutputSlack = 32;

} // namespace

LzwBlockReader::LzwBlockReader(DataInputStream& source, std::uint32_t compressedLength,
                               std::uint32_t expectedSize)
    : source_(source), left_(compressedLength), outputLeft_(expectedSize) {}

void LzwBlockReader::Take(std::uint8_t* to, std::uint32_t n) {
    if (left_ < n) {
        throw Corrupt("block sequence longer than its compressed size");
    }
    if (n > 0 && source_.Read(to, n) != n) {
        throw EOFException();
    }
    left_ -= n;
    consumed_ += n;
}

bool LzwBlockReader::Next() {
    if (ended_) {
        return false;
    }
    std::uint8_t header[5];
    Take(header, 1);
    if (header[0] == Lzw32::EndBlock) {
        ended_ = true;
        length_ = 0;
        if (outputLeft_ != 0) {
            throw Corrupt("less output than expected");
        }
        return false;
    }
    if (header[0] == Lzw32::StoredBlock) {
        Take(header + 1, 2);
        const std::uint32_t length = U16At(header + 1);
        if (outputLeft_ < length) {
            throw Corrupt("more output than expected");
        }
        if (output_.size() < length) {
            output_.resize(Lzw32::MaxBlockOutput + OutputSlack);
        }
        Take(output_.data(), length);
        length_ = length;
    } else {
        Take(header + 1, 4);
        const std::uint32_t codeLength = U16At(header + 1);
        const std::uint32_t outputLength = U16At(header + 3);
        if (codeLength > Lzw32::MaxCodeBytes || outputLength > Lzw32::MaxBlockOutput ||
            outputLength > MaxOutputOfCodes(codeLength)) {
            throw Corrupt("LZW block beyond the format limits");
        }
        if (outputLeft_ < outputLength) {
            throw Corrupt("more output than expected");
        }
        if (codes_.size() < codeLength) {
            codes_.resize(Lzw32::MaxCodeBytes);
        }
        if (output_.size() < outputLength + OutputSlack) {
            output_.resize(Lzw32::MaxBlockOutput + OutputSlack);
        }
        Take(codes_.data(), codeLength);
        Lzw32::DecodeBlock(codes_.data(), codeLength, output_.data(), outputLength, OutputSlack);
        length_ = outputLength;
    }
    outputLeft_ -= length_;
    return true;
}

} // namespace nebcm
