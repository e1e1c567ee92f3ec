// nebpack's LZW archive writer: the header and entry table, and whole archives built in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lzw_encoder.h"

namespace nebpack {

// Archive plus not-content-indexed, as on every entry of the program's own archives.
inline constexpr std::uint32_t DefaultArchiveAttributes = 0x2020;
inline constexpr std::uint32_t MaxArchiveEntries = 0xFFFF;
// A record is 26 bytes of fields, the name and its zero byte, and its length is a u16.
inline constexpr std::size_t MaxArchiveNameLength = 0xFFFF - 27;

struct ArchiveTableEntry {
    std::string name; // relative path with backslashes
    std::uint64_t time = 0;
    std::uint32_t size = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t offset = 0;
    std::uint32_t attributes = DefaultArchiveAttributes;
};

// Magic, version, count and the entry table, exactly as the reader expects them. The caller
// keeps within MaxArchiveEntries and MaxArchiveNameLength.
std::vector<std::uint8_t> EncodeArchiveTable(const std::vector<ArchiveTableEntry>& entries);

struct ArchiveFile {
    std::string name;
    std::uint64_t time = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t attributes = DefaultArchiveAttributes;
};

// A whole archive in memory: the table, then each file's compressed data in table order.
std::vector<std::uint8_t> BuildArchive(const std::vector<ArchiveFile>& files,
                                       const LzwOptions& options = LzwOptions());

} // namespace nebpack
