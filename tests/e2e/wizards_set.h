// Writes small distribution sets for end-to-end scenarios: every subset an archive whose entries
// are kept in stored blocks, so the test needs no compressor.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/window_driver.h"

namespace nebcm::testing {

struct SetEntry {
    std::string name; // relative, with backslashes, as archives store it
    std::string data;
};
using Subset = std::vector<SetEntry>;

namespace detail {
inline void PutU16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutU32(std::string& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
// The data as stored blocks of at most 65535 bytes, ended by the end-of-stream byte.
inline std::string StoredBlocks(const std::string& data) {
    std::string out;
    for (std::size_t at = 0; at < data.size(); at += 0xFFFF) {
        std::string chunk = data.substr(at, 0xFFFF);
        out.push_back('\x02');
        PutU16(out, static_cast<std::uint32_t>(chunk.size()));
        out += chunk;
    }
    out.push_back('\0');
    return out;
}
} // namespace detail

inline std::string ArchiveBytes(const Subset& entries) {
    std::string table;
    std::string data;
    for (const SetEntry& e : entries) {
        std::string packed = detail::StoredBlocks(e.data);
        detail::PutU16(table, static_cast<std::uint32_t>(26 + e.name.size() + 1));
        detail::PutU32(table, 0x2A3B4C5D); // any time stamp will do
        detail::PutU32(table, 0x01C3A000);
        detail::PutU32(table, static_cast<std::uint32_t>(e.data.size()));
        detail::PutU32(table, static_cast<std::uint32_t>(packed.size()));
        detail::PutU32(table, static_cast<std::uint32_t>(data.size()));
        detail::PutU32(table, 0x20);
        table += e.name;
        table.push_back('\0');
        data += packed;
    }
    std::string out = "LZW";
    out.push_back('\x01');
    detail::PutU16(out, static_cast<std::uint32_t>(entries.size()));
    return out + table + data;
}

// The subsets back to back, as a set file.
inline bool WriteSet(const std::string& path, const std::vector<Subset>& subsets) {
    std::string bytes;
    for (const Subset& s : subsets) {
        bytes += ArchiveBytes(s);
    }
    return WriteTextFile(path, bytes);
}

// One library with `count` files below its own folder and one shortcut, so that copying takes a
// while (the progress paces each file) and a scenario can act during it. The version and the
// text of the files tell two sets of the same library apart.
inline Subset ManyFilesLibrary(const std::string& name, int count, const std::string& version,
                               const std::string& text) {
    std::string database = "[Library:" + name + "]\r\nVersion=" + version +
                           "\r\nDescription=" + name +
                           " library\r\nCopyright=(c) Tessaly\r\nPackage=org/" + name + "\r\n";
    Subset subset;
    for (int i = 0; i < count; ++i) {
        const std::string file = name + "/part" + std::to_string(i) + ".txt";
        database += "File=" + file + (i == 0 ? ";" + name + "/First part" : "") + "\r\n";
        subset.push_back({name + "\\part" + std::to_string(i) + ".txt",
                          text + " " + std::to_string(i) + "\r\n"});
    }
    subset.insert(subset.begin(), SetEntry{"neb.cdb", database});
    return subset;
}

} // namespace nebcm::testing
