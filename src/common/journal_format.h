// The on-disk form of the undo journal: a header, then entries each framed by its length and a
// CRC-32, so that an entry cut short by a crash is recognised and ignored. Portable: the Windows
// engine writes and reads the file, this code only turns entries into bytes and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nebcm {

// The format this program writes; a journal of a higher format is left to the program that wrote
// it.
inline constexpr std::uint16_t JournalFormatVersion = 1;
// The version of the program that writes the journal (2.00), kept in the header for diagnosis.
inline constexpr std::uint32_t JournalProgramVersion = 200;
// No entry is ever larger; a length beyond it can only be damage.
inline constexpr std::uint32_t MaxJournalEntrySize = 16u << 20;

// One undo record as it is kept on disk: its kind and its fields. What the fields mean is the
// kind's business; the format only keeps them.
struct JournalRecord {
    std::uint8_t kind = 0;
    std::vector<std::string> texts;
    std::vector<std::uint64_t> numbers;
    std::vector<std::uint8_t> bytes;
    bool operator==(const JournalRecord& o) const {
        return kind == o.kind && texts == o.texts && numbers == o.numbers && bytes == o.bytes;
    }
};

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// Magic "NEBJ", format version, program version, the journal's stamp (which names its backups).
std::vector<std::uint8_t> EncodeJournalHeader(std::uint32_t stamp);
// A record: the undo of one change, written before the change is made.
std::vector<std::uint8_t> EncodeJournalRecord(const JournalRecord& record);
// Only the first `count` records still count: the later ones were undone or never made.
std::vector<std::uint8_t> EncodeJournalTruncation(std::uint32_t count);
// The procedure succeeded: its records are to be dropped, never undone.
std::vector<std::uint8_t> EncodeJournalCommit();

enum class JournalReadStatus {
    Read,       // header and every whole entry read
    Unreadable, // not a journal, or a whole entry that makes no sense
    Newer,      // written in a format this program does not know
};

// A journal as read back: the records that still count, in the order they were written.
struct JournalContents {
    std::uint32_t formatVersion = 0;
    std::uint32_t programVersion = 0;
    std::uint32_t stamp = 0;
    std::vector<JournalRecord> records;
    bool committed = false;
    // The bytes ended inside an entry: the write of that entry was cut short.
    bool torn = false;
    // The bytes of the header and of every whole entry: where writing goes on.
    std::size_t length = 0;
};

JournalReadStatus DecodeJournal(const std::uint8_t* data, std::size_t size,
                                JournalContents& contents);

} // namespace nebcm
