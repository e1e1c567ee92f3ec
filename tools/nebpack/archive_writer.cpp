// nebpack's LZW archive writer.
#include "archive_writer.h"

namespace nebpack {

namespace {

void Put(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

} // namespace

std::vector<std::uint8_t> EncodeArchiveTable(const std::vector<ArchiveTableEntry>& entries) {
    std::vector<std::uint8_t> out{'L', 'Z', 'W', 1};
    Put(out, entries.size(), 2);
    for (const ArchiveTableEntry& e : entries) {
        Put(out, 27 + e.name.size(), 2);
        Put(out, e.time, 8);
        Put(out, e.size, 4);
        Put(out, e.compressedSize, 4);
        Put(out, e.offset, 4);
        Put(out, e.attributes, 4);
        out.insert(out.end(), e.name.begin(), e.name.end());
        out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> BuildArchive(const std::vector<ArchiveFile>& files,
                                       const LzwOptions& options) {
    std::vector<ArchiveTableEntry> table;
    std::vector<std::uint8_t> data;
    for (const ArchiveFile& f : files) {
        ArchiveTableEntry e;
        e.name = f.name;
        e.time = f.time;
        e.attributes = f.attributes;
        e.size = static_cast<std::uint32_t>(f.data.size());
        e.offset = static_cast<std::uint32_t>(data.size());
        CompressLzw(f.data.data(), f.data.size(), data, options);
        e.compressedSize = static_cast<std::uint32_t>(data.size() - e.offset);
        table.push_back(e);
    }
    std::vector<std::uint8_t> out = EncodeArchiveTable(table);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace nebpack
