// LZW decoder: hand-made code sequences, round trips through nebpack's compressor, and damaged
// streams that must be refused without reaching outside the buffers.
#include <gtest/gtest.h>

#include "../../tools/nebpack/lzw_encoder.h"
#include "io/lzw32.h"
#include "lzw_test_support.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;

// Decodes into a buffer of exactly targetLength bytes (so that AddressSanitizer sees any
// overrun) and returns the decoded bytes up to the total the blocks declared.
std::string Decode(const Bytes& stream, std::uint32_t targetLength,
                   std::uint32_t* total = nullptr) {
    Bytes target(targetLength);
    std::uint32_t t = Lzw32::Decompress(stream.data(), static_cast<std::uint32_t>(stream.size()),
                                        target.data(), targetLength);
    if (total) {
        *total = t;
    }
    return std::string(target.begin(), target.begin() + t);
}

TEST(Lzw32Decode, SmallestStreams) {
    std::uint32_t total = 99;
    EXPECT_EQ(Decode({0}, 0, &total), "");
    EXPECT_EQ(total, 0u);
    // An empty stored block takes three bytes and adds nothing; what follows still counts.
    EXPECT_EQ(Decode(Concat({StoredBlock(""), StoredBlock("xy"), {0}}), 2, &total), "xy");
    EXPECT_EQ(total, 2u);
    // An LZW block that declares nothing reads no codes at all.
    EXPECT_EQ(Decode(Concat({LzwBlock({}, 0), {0}}), 0, &total), "");
    // Bytes after the end mark are not part of the stream.
    EXPECT_EQ(Decode(Concat({StoredBlock("a"), {0, 2, 9, 9}}), 1), "a");
}

TEST(Lzw32Decode, CodeNotYetLearntRepeatsThePreviousString) {
    // 258 = AB is learnt by the third code; 260 is the entry that code itself defines:
    // the previous string AB followed by its own first byte.
    Bytes codes = PackCodes({256, 65, 66, 258, 260});
    EXPECT_EQ(Decode(Concat({LzwBlock(codes, 7), {0}}), 7), "ABABABA");
    // A leading clear changes nothing.
    EXPECT_EQ(Decode(Concat({LzwBlock(PackCodes({65, 66, 258, 260}), 7), {0}}), 7), "ABABABA");
    // Run of one byte: every code is the one being learnt.
    EXPECT_EQ(Decode(Concat({LzwBlock(PackCodes({97, 258, 259, 260}), 10), {0}}), 10),
              "aaaaaaaaaa");
}

TEST(Lzw32Decode, TotalCountsDeclaredLengthsOfEveryBlock) {
    Bytes stream = Concat({StoredBlock("hello "),
                           LzwBlock(PackCodes({256, 65, 66, 258, 260}), 7),
                           StoredBlock("!"),
                           {0}});
    std::uint32_t total = 0;
    EXPECT_EQ(Decode(stream, 14, &total), "hello ABABABA!");
    EXPECT_EQ(total, 14u);
    // A larger buffer than needed: the total tells the caller that the sizes disagree.
    EXPECT_EQ(Decode(stream, 20, &total), "hello ABABABA!");
    EXPECT_EQ(total, 14u);
}

TEST(Lzw32Decode, DeclaredOutputCutsTheLastStringShort) {
    // "ABABABA" declared as 5 bytes: the rest of the last string is dropped, later codes unread.
    Bytes codes = PackCodes({256, 65, 66, 258, 260, 300, 301});
    EXPECT_EQ(Decode(Concat({LzwBlock(codes, 5), {0}}), 5), "ABABA");
}

// Literal codes only, each at the width its position calls for: any disagreement on when the
// width grows shifts every later code and garbles the output.
TEST(Lzw32Decode, WidthGrowsAfterCodes255_767_1791AndStopsAt12Bits) {
    for (unsigned n : {254u, 255u, 256u, 767u, 768u, 1791u, 1792u, 3839u, 5000u}) {
        std::vector<unsigned> codes{256};
        Bytes expected;
        for (unsigned k = 0; k < n; ++k) {
            unsigned byte = (k * 7 + n) & 0xFF;
            codes.push_back(byte);
            expected.push_back(static_cast<std::uint8_t>(byte));
        }
        Bytes packed = PackCodes(codes);
        ASSERT_LE(packed.size(), Lzw32::MaxCodeBytes);
        EXPECT_EQ(Decode(Concat({LzwBlock(packed, n), {0}}), n), Text(expected)) << n;
    }
}

TEST(Lzw32Decode, ClearInsideABlockRestartsAt9BitsWithAnEmptyDictionary) {
    // 300 literals bring the width to 10 bits; the clear is sent at 10 bits, the codes after it
    // at 9 again, and 258 means the first pair after the clear, not the one before it.
    std::vector<unsigned> codes{256};
    std::string expected;
    for (unsigned k = 0; k < 300; ++k) {
        codes.push_back('a' + k % 20);
        expected += static_cast<char>('a' + k % 20);
    }
    codes.insert(codes.end(), {256, 'X', 'Y', 258, 256, 256, 'Z'});
    expected += "XYXYZ";
    Bytes packed = PackCodes(codes);
    EXPECT_EQ(Decode(Concat({LzwBlock(packed, 305), {0}}), 305), expected);
}

TEST(Lzw32Decode, FullDictionaryKeepsItsEntries) {
    // 3839 codes after a clear fill entries 258..4095; later codes still use them and learn
    // nothing more.
    std::vector<unsigned> codes{256};
    std::string expected;
    for (unsigned k = 0; k < 3839; ++k) {
        codes.push_back(k & 0xFF);
        expected += static_cast<char>(k & 0xFF);
    }
    // Entry 4095 was learnt by the 3839th code: the 3838th byte followed by the 3839th.
    codes.push_back(4095);
    expected += expected.substr(3837, 2);
    codes.push_back(258);
    expected += expected.substr(0, 2);
    Bytes packed = PackCodes(codes);
    EXPECT_EQ(Decode(Concat({LzwBlock(packed, expected.size()), {0}}), expected.size()), expected);
}

// The same block decoded with and without spare room behind it: the copies that may write past
// the string and the exact ones must agree.
TEST(Lzw32Decode, SpareRoomBehindTheBlockDoesNotChangeTheResult) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Bytes data = RandomBytes(4096, seed, seed % 2 ? 3 : 40);
        Bytes stream;
        nebpack::CompressLzw(data.data(), data.size(), stream);
        const std::uint8_t* block = stream.data() + 5;
        std::uint32_t codeLength = stream[1] | stream[2] << 8;
        Bytes exact(4096);
        Bytes roomy(4096 + 64, 0xEE);
        Lzw32::DecodeBlock(block, codeLength, exact.data(), 4096, 0);
        Lzw32::DecodeBlock(block, codeLength, roomy.data(), 4096, 64);
        EXPECT_EQ(exact, data);
        EXPECT_TRUE(std::equal(exact.begin(), exact.end(), roomy.begin()));
    }
}

struct RoundTrip {
    const char* what;
    Bytes data;
    nebpack::LzwOptions options;
};

TEST(Lzw32RoundTrip, CompressorOutputDecodesToTheOriginal) {
    std::vector<RoundTrip> cases;
    for (std::size_t n : {0u, 1u, 2u, 4095u, 4096u, 4097u, 3u * 4096u, 50000u}) {
        cases.push_back({"random", RandomBytes(n, static_cast<std::uint32_t>(n) + 7), {}});
        cases.push_back({"4 symbols", RandomBytes(n, static_cast<std::uint32_t>(n) + 8, 4), {}});
    }
    cases.push_back({"zeros", Bytes(100000, 0), {}});
    nebpack::LzwOptions big;
    big.blockSize = 32767;
    cases.push_back({"zeros in big blocks", Bytes(100000, 0), big});
    cases.push_back({"random in big blocks", RandomBytes(100000, 3), big});
    cases.push_back({"text in big blocks", RandomBytes(100000, 4, 12), big});
    for (std::uint32_t interval : {1u, 2u, 255u, 256u, 300u, 767u, 768u, 1000u, 1791u, 2000u}) {
        nebpack::LzwOptions o;
        o.clearInterval = interval;
        o.blockSize = 32767;
        cases.push_back({"clears", RandomBytes(40000, interval, 30), o});
    }
    nebpack::LzwOptions one;
    one.blockSize = 1;
    cases.push_back({"one byte per block", RandomBytes(300, 5), one});
    nebpack::LzwOptions stored;
    stored.storeIncompressible = true;
    Bytes mixed = RandomBytes(20000, 6);
    Bytes text = RandomBytes(20000, 7, 5);
    mixed.insert(mixed.end(), text.begin(), text.end());
    cases.push_back({"stored and LZW blocks", mixed, stored});

    for (const RoundTrip& c : cases) {
        Bytes stream;
        nebpack::CompressLzw(c.data.data(), c.data.size(), stream, c.options);
        std::uint32_t n = static_cast<std::uint32_t>(c.data.size());
        std::uint32_t total = 0;
        EXPECT_EQ(Decode(stream, n, &total), Text(c.data)) << c.what << " " << n;
        EXPECT_EQ(total, n) << c.what;
        EXPECT_EQ(Lzw32::DeclaredLength(stream.data(), static_cast<std::uint32_t>(stream.size())),
                  n)
            << c.what;
    }
}

TEST(Lzw32RoundTrip, BlocksFollowTheArchiveLayout) {
    // Each block of 4096 output bytes (the last shorter) and each begins with a clear code.
    Bytes data = RandomBytes(3 * 4096 + 100, 11, 7);
    Bytes stream;
    nebpack::CompressLzw(data.data(), data.size(), stream);
    std::size_t p = 0;
    std::vector<unsigned> outputs;
    while (stream[p] != 0) {
        EXPECT_EQ(stream[p], 1);
        unsigned c = stream[p + 1] | stream[p + 2] << 8;
        outputs.push_back(stream[p + 3] | stream[p + 4] << 8);
        EXPECT_EQ((stream[p + 5] | stream[p + 6] << 8) & 0x1FF, 256u);
        p += 5 + c;
    }
    EXPECT_EQ(p + 1, stream.size());
    EXPECT_EQ(outputs, (std::vector<unsigned>{4096, 4096, 4096, 100}));
}

TEST(Lzw32RoundTrip, IncompressibleBlocksNeedClearsInsideTheBlock) {
    // 4096 random bytes take more codes than one dictionary can follow, so the compressor has
    // to clear inside the block; the decoder must keep its width and counting straight.
    Bytes data = RandomBytes(4096, 12);
    Bytes stream;
    nebpack::CompressLzw(data.data(), data.size(), stream);
    EXPECT_EQ(Decode(stream, 4096), Text(data));
    EXPECT_GT(stream.size(), 4096u); // random data grows
}

// ---- damaged streams ----

struct Damaged {
    const char* what;
    Bytes stream;
    std::uint32_t target;
};

TEST(Lzw32Damage, RefusedWithDataCorrupt) {
    const Bytes good = PackCodes({256, 65, 66, 258, 260});
    Bytes overLong = LzwBlock(Bytes(Lzw32::MaxCodeBytes + 1, 0), 1);
    std::vector<Damaged> cases = {
        {"no end mark", StoredBlock("ab"), 2},
        {"empty input", {}, 0},
        {"stored header cut", {2, 5}, 5},
        {"stored data cut", {2, 5, 0, 'a', 'b'}, 5},
        {"LZW header cut", {1, 3, 0, 7}, 7},
        {"LZW codes cut", {1, 5, 0, 7, 0, 0x00}, 7},
        {"codes end before the output", Concat({LzwBlock(good, 8), {0}}), 8},
        {"reserved end code", Concat({LzwBlock(PackCodes({256, 65, 257}), 2), {0}}), 2},
        {"end code after learning", Concat({LzwBlock(PackCodes({65, 66, 67, 257}), 4), {0}}), 4},
        {"learnt code first", Concat({LzwBlock(PackCodes({256, 258}), 2), {0}}), 2},
        {"code two steps ahead", Concat({LzwBlock(PackCodes({65, 66, 259}), 5), {0}}), 5},
        {"code far ahead", Concat({LzwBlock(PackCodes({65, 66, 511}), 5), {0}}), 5},
        {"not learnt after a clear",
         Concat({LzwBlock(PackCodes({65, 66, 67, 256, 65, 259}), 6), {0}}), 6},
        {"more output than the buffer", Concat({LzwBlock(good, 7), {0}}), 6},
        {"stored beyond the buffer", Concat({StoredBlock("abc"), {0}}), 2},
        {"too many code bytes", Concat({overLong, {0}}), 1},
        {"output over the limit", Concat({LzwBlock(good, 32768), {0}}), 40000},
    };
    for (const Damaged& d : cases) {
        Bytes target(d.target);
        EXPECT_THROW(Lzw32::Decompress(d.stream.data(), static_cast<std::uint32_t>(d.stream.size()),
                                       target.data(), d.target),
                     Lzw32::DataCorruptException)
            << d.what;
    }
}

TEST(Lzw32Damage, DeclaredLengthChecksTheBlockStructure) {
    const std::uint32_t none = 0;
    auto declared = [](const Bytes& s) {
        return Lzw32::DeclaredLength(s.data(), static_cast<std::uint32_t>(s.size()));
    };
    EXPECT_EQ(declared(Concat({StoredBlock("abc"), LzwBlock(PackCodes({65}), 1), {0}})), 4u);
    // 2 code bytes hold one 9-bit code: one byte of output at most.
    EXPECT_THROW(declared(Concat({LzwBlock({65, 0}, 2), {0}})), Lzw32::DataCorruptException);
    // 288 code bytes hold 256 codes: up to 256 * 257 / 2 bytes.
    EXPECT_EQ(declared(Concat({LzwBlock(Bytes(288, 0), 32767), {0}})), 32767u);
    EXPECT_THROW(declared(Concat({LzwBlock(Bytes(200, 0), 32767), {0}})),
                 Lzw32::DataCorruptException);
    for (const Bytes& bad : {Bytes{}, Bytes{1, 0, 0, 0}, Bytes{2, 3, 0, 'a'}, StoredBlock("x")}) {
        EXPECT_THROW(declared(bad), Lzw32::DataCorruptException) << bad.size() << none;
    }
}

// Truncations and bit flips of real streams: every outcome is either a clean decode into the
// buffer or DataCorruptException; AddressSanitizer watches the buffers.
TEST(Lzw32Damage, MutatedStreamsNeverReachOutsideTheBuffers) {
    Bytes data = RandomBytes(9000, 21, 9);
    Bytes stream;
    nebpack::CompressLzw(data.data(), data.size(), stream);
    std::uint32_t x = 12345;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes m = stream;
        switch (round % 3) {
        case 0:
            m.resize(next() % m.size());
            break;
        case 1:
            for (int f = 0; f < 1 + round % 4; ++f) {
                m[next() % m.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
            }
            break;
        default:
            m[next() % m.size()] = static_cast<std::uint8_t>(next());
            break;
        }
        std::uint32_t target = round % 5 == 0 ? next() % 20000 : 9000;
        auto buffer = std::make_unique<std::uint8_t[]>(target + 1);
        try {
            std::uint32_t total = Lzw32::Decompress(m.data(), static_cast<std::uint32_t>(m.size()),
                                                    buffer.get(), target);
            EXPECT_LE(total, target);
        } catch (const Lzw32::DataCorruptException&) {
            ++refused;
        }
        try {
            Lzw32::DeclaredLength(m.data(), static_cast<std::uint32_t>(m.size()));
        } catch (const Lzw32::DataCorruptException&) {
        }
    }
    EXPECT_GT(refused, 1000);
}

} // namespace
} // namespace nebcm
