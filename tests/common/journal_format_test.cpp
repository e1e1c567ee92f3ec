// The journal's bytes: what is written reads back the same, a cut-off or damaged last entry is
// dropped without losing the entries before it, and a foreign or newer file is recognised.
#include <gtest/gtest.h>

#include <cstring>

#include "common/journal_format.h"

namespace nebcm {
namespace {

JournalRecord MakeRecord(std::uint8_t kind, std::vector<std::string> texts,
                         std::vector<std::uint64_t> numbers = {},
                         std::vector<std::uint8_t> bytes = {}) {
    JournalRecord record;
    record.kind = kind;
    record.texts = std::move(texts);
    record.numbers = std::move(numbers);
    record.bytes = std::move(bytes);
    return record;
}

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// A header followed by three records; the entry boundaries are collected on the way.
std::vector<std::uint8_t> ThreeRecords(std::vector<std::size_t>& boundaries) {
    std::vector<std::uint8_t> bytes = EncodeJournalHeader(0x1234ABCDu);
    boundaries = {bytes.size()};
    Append(bytes, EncodeJournalRecord(MakeRecord(3, {"C:\\NEB\\a.txt"})));
    boundaries.push_back(bytes.size());
    Append(bytes, EncodeJournalRecord(MakeRecord(4, {"C:\\NEB\\b.txt", "C:\\R\\1.bak"},
                                                 {1, 2, 0xFFFFFFFFFFFFFFFFull, 0x21})));
    boundaries.push_back(bytes.size());
    Append(bytes, EncodeJournalRecord(MakeRecord(10, {"HKEY_LOCAL_MACHINE\\Software", "Path"}, {2},
                                                 {'a', 0, 'b', 0})));
    boundaries.push_back(bytes.size());
    return bytes;
}

TEST(JournalFormat, Crc32IsTheStandardOne) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const std::uint8_t*>(text), 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
}

TEST(JournalFormat, RecordsTruncationsAndCommitReadBack) {
    std::vector<std::size_t> boundaries;
    std::vector<std::uint8_t> bytes = ThreeRecords(boundaries);
    JournalContents contents;
    ASSERT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Read);
    EXPECT_EQ(contents.stamp, 0x1234ABCDu);
    EXPECT_EQ(contents.formatVersion, JournalFormatVersion);
    EXPECT_EQ(contents.programVersion, JournalProgramVersion);
    ASSERT_EQ(contents.records.size(), 3u);
    EXPECT_EQ(contents.records[1], MakeRecord(4, {"C:\\NEB\\b.txt", "C:\\R\\1.bak"},
                                              {1, 2, 0xFFFFFFFFFFFFFFFFull, 0x21}));
    EXPECT_EQ(contents.records[2].bytes, (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
    EXPECT_FALSE(contents.committed);
    EXPECT_FALSE(contents.torn);
    EXPECT_EQ(contents.length, bytes.size());

    // A truncation drops the later records; records after it count again; the commit ends it.
    Append(bytes, EncodeJournalTruncation(1));
    Append(bytes, EncodeJournalRecord(MakeRecord(1, {"C:\\NEB\\made"})));
    ASSERT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Read);
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[0].kind, 3);
    EXPECT_EQ(contents.records[1].kind, 1);
    Append(bytes, EncodeJournalCommit());
    ASSERT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Read);
    EXPECT_TRUE(contents.committed);
    EXPECT_EQ(contents.records.size(), 2u);
}

TEST(JournalFormat, ACutAnywhereKeepsEveryWholeEntryBeforeIt) {
    std::vector<std::size_t> boundaries;
    std::vector<std::uint8_t> bytes = ThreeRecords(boundaries);
    for (std::size_t cut = boundaries[0]; cut <= bytes.size(); ++cut) {
        std::size_t whole = 0;
        while (whole + 1 < boundaries.size() && boundaries[whole + 1] <= cut) {
            ++whole;
        }
        JournalContents contents;
        ASSERT_EQ(DecodeJournal(bytes.data(), cut, contents), JournalReadStatus::Read) << cut;
        EXPECT_EQ(contents.records.size(), whole) << cut;
        EXPECT_EQ(contents.torn, cut != boundaries[whole]) << cut;
        EXPECT_EQ(contents.length, boundaries[whole]) << cut;
    }
    // A header cut short is no journal at all.
    JournalContents contents;
    EXPECT_EQ(DecodeJournal(bytes.data(), boundaries[0] - 1, contents),
              JournalReadStatus::Unreadable);
}

TEST(JournalFormat, ADamagedLastEntryIsDroppedLikeATornOne) {
    std::vector<std::size_t> boundaries;
    std::vector<std::uint8_t> bytes = ThreeRecords(boundaries);
    for (std::size_t at = boundaries[2]; at < bytes.size(); ++at) {
        std::vector<std::uint8_t> damaged = bytes;
        damaged[at] ^= 0x40;
        JournalContents contents;
        ASSERT_EQ(DecodeJournal(damaged.data(), damaged.size(), contents), JournalReadStatus::Read)
            << at;
        EXPECT_EQ(contents.records.size(), 2u) << at;
        EXPECT_TRUE(contents.torn) << at;
    }
}

// Re-signs a header whose fields a test changed.
void Resign(std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = Crc32(bytes.data(), 14);
    for (int i = 0; i < 4; ++i) {
        bytes[14 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
}

TEST(JournalFormat, ForeignDamagedAndNewerFilesAreTold) {
    std::vector<std::size_t> boundaries;
    const std::vector<std::uint8_t> good = ThreeRecords(boundaries);
    JournalContents contents;

    std::vector<std::uint8_t> bytes = good;
    bytes[0] = 'X';
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Unreadable);

    bytes = good;
    bytes[10] ^= 1; // the stamp, no longer matching the header's checksum
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Unreadable);

    bytes = good;
    bytes[4] = JournalFormatVersion + 1;
    Resign(bytes);
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Newer);
    EXPECT_EQ(contents.formatVersion, JournalFormatVersion + 1u);

    bytes = good;
    bytes[4] = 0;
    Resign(bytes);
    EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents), JournalReadStatus::Unreadable);
}

// Frames an arbitrary payload as the writer would, so that only its meaning is wrong.
std::vector<std::uint8_t> Framed(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> frame(8);
    std::uint32_t length = static_cast<std::uint32_t>(payload.size());
    std::uint32_t crc = Crc32(payload.data(), payload.size());
    for (int i = 0; i < 4; ++i) {
        frame[i] = static_cast<std::uint8_t>(length >> (8 * i));
        frame[4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    Append(frame, payload);
    return frame;
}

TEST(JournalFormat, AWholeEntryThatMakesNoSenseMakesTheJournalUnreadable) {
    std::vector<std::size_t> boundaries;
    const std::vector<std::uint8_t> good = ThreeRecords(boundaries);
    const std::vector<std::vector<std::uint8_t>> nonsense = {
        {},                            // no type
        {9},                           // unknown type
        {2, 4, 0, 0, 0},               // truncation beyond the three records
        {2, 1, 0, 0},                  // truncation count cut short
        {3, 0},                        // commit with trailing bytes
        {1, 3, 1, 0, 9, 0, 0, 0, 'a'}, // a text longer than the entry
    };
    for (const auto& payload : nonsense) {
        std::vector<std::uint8_t> bytes = good;
        Append(bytes, Framed(payload));
        JournalContents contents;
        EXPECT_EQ(DecodeJournal(bytes.data(), bytes.size(), contents),
                  JournalReadStatus::Unreadable)
            << payload.size();
    }
}

} // namespace
} // namespace nebcm
