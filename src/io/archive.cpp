// LZW archive reader: the entry table first, then every entry's data in ascending offset order,
// decoded once in one forward pass to check it. Entries keep where their data lies and decode it
// again, block by block, whenever a stream is opened on them.
#include "io/archive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "io/lzw32.h"

namespace nebcm {

namespace {

// Reads the source in pieces of this size at most.
constexpr std::uint32_t SourceChunk = 1u << 16;

class FileSource : public ArchiveSource {
public:
    explicit FileSource(const std::string& name) : name_(name), file_(name) {
        length_ = file_.Length();
        stamp_ = file_.ChangeStamp();
    }

    std::uint32_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::uint32_t n) override {
        if (offset >= length_) {
            return 0;
        }
        // The handle is shared by every stream on the file, so each read says where it starts.
        file_.Seek(static_cast<std::uint32_t>(offset));
        std::uint32_t done = 0;
        while (done < n) {
            const std::uint32_t got = file_.Read(buffer + done, n - done);
            if (got == 0) {
                break;
            }
            done += got;
        }
        return done;
    }
    void CheckUnchanged() override {
        bool same = false;
        try {
            same = file_.Length() == length_ && file_.ChangeStamp() == stamp_;
        } catch (const IOException&) {
            same = false;
        }
        if (!same) {
            throw SourceChangedException(name_);
        }
    }
    const std::string& Name() const override { return name_; }

private:
    std::string name_;
    FileInputStream file_;
    std::uint64_t length_ = 0;
    std::uint64_t stamp_ = 0;
};

// Memory never changes under its reader.
class MemorySource : public ArchiveSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::uint32_t n) override {
        if (offset >= bytes_.size()) {
            return 0;
        }
        const std::uint64_t left = bytes_.size() - offset;
        const std::uint32_t take = left < n ? static_cast<std::uint32_t>(left) : n;
        std::memcpy(buffer, bytes_.data() + offset, take);
        return take;
    }
    void CheckUnchanged() override {}
    const std::string& Name() const override { return name_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::string name_;
};

// A forward stream over source bytes from `start` up to `end`, through a buffer of its own, so
// that several of them can read one source by turns.
class SourceStream : public DataInputStream {
public:
    SourceStream(ArchiveSource& source, std::uint64_t start, std::uint64_t end)
        : source_(source), position_(start), end_(end) {}

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool AtEnd() override {
        CheckOpen();
        return at_ == count_ && !Fill();
    }
    std::uint32_t Skip(std::uint32_t n) override {
        CheckOpen();
        std::uint32_t done = 0;
        while (done < n && (at_ < count_ || Fill())) {
            const std::uint32_t take = std::min(n - done, count_ - at_);
            at_ += take;
            done += take;
        }
        return done;
    }
    int Read() override {
        CheckOpen();
        if (at_ == count_ && !Fill()) {
            return -1;
        }
        return buffer_[at_++];
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        CheckOpen();
        std::uint32_t done = 0;
        while (done < n && (at_ < count_ || Fill())) {
            const std::uint32_t take = std::min(n - done, count_ - at_);
            std::memcpy(buffer + done, buffer_.data() + at_, take);
            at_ += take;
            done += take;
        }
        return done;
    }

private:
    void CheckOpen() const {
        if (!open_) {
            throw IOException();
        }
    }
    bool Fill() {
        if (position_ >= end_) {
            return false;
        }
        const std::uint32_t want =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(end_ - position_, SourceChunk));
        if (buffer_.size() < want) {
            buffer_.resize(want);
        }
        count_ = source_.ReadAt(position_, buffer_.data(), want);
        at_ = 0;
        position_ += count_;
        if (count_ < want) {
            end_ = position_; // the source ends here
        }
        return count_ > 0;
    }

    ArchiveSource& source_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t count_ = 0;
    std::uint32_t at_ = 0;
    bool open_ = true;
};

// Passes a stream's bytes on and keeps a copy of them, for archives read from a stream that
// cannot be read again.
class CopyingStream : public DataInputStream {
public:
    CopyingStream(DataInputStream& source, std::vector<std::uint8_t>& copy)
        : source_(source), copy_(copy) {}

    bool IsOpen() const override { return source_.IsOpen(); }
    void Close() override {}
    bool AtEnd() override { return source_.AtEnd(); }
    std::uint32_t Skip(std::uint32_t n) override { return source_.Skip(n); }
    int Read() override {
        const int b = source_.Read();
        if (b >= 0) {
            copy_.push_back(static_cast<std::uint8_t>(b));
        }
        return b;
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        const std::uint32_t got = source_.Read(buffer, n);
        copy_.insert(copy_.end(), buffer, buffer + got);
        return got;
    }

private:
    DataInputStream& source_;
    std::vector<std::uint8_t>& copy_;
};

// The decompressed data of one entry, decoded block by block from where it lies. Once the
// archive was checked, any failure to decode it again means that the bytes changed.
class EntryStream : public DataInputStream {
public:
    EntryStream(std::shared_ptr<ArchiveSource> source, std::uint64_t offset,
                std::uint32_t compressedSize, std::uint32_t size)
        : source_(std::move(source)), input_(*source_, offset, offset + compressedSize),
          blocks_(input_, compressedSize, size) {
        source_->CheckUnchanged();
    }

    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }
    bool AtEnd() override {
        CheckOpen();
        return at_ == blocks_.Length() && !Fill();
    }
    std::uint32_t Skip(std::uint32_t n) override {
        CheckOpen();
        std::uint32_t done = 0;
        while (done < n && (at_ < blocks_.Length() || Fill())) {
            const std::uint32_t take = std::min(n - done, blocks_.Length() - at_);
            at_ += take;
            done += take;
        }
        return done;
    }
    int Read() override {
        CheckOpen();
        if (at_ == blocks_.Length() && !Fill()) {
            return -1;
        }
        return blocks_.Data()[at_++];
    }
    std::uint32_t Read(std::uint8_t* buffer, std::uint32_t n) override {
        CheckOpen();
        std::uint32_t done = 0;
        while (done < n && (at_ < blocks_.Length() || Fill())) {
            const std::uint32_t take = std::min(n - done, blocks_.Length() - at_);
            std::memcpy(buffer + done, blocks_.Data() + at_, take);
            at_ += take;
            done += take;
        }
        return done;
    }

private:
    void CheckOpen() const {
        if (!open_) {
            throw IOException();
        }
    }
    // The next non-empty block; false at the end of the data.
    bool Fill() {
        try {
            while (!ended_) {
                at_ = 0;
                if (!blocks_.Next()) {
                    ended_ = true;
                    source_->CheckUnchanged();
                } else if (blocks_.Length() > 0) {
                    return true;
                }
            }
            return false;
        } catch (const SourceChangedException&) {
            throw;
        } catch (const IOException&) {
            throw SourceChangedException(source_->Name());
        } catch (const Lzw32::DataCorruptException&) {
            throw SourceChangedException(source_->Name());
        }
    }

    std::shared_ptr<ArchiveSource> source_;
    SourceStream input_;
    LzwBlockReader blocks_;
    std::uint32_t at_ = 0;
    bool ended_ = false;
    bool open_ = true;
};

// An entry knows where its compressed data lies; clones share the source, which stays open as
// long as one of them lives.
class StoredEntry : public ArchiveEntry {
public:
    StoredEntry(std::string name, FileTime time, std::uint32_t size, std::uint32_t compressedSize,
                std::shared_ptr<ArchiveSource> source, std::uint64_t offset)
        : name_(std::move(name)), time_(time), size_(size), compressedSize_(compressedSize),
          source_(std::move(source)), offset_(offset) {}

    std::unique_ptr<ArchiveEntry> Clone() const override {
        return std::make_unique<StoredEntry>(*this);
    }
    const std::string& Name() const override { return name_; }
    std::string NameWithSlashes() const override {
        std::string s = name_;
        std::replace(s.begin(), s.end(), '\\', '/');
        return s;
    }
    bool IsDirectory() const override { return false; }
    FileTime CreationTime() const override { return time_; }
    FileTime LastAccessTime() const override { return time_; }
    FileTime LastWriteTime() const override { return time_; }
    std::uint32_t Size() const override { return size_; }
    std::unique_ptr<DataInputStream> OpenStream() const override {
        return std::make_unique<EntryStream>(source_, offset_, compressedSize_, size_);
    }

private:
    std::string name_;
    FileTime time_;
    std::uint32_t size_;
    std::uint32_t compressedSize_;
    std::shared_ptr<ArchiveSource> source_;
    std::uint64_t offset_;
};

class LoadedArchive : public Archive {
public:
    LoadedArchive(std::uint32_t length, std::vector<std::unique_ptr<StoredEntry>> entries)
        : length_(length), entries_(std::move(entries)) {
        for (const auto& e : entries_) {
            std::string key = e->NameWithSlashes();
            auto& bucket = buckets_[NameIndexBucket(key)];
            bool known = std::any_of(bucket.begin(), bucket.end(),
                                     [&](const Slot& s) { return s.key == key; });
            if (!known) {
                bucket.push_back(Slot{std::move(key), e.get()});
            }
        }
    }

    std::uint32_t Length() const override { return length_; }
    int Count() const override { return static_cast<int>(entries_.size()); }
    ArchiveEntry* Entry(int index) const override {
        if (index < 0 || index >= Count()) {
            return nullptr;
        }
        return entries_[static_cast<std::size_t>(index)].get();
    }
    ArchiveEntry* Find(const std::string& name) const override {
        for (const Slot& s : buckets_[NameIndexBucket(name)]) {
            if (s.key == name) {
                return s.entry;
            }
        }
        return nullptr;
    }

private:
    struct Slot {
        std::string key;
        ArchiveEntry* entry;
    };
    std::uint32_t length_;
    std::vector<std::unique_ptr<StoredEntry>> entries_;
    std::vector<Slot> buckets_[NameIndexBuckets];
};

std::uint64_t U64LE(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

void SkipExactly(DataInputStream& stream, std::uint64_t n) {
    while (n > 0) {
        std::uint32_t part = static_cast<std::uint32_t>(std::min<std::uint64_t>(n, UINT32_MAX));
        std::uint32_t skipped = stream.Skip(part);
        if (skipped == 0) {
            throw EOFException();
        }
        n -= skipped;
    }
}

bool Cancelled(ArchiveProgress* progress, int percent) {
    return progress != nullptr && progress->Progress(percent) == ProgressCancel;
}

// Where an entry's data was found: its record and the data's start, counted from the start of
// the data area or, for data that was copied, from the start of the copy.
struct Located {
    ArchiveRecord record;
    std::uint64_t start = 0;
};

// Reads the table and walks the data area forwards, decoding every entry once to prove that it
// decodes to exactly its size. With `copy`, the compressed bytes of the entries are kept there.
ProcedureResult ReadLayout(DataInputStream& stream, ArchiveProgress* progress,
                           std::vector<std::uint8_t>* copy, std::vector<Located>& located,
                           std::uint64_t& headerLength, std::uint64_t& dataLength) {
    std::vector<ArchiveRecord> records;
    try {
        if (!ReadArchiveTable(stream, records, progress)) {
            return ProcedureResult::Failed;
        }
    } catch (const IOException&) {
        return ProcedureResult::Failed;
    }

    headerLength = 6;
    for (const ArchiveRecord& r : records) {
        headerLength += r.length;
    }
    // The data area is read strictly forwards, so the entries are visited by offset; records
    // with equal offsets keep their table order.
    std::stable_sort(
        records.begin(), records.end(),
        [](const ArchiveRecord& a, const ArchiveRecord& b) { return a.offset < b.offset; });

    const std::size_t count = records.size();
    std::uint64_t position = 0;
    located.clear();
    located.reserve(count);
    try {
        for (std::size_t i = 0; i < count; ++i) {
            ArchiveRecord& r = records[i];
            // Data that starts inside the previous entry's data cannot be reached going
            // forwards; reading on from here would hand this entry someone else's bytes.
            if (r.offset < position) {
                return ProcedureResult::Failed;
            }
            SkipExactly(stream, r.offset - position);
            position = r.offset;
            Located entry;
            entry.start = copy != nullptr ? copy->size() : position;
            std::uint32_t consumed = 0;
            if (copy != nullptr) {
                CopyingStream copying(stream, *copy);
                LzwBlockReader blocks(copying, r.compressedSize, r.size);
                while (blocks.Next()) {
                }
                consumed = blocks.Consumed();
            } else {
                LzwBlockReader blocks(stream, r.compressedSize, r.size);
                while (blocks.Next()) {
                }
                consumed = blocks.Consumed();
            }
            // Whatever follows the end mark belongs to the entry's data all the same.
            SkipExactly(stream, r.compressedSize - consumed);
            position += r.compressedSize;
            entry.record = std::move(r);
            located.push_back(std::move(entry));
            if (Cancelled(progress, static_cast<int>(50 + (i + 1) * 50 / count))) {
                return ProcedureResult::Cancelled;
            }
        }
    } catch (const IOException&) {
        return ProcedureResult::Failed;
    } catch (const Lzw32::DataCorruptException&) {
        return ProcedureResult::Failed;
    }
    dataLength = position;
    return ProcedureResult::Succeeded;
}

} // namespace

std::shared_ptr<ArchiveSource> OpenArchiveSource(const std::string& fileName) {
    return std::make_shared<FileSource>(fileName);
}

std::vector<std::uint8_t> ArchiveEntry::Bytes() const {
    std::vector<std::uint8_t> bytes(Size());
    std::unique_ptr<DataInputStream> stream = OpenStream();
    if (!bytes.empty() && stream->Read(bytes.data(), Size()) != Size()) {
        throw IOException();
    }
    return bytes;
}

int NameIndexBucket(const std::string& name) {
    std::uint32_t h = 0;
    for (unsigned char c : name) {
        h = ((h << 1) | (h >> 31)) ^ c;
    }
    std::int32_t v = static_cast<std::int32_t>(h);
    if (v < 0) {
        v = v == INT32_MIN ? 0 : -v;
    }
    return v % NameIndexBuckets;
}

bool ReadArchiveTable(DataInputStream& stream, std::vector<ArchiveRecord>& records,
                      ArchiveProgress* progress) {
    records.clear();
    std::uint8_t magic[3];
    if (stream.Read(magic, 3) != 3 || std::memcmp(magic, "LZW", 3) != 0) {
        return false;
    }
    if (stream.ReadU8() != ArchiveVersion) {
        return false;
    }
    const unsigned count = stream.ReadU16LE();
    std::vector<std::uint8_t> name;
    for (unsigned i = 0; i < count; ++i) {
        ArchiveRecord r;
        r.length = stream.ReadU16LE();
        if (r.length < ArchiveRecordMinLength) {
            return false;
        }
        std::uint8_t time[8];
        if (stream.Read(time, 8) != 8) {
            return false;
        }
        r.time = U64LE(time);
        r.size = stream.ReadU32LE();
        r.compressedSize = stream.ReadU32LE();
        r.offset = stream.ReadU32LE();
        r.attributes = stream.ReadU32LE();
        const std::uint32_t nameBytes = r.length - 26u;
        name.resize(nameBytes);
        if (stream.Read(name.data(), nameBytes) != nameBytes || name.back() != 0) {
            return false;
        }
        // The name is a zero-terminated text; anything after an earlier zero is not part of it.
        const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
        r.name.assign(name.begin(), end);
        records.push_back(std::move(r));
        if (Cancelled(progress, static_cast<int>((i + 1) * 50 / count))) {
            return false;
        }
    }
    return true;
}

ProcedureResult ReadArchive(DataInputStream& stream, std::unique_ptr<Archive>& archiveOut,
                            ArchiveProgress* progress) {
    archiveOut.reset();
    std::vector<std::uint8_t> copy;
    std::vector<Located> located;
    std::uint64_t headerLength = 0;
    std::uint64_t dataLength = 0;
    const ProcedureResult result =
        ReadLayout(stream, progress, &copy, located, headerLength, dataLength);
    if (result != ProcedureResult::Succeeded) {
        return result;
    }
    if (headerLength + dataLength > UINT32_MAX) {
        return ProcedureResult::Failed;
    }
    copy.shrink_to_fit();
    auto source = std::make_shared<MemorySource>(std::move(copy));
    std::vector<std::unique_ptr<StoredEntry>> entries;
    entries.reserve(located.size());
    for (Located& l : located) {
        entries.push_back(std::make_unique<StoredEntry>(std::move(l.record.name), l.record.time,
                                                        l.record.size, l.record.compressedSize,
                                                        source, l.start));
    }
    archiveOut = std::make_unique<LoadedArchive>(
        static_cast<std::uint32_t>(headerLength + dataLength), std::move(entries));
    return ProcedureResult::Succeeded;
}

ProcedureResult ReadArchiveAt(const std::shared_ptr<ArchiveSource>& source, std::uint32_t offset,
                              std::unique_ptr<Archive>& archiveOut, ArchiveProgress* progress) {
    archiveOut.reset();
    SourceStream stream(*source, offset, UINT64_MAX);
    std::vector<Located> located;
    std::uint64_t headerLength = 0;
    std::uint64_t dataLength = 0;
    const ProcedureResult result =
        ReadLayout(stream, progress, nullptr, located, headerLength, dataLength);
    if (result != ProcedureResult::Succeeded) {
        return result;
    }
    const std::uint64_t length = headerLength + dataLength;
    if (length > UINT32_MAX) {
        return ProcedureResult::Failed;
    }
    const std::uint64_t data = std::uint64_t{offset} + headerLength;
    std::vector<std::unique_ptr<StoredEntry>> entries;
    entries.reserve(located.size());
    for (Located& l : located) {
        entries.push_back(std::make_unique<StoredEntry>(std::move(l.record.name), l.record.time,
                                                        l.record.size, l.record.compressedSize,
                                                        source, data + l.start));
    }
    archiveOut =
        std::make_unique<LoadedArchive>(static_cast<std::uint32_t>(length), std::move(entries));
    return ProcedureResult::Succeeded;
}

ProcedureResult ReadArchiveFile(const std::string& fileName, std::uint32_t offset,
                                std::unique_ptr<Archive>& archiveOut, ArchiveProgress* progress) {
    archiveOut.reset();
    std::shared_ptr<ArchiveSource> source = OpenArchiveSource(fileName);
    std::uint8_t probe = 0;
    try {
        // An offset at or past the end leaves nothing to read an archive from.
        if (source->ReadAt(offset, &probe, 1) != 1) {
            return ProcedureResult::Failed;
        }
    } catch (const IOException&) {
        return ProcedureResult::Failed;
    }
    return ReadArchiveAt(source, offset, archiveOut, progress);
}

bool SameEntryData(const ArchiveEntry& a, const ArchiveEntry& b) {
    if (a.Size() != b.Size()) {
        return false;
    }
    std::unique_ptr<DataInputStream> x = a.OpenStream();
    std::unique_ptr<DataInputStream> y = b.OpenStream();
    std::vector<std::uint8_t> bx(EntryCompareChunk);
    std::vector<std::uint8_t> by(EntryCompareChunk);
    for (;;) {
        // A stream gives fewer bytes than asked only at its end.
        const std::uint32_t nx = x->Read(bx.data(), EntryCompareChunk);
        const std::uint32_t ny = y->Read(by.data(), EntryCompareChunk);
        if (nx != ny || (nx > 0 && std::memcmp(bx.data(), by.data(), nx) != 0)) {
            return false;
        }
        if (nx < EntryCompareChunk) {
            return true;
        }
    }
}

} // namespace nebcm
