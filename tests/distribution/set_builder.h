// Helpers of the distribution set tests: database texts, subsets built with nebpack's archive
// writer, and sets written to scratch files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../../tools/nebpack/archive_writer.h"
#include "common/error_list.h"
#include "distribution/distribution_set.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nebcm::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A [Library:name] section with the required settings, one File= line per path and any extra
// lines (dependencies, external declarations, overrides of the defaults).
inline std::string LibrarySection(const std::string& name, const std::string& version,
                                  const std::vector<std::string>& files,
                                  const std::vector<std::string>& extra = {},
                                  const std::string& kind = "Library") {
    std::string text = "[" + kind + ":" + name + "]\nVersion=" + version + "\n";
    bool description = false, copyright = false, package = false;
    for (const std::string& line : extra) {
        description |= line.rfind("Description=", 0) == 0;
        copyright |= line.rfind("Copyright=", 0) == 0;
        package |= line.rfind("Package=", 0) == 0;
    }
    if (!description) {
        text += "Description=The " + name + " " + kind + "\n";
    }
    if (!copyright) {
        text += "Copyright=(c) Tessaly\n";
    }
    if (!package) {
        text += "Package=neb/" + name + "\n";
    }
    for (const std::string& f : files) {
        text += "File=" + f + "\n";
    }
    for (const std::string& line : extra) {
        text += line + "\n";
    }
    return text + "\n";
}

inline std::string CoreSection(const std::string& version, const std::vector<std::string>& files,
                               const std::string& dispatcher,
                               const std::vector<std::string>& extra = {}) {
    std::string text = "[Core]\nVersion=" + version + "\n";
    bool description = false;
    for (const std::string& line : extra) {
        description |= line.rfind("Description=", 0) == 0;
    }
    if (!description) {
        text += "Description=NEB Core\n";
    }
    text += "Copyright=(c) Tessaly\n";
    for (const std::string& f : files) {
        text += "File=" + f + "\n";
    }
    for (const std::string& line : extra) {
        text += line + "\n";
    }
    return text + "JavaDispatcher=" + dispatcher + "\n\n";
}

// One file of a subset: its name as the archive stores it (backslashes) and its bytes.
struct SubsetFile {
    std::string name;
    std::string data;
};

// A subset archive of the database text and the files, in the given order.
inline Bytes BuildSubset(const std::string& database, const std::vector<SubsetFile>& files,
                         const nebpack::LzwOptions& options = nebpack::LzwOptions()) {
    std::vector<nebpack::ArchiveFile> all;
    all.push_back({"neb.cdb", 0, ToBytes(database)});
    for (const SubsetFile& f : files) {
        all.push_back({f.name, 0x01D0000000000000ull, ToBytes(f.data)});
    }
    return nebpack::BuildArchive(all, options);
}

inline Bytes Join(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

inline std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

inline void MakeDirectory(const std::string& path) {
#ifdef _WIN32
    CreateDirectoryA(path.c_str(), nullptr);
#else
    ::mkdir(path.c_str(), 0755);
#endif
}

// A file of the given size whose bytes are not written (sparse where the file system allows).
inline bool MakeFileOfSize(const std::string& path, std::uint64_t size) {
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    LONG high = static_cast<LONG>(size >> 32);
    DWORD low = SetFilePointer(h, static_cast<LONG>(size & 0xFFFFFFFFu), &high, FILE_BEGIN);
    bool ok =
        !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) && SetEndOfFile(h) != 0;
    CloseHandle(h);
    return ok;
#else
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
#endif
}

// Text that compresses into many blocks, different for every seed.
inline std::string Payload(unsigned seed, std::size_t size) {
    std::string out;
    std::uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        out += "word" + std::to_string((x >> 16) % 97) + (x % 7 == 0 ? "\n" : " ");
    }
    out.resize(size);
    return out;
}

} // namespace nebcm::testing
