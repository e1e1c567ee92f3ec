// Encoding and decoding of the undo journal's header and entries (all numbers little-endian).
#include "common/journal_format.h"

#include <algorithm>

namespace nebcm {

namespace {

const std::uint8_t Magic[4] = {'N', 'E', 'B', 'J'};
const std::size_t HeaderSize = 4 + 2 + 4 + 4 + 4; // magic, format, program, stamp, CRC
const std::size_t FrameSize = 8;                  // length, CRC

enum EntryType : std::uint8_t {
    RecordEntry = 1,
    TruncationEntry = 2,
    CommitEntry = 3,
};

class Writer {
public:
    void U8(std::uint8_t v) { bytes.push_back(v); }
    void U16(std::uint16_t v) {
        for (int i = 0; i < 2; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void U64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void Bytes(const void* data, std::size_t size) {
        const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    }
    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool U8(std::uint8_t& v) {
        std::uint64_t w;
        return Number(1, w) && (v = static_cast<std::uint8_t>(w), true);
    }
    bool U16(std::uint16_t& v) {
        std::uint64_t w;
        return Number(2, w) && (v = static_cast<std::uint16_t>(w), true);
    }
    bool U32(std::uint32_t& v) {
        std::uint64_t w;
        return Number(4, w) && (v = static_cast<std::uint32_t>(w), true);
    }
    bool U64(std::uint64_t& v) { return Number(8, v); }
    bool Take(std::size_t count, const std::uint8_t*& start) {
        if (size_ - at_ < count) {
            return false;
        }
        start = data_ + at_;
        at_ += count;
        return true;
    }
    std::size_t Left() const { return size_ - at_; }

private:
    bool Number(int width, std::uint64_t& v) {
        const std::uint8_t* p;
        if (!Take(static_cast<std::size_t>(width), p)) {
            return false;
        }
        v = 0;
        for (int i = width - 1; i >= 0; --i) {
            v = (v << 8) | p[i];
        }
        return true;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<std::uint8_t> Framed(const std::vector<std::uint8_t>& payload) {
    Writer frame;
    frame.U32(static_cast<std::uint32_t>(payload.size()));
    frame.U32(Crc32(payload.data(), payload.size()));
    frame.Bytes(payload.data(), payload.size());
    return frame.bytes;
}

// A record's payload after its type byte; false when the fields do not fill it exactly.
bool ReadRecord(Reader& in, JournalRecord& record) {
    std::uint16_t texts = 0;
    if (!in.U8(record.kind) || !in.U16(texts)) {
        return false;
    }
    for (std::uint16_t i = 0; i < texts; ++i) {
        std::uint32_t length = 0;
        const std::uint8_t* start = nullptr;
        if (!in.U32(length) || !in.Take(length, start)) {
            return false;
        }
        record.texts.emplace_back(reinterpret_cast<const char*>(start), length);
    }
    std::uint16_t numbers = 0;
    if (!in.U16(numbers)) {
        return false;
    }
    for (std::uint16_t i = 0; i < numbers; ++i) {
        std::uint64_t number = 0;
        if (!in.U64(number)) {
            return false;
        }
        record.numbers.push_back(number);
    }
    std::uint32_t length = 0;
    const std::uint8_t* start = nullptr;
    if (!in.U32(length) || !in.Take(length, start)) {
        return false;
    }
    record.bytes.assign(start, start + length);
    return in.Left() == 0;
}

} // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    static std::uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[i] = c;
        }
        made = true;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> EncodeJournalHeader(std::uint32_t stamp) {
    Writer out;
    out.Bytes(Magic, sizeof Magic);
    out.U16(JournalFormatVersion);
    out.U32(JournalProgramVersion);
    out.U32(stamp);
    out.U32(Crc32(out.bytes.data(), out.bytes.size()));
    return out.bytes;
}

std::vector<std::uint8_t> EncodeJournalRecord(const JournalRecord& record) {
    Writer out;
    out.U8(RecordEntry);
    out.U8(record.kind);
    out.U16(static_cast<std::uint16_t>(record.texts.size()));
    for (const std::string& text : record.texts) {
        out.U32(static_cast<std::uint32_t>(text.size()));
        out.Bytes(text.data(), text.size());
    }
    out.U16(static_cast<std::uint16_t>(record.numbers.size()));
    for (std::uint64_t number : record.numbers) {
        out.U64(number);
    }
    out.U32(static_cast<std::uint32_t>(record.bytes.size()));
    out.Bytes(record.bytes.data(), record.bytes.size());
    return Framed(out.bytes);
}

std::vector<std::uint8_t> EncodeJournalTruncation(std::uint32_t count) {
    Writer out;
    out.U8(TruncationEntry);
    out.U32(count);
    return Framed(out.bytes);
}

std::vector<std::uint8_t> EncodeJournalCommit() {
    Writer out;
    out.U8(CommitEntry);
    return Framed(out.bytes);
}

JournalReadStatus DecodeJournal(const std::uint8_t* data, std::size_t size,
                                JournalContents& contents) {
    contents = JournalContents();
    Reader in(data, size);
    const std::uint8_t* magic = nullptr;
    std::uint16_t format = 0;
    if (size < HeaderSize || !in.Take(4, magic) ||
        !std::equal(Magic, Magic + sizeof Magic, magic) || !in.U16(format)) {
        return JournalReadStatus::Unreadable;
    }
    std::uint32_t headerCrc = 0;
    if (!in.U32(contents.programVersion) || !in.U32(contents.stamp) || !in.U32(headerCrc) ||
        headerCrc != Crc32(data, HeaderSize - 4)) {
        return JournalReadStatus::Unreadable;
    }
    contents.formatVersion = format;
    if (format > JournalFormatVersion) {
        return JournalReadStatus::Newer;
    }
    if (format == 0) {
        return JournalReadStatus::Unreadable;
    }
    contents.length = HeaderSize;
    while (in.Left() > 0 && !contents.committed) {
        std::uint32_t length = 0;
        std::uint32_t crc = 0;
        const std::uint8_t* payload = nullptr;
        // An entry whose frame or bytes are incomplete, or do not match their checksum, is the
        // one whose write was cut off: everything before it stands.
        if (in.Left() < FrameSize || !in.U32(length) || !in.U32(crc) ||
            length > MaxJournalEntrySize || !in.Take(length, payload) ||
            Crc32(payload, length) != crc) {
            contents.torn = true;
            break;
        }
        contents.length += FrameSize + length;
        Reader entry(payload, length);
        std::uint8_t type = 0;
        if (!entry.U8(type)) {
            return JournalReadStatus::Unreadable;
        }
        switch (type) {
        case RecordEntry: {
            JournalRecord record;
            if (!ReadRecord(entry, record)) {
                return JournalReadStatus::Unreadable;
            }
            contents.records.push_back(std::move(record));
            break;
        }
        case TruncationEntry: {
            std::uint32_t count = 0;
            if (!entry.U32(count) || entry.Left() != 0 || count > contents.records.size()) {
                return JournalReadStatus::Unreadable;
            }
            contents.records.resize(count);
            break;
        }
        case CommitEntry:
            if (entry.Left() != 0) {
                return JournalReadStatus::Unreadable;
            }
            contents.committed = true;
            break;
        default:
            return JournalReadStatus::Unreadable;
        }
    }
    return JournalReadStatus::Read;
}

} // namespace nebcm
