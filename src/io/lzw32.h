// Decoder of the LZW block streams that carry the data of archive entries.
#pragma once

#include <cstdint>
#include <vector>

#include "io/streams.h"

namespace nebcm {

// A compressed stream is a sequence of blocks ended by a zero byte:
//   type 2:      u16 L, then L raw bytes (a stored block);
//   other type:  u16 C, u16 U, then C bytes of LZW codes that decode to U bytes.
// Codes are 9 to 12 bits wide, packed least significant bit first; 256 clears the dictionary,
// 257 is reserved, 258 and up are learnt strings. Every block starts with a fresh dictionary.
class Lzw32 {
public:
    // Compressed data that cannot be decoded, or that would reach outside its input or the
    // output buffer. Readers treat it like a failed read.
    class DataCorruptException {
    public:
        explicit DataCorruptException(const char* reason) : reason_(reason) {}
        const char* Reason() const { return reason_; }

    private:
        const char* reason_;
    };

    static constexpr std::uint8_t EndBlock = 0;
    static constexpr std::uint8_t StoredBlock = 2;
    static constexpr unsigned ClearCode = 256;
    static constexpr unsigned EndCode = 257;
    static constexpr unsigned FirstLearntCode = 258;
    static constexpr unsigned LastCode = 4095;
    static constexpr unsigned MinCodeWidth = 9;
    static constexpr unsigned MaxCodeWidth = 12;
    // Format limits: an LZW block holds at most this many code bytes and decodes to at most this
    // many bytes.
    static constexpr std::uint32_t MaxCodeBytes = 8192;
    static constexpr std::uint32_t MaxBlockOutput = 32767;

    // Decodes the block sequence at source into target and returns the sum of the lengths that
    // the blocks declare; the caller compares it with the size it expects. Raises
    // DataCorruptException when the blocks run past sourceLength, the output would run past
    // targetLength, a block breaks the format limits or its codes cannot be decoded. Bytes of
    // target beyond the returned total may have been overwritten.
    static std::uint32_t Decompress(const std::uint8_t* source, std::uint32_t sourceLength,
                                    std::uint8_t* target, std::uint32_t targetLength);

    // The sum of the lengths that the blocks declare, found from the block headers alone, so
    // that a reader can check a size before it allocates the output. Raises DataCorruptException
    // when the block structure is damaged, or when a block claims more output than its code bytes
    // could possibly produce.
    static std::uint64_t DeclaredLength(const std::uint8_t* source, std::uint32_t sourceLength);

    // Decodes one LZW block: `codeLength` code bytes into exactly `outputLength` bytes at
    // `output`, which must have room for `outputLength + slack` bytes, where the bytes after
    // the block may be scribbled on (slack 0 is always correct, larger slack is faster).
    // Returns the count produced, which equals outputLength.
    static std::uint32_t DecodeBlock(const std::uint8_t* codes, std::uint32_t codeLength,
                                     std::uint8_t* output, std::uint32_t outputLength,
                                     std::uint32_t slack = 0);
};

// Decodes one block sequence block by block, pulling its compressed bytes from a stream: never
// more than `compressedLength` of them and never past the end mark, so that memory stays one
// block's worth whatever the sequence decodes to.
class LzwBlockReader {
public:
    LzwBlockReader(DataInputStream& source, std::uint32_t compressedLength,
                   std::uint32_t expectedSize);

    // Decodes the next block into Data()/Length(); false once the end mark is read. Raises
    // Lzw32::DataCorruptException when the blocks break the format, reach past
    // compressedLength, or decode to more or fewer bytes than expectedSize in all; failures of
    // the source reach the caller.
    bool Next();
    const std::uint8_t* Data() const { return output_.data(); }
    std::uint32_t Length() const { return length_; }
    // The compressed bytes read so far, end mark included.
    std::uint32_t Consumed() const { return consumed_; }

private:
    void Take(std::uint8_t* to, std::uint32_t n);
    DataInputStream& source_;
    std::uint32_t left_;
    std::uint32_t consumed_ = 0;
    std::uint64_t outputLeft_;
    std::uint32_t length_ = 0;
    bool ended_ = false;
    std::vector<std::uint8_t> codes_;
    std::vector<std::uint8_t> output_;
};

} // namespace nebcm
