// LZW archive reader: the entry table first, then every entry's data in ascending offset order,
// decompressed into memory in one forward pass.
#include "io/archive.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "io/lzw32.h"

namespace nebcm {

namespace {

// The decompressed bytes never change once read, so a clone shares them instead of copying:
// a distribution set keeps the files it takes from its subsets without holding them twice.
class LoadedEntry : public ArchiveEntry {
public:
    LoadedEntry(std::string name, FileTime time, std::vector<std::uint8_t> data)
        : name_(std::move(name)), time_(time),
          data_(std::make_shared<const std::vector<std::uint8_t>>(std::move(data))) {}

    std::unique_ptr<ArchiveEntry> Clone() const override {
        return std::make_unique<LoadedEntry>(*this);
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
    std::uint32_t Size() const override { return static_cast<std::uint32_t>(data_->size()); }
    std::unique_ptr<DataInputStream> OpenStream() const override {
        return std::make_unique<MemoryInputStream>(data_->data(), Size());
    }
    const std::vector<std::uint8_t>& Bytes() const override { return *data_; }

private:
    std::string name_;
    FileTime time_;
    std::shared_ptr<const std::vector<std::uint8_t>> data_;
};

class LoadedArchive : public Archive {
public:
    LoadedArchive(std::uint32_t length, std::vector<std::unique_ptr<LoadedEntry>> entries)
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
    std::vector<std::unique_ptr<LoadedEntry>> entries_;
    std::vector<Slot> buckets_[NameIndexBuckets];
};

std::uint64_t U64LE(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | p[i];
    }
    return v;
}

// Reads exactly n bytes. The buffer grows with the bytes that actually arrive, so a damaged size
// cannot make the reader claim memory for data that the stream does not have.
std::vector<std::uint8_t> ReadExactly(DataInputStream& stream, std::uint32_t n) {
    std::vector<std::uint8_t> buffer;
    std::uint32_t got = 0;
    std::uint32_t step = 1u << 16;
    while (got < n) {
        std::uint32_t want = std::min(n - got, step);
        buffer.resize(static_cast<std::size_t>(got) + want);
        if (stream.Read(buffer.data() + got, want) != want) {
            throw IOException();
        }
        got += want;
        step = std::max(step, got);
    }
    return buffer;
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

} // namespace

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
    std::vector<ArchiveRecord> records;
    try {
        if (!ReadArchiveTable(stream, records, progress)) {
            return ProcedureResult::Failed;
        }
    } catch (const IOException&) {
        return ProcedureResult::Failed;
    } catch (const std::bad_alloc&) {
        return ProcedureResult::Failed;
    }

    std::uint64_t headerLength = 6;
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
    std::vector<std::unique_ptr<LoadedEntry>> entries;
    try {
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            ArchiveRecord& r = records[i];
            // Data that starts inside the previous entry's data cannot be reached going
            // forwards; reading on from here would hand this entry someone else's bytes.
            if (r.offset < position) {
                return ProcedureResult::Failed;
            }
            SkipExactly(stream, r.offset - position);
            position = r.offset;
            std::vector<std::uint8_t> compressed = ReadExactly(stream, r.compressedSize);
            position += r.compressedSize;

            // Check the size against what the blocks declare before allocating it.
            if (Lzw32::DeclaredLength(compressed.data(), r.compressedSize) != r.size) {
                throw IOException();
            }
            std::vector<std::uint8_t> data(r.size);
            if (Lzw32::Decompress(compressed.data(), r.compressedSize, data.data(), r.size) !=
                r.size) {
                throw IOException();
            }
            entries.push_back(
                std::make_unique<LoadedEntry>(std::move(r.name), r.time, std::move(data)));
            if (Cancelled(progress, static_cast<int>(50 + (i + 1) * 50 / count))) {
                return ProcedureResult::Cancelled;
            }
        }
        const std::uint64_t length = headerLength + position;
        if (length > UINT32_MAX) {
            return ProcedureResult::Failed;
        }
        archiveOut =
            std::make_unique<LoadedArchive>(static_cast<std::uint32_t>(length), std::move(entries));
    } catch (const IOException&) {
        return ProcedureResult::Failed;
    } catch (const Lzw32::DataCorruptException&) {
        return ProcedureResult::Failed;
    } catch (const std::bad_alloc&) {
        return ProcedureResult::Failed;
    } catch (const std::length_error&) {
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult ReadArchiveFile(const std::string& fileName, std::uint32_t offset,
                                std::unique_ptr<Archive>& archiveOut, ArchiveProgress* progress) {
    archiveOut.reset();
    FileInputStream file(fileName);
    BufferedInputStream buffered(file, StreamBufferSize);
    ProcedureResult result = ProcedureResult::Failed;
    try {
        if (buffered.Skip(offset) == offset) {
            result = ReadArchive(buffered, archiveOut, progress);
        }
    } catch (const IOException&) {
        result = ProcedureResult::Failed;
    }
    buffered.Close();
    file.Close();
    return result;
}

} // namespace nebcm
