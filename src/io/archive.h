// LZW archives: the reader that checks a whole archive in one pass and keeps, per entry, only
// where its compressed data lies, decoding it again on demand.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/procedure_result.h"
#include "io/streams.h"

namespace nebcm {

// A Windows FILETIME as one number: 100-ns intervals since 1601-01-01 UTC.
using FileTime = std::uint64_t;

// Random access to the bytes that archives lie in: a file held open, or a block of memory.
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    // Up to n bytes from `offset`, fewer only at the end. Raises IOException when they cannot be
    // read.
    virtual std::uint32_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::uint32_t n) = 0;
    // Raises SourceChangedException when the bytes may no longer be those that were checked.
    virtual void CheckUnchanged() = 0;
    // The file's name as it was opened; empty for memory.
    virtual const std::string& Name() const = 0;
};

// Opens a file as the source of archives. It stays open while any archive or entry read from it
// lives; others may read it meanwhile but not write or delete it. FileNotFoundException or
// IOException from opening it reach the caller.
std::shared_ptr<ArchiveSource> OpenArchiveSource(const std::string& fileName);

// One file of an archive. Valid while its archive lives; Clone gives one that outlives it. Its
// data stays where the archive lies and is decoded anew by every stream opened on it.
class ArchiveEntry {
public:
    virtual ~ArchiveEntry() = default;
    virtual std::unique_ptr<ArchiveEntry> Clone() const = 0;
    // The name as stored: a relative path with backslashes.
    virtual const std::string& Name() const = 0;
    virtual std::string NameWithSlashes() const = 0;
    virtual bool IsDirectory() const = 0;
    // Archives keep one time stamp per entry; all three report it.
    virtual FileTime CreationTime() const = 0;
    virtual FileTime LastAccessTime() const = 0;
    virtual FileTime LastWriteTime() const = 0;
    virtual std::uint32_t Size() const = 0;
    // A new stream over the decompressed data, owned by the caller; streams are independent of
    // each other. Once the archive was checked, data that no longer decodes as it did raises
    // SourceChangedException from the stream.
    virtual std::unique_ptr<DataInputStream> OpenStream() const = 0;
    // All the decompressed bytes at once, read through a stream: for small entries only, as it
    // holds Size() bytes in memory.
    std::vector<std::uint8_t> Bytes() const;
};

class Archive {
public:
    virtual ~Archive() = default;
    // The bytes the archive occupies, from its magic to the end of the last data read.
    virtual std::uint32_t Length() const = 0;
    virtual int Count() const = 0;
    // Entries in ascending order of their data; null outside 0..Count()-1.
    virtual ArchiveEntry* Entry(int index) const = 0;
    // The entry whose name, written with forward slashes, is exactly `name` (case-sensitive);
    // the first one when several share it; null when none.
    virtual ArchiveEntry* Find(const std::string& name) const = 0;
};

// The caller's view of a long read: Progress(0..100); returning ProgressCancel stops it.
class ArchiveProgress {
public:
    virtual ~ArchiveProgress() = default;
    virtual int Progress(int percent) = 0;
};
inline constexpr int ProgressCancel = 2;

// One record of an archive's entry table, as stored.
struct ArchiveRecord {
    std::uint16_t length = 0; // of the record, including this field; at least 27
    FileTime time = 0;
    std::uint32_t size = 0;           // decompressed
    std::uint32_t compressedSize = 0; // of the block sequence, including its end mark
    std::uint32_t offset = 0;         // of the compressed data, from the start of the data area
    std::uint32_t attributes = 0;     // Windows attribute bits; not used by the reader
    std::string name;                 // relative path with backslashes, without the zero byte
};

inline constexpr std::uint32_t ArchiveRecordMinLength = 27;
inline constexpr std::uint8_t ArchiveVersion = 1;

// Reads the magic, version and entry table of an archive. Returns false when they are not those
// of an archive (wrong magic or version, a record too short or without the zero byte after its
// name) or the callback cancels. Stream failures raise IOException; a table cut short gives
// false or EOFException, depending on the field it ends in.
bool ReadArchiveTable(DataInputStream& stream, std::vector<ArchiveRecord>& records,
                      ArchiveProgress* progress = nullptr);

// Reads one archive from a stream positioned at its magic, strictly forwards, decoding every
// entry once to check it; the compressed data is kept in memory (not the decompressed). Succeeded:
// the archive is in archiveOut, owned by the caller. Failed: not an archive, damaged, cut short,
// or the progress callback cancelled while the table was read. Cancelled: the callback cancelled
// while the data was read. On failure or cancel archiveOut is left empty and nothing read is
// kept. An allocation that fails raises std::bad_alloc: memory running out is not damage.
ProcedureResult ReadArchive(DataInputStream& stream, std::unique_ptr<Archive>& archiveOut,
                            ArchiveProgress* progress);

// The same for the archive that starts `offset` bytes into a source; its entries keep the source
// and read their data from it on demand, so nothing of the data stays in memory.
ProcedureResult ReadArchiveAt(const std::shared_ptr<ArchiveSource>& source, std::uint32_t offset,
                              std::unique_ptr<Archive>& archiveOut, ArchiveProgress* progress);

// Reads the archive that starts `offset` bytes into a file, which its entries keep open. An
// offset past the end of the file fails. FileNotFoundException or IOException from opening the
// file reach the caller.
ProcedureResult ReadArchiveFile(const std::string& fileName, std::uint32_t offset,
                                std::unique_ptr<Archive>& archiveOut, ArchiveProgress* progress);

// Entry data is compared this many bytes at a time.
inline constexpr std::uint32_t EntryCompareChunk = 1u << 16;

// Whether two entries hold the same bytes: their sizes first, then their streams side by side,
// a chunk at a time, stopping at the first chunk that differs; no entry has to fit in memory.
// What the streams raise reaches the caller.
bool SameEntryData(const ArchiveEntry& a, const ArchiveEntry& b);

// The bucket hash of archive and set name indexes: h = rotl(h, 1) ^ byte over the name's bytes,
// negated when negative (the minimum becomes 0), modulo the 17 buckets.
inline constexpr int NameIndexBuckets = 17;
int NameIndexBucket(const std::string& name);

} // namespace nebcm
