// Building an LZW archive from a directory tree: the table is written last, once the data's
// sizes and offsets are known.
#include "archive_build.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "archive_writer.h"
#include "dir_walk.h"
#include "lzw_encoder.h"

namespace nebpack {

namespace {

enum Exit { Done = 0, Rejected = 1, Failed = 2 };

bool ReadWholeFile(const std::string& path, std::uint64_t expected,
                   std::vector<std::uint8_t>& data) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    data.resize(static_cast<std::size_t>(expected));
    std::size_t got = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
    // A file that changed size while we looked at it is not read in part.
    bool ok = got == data.size() && std::fgetc(f) == EOF && !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool WriteAll(std::FILE* f, const std::vector<std::uint8_t>& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

} // namespace

OutputFile::OutputFile(const std::string& name) : name_(name), f_(std::fopen(name.c_str(), "wb")) {}

OutputFile::~OutputFile() {
    if (f_ != nullptr) {
        std::fclose(f_);
        std::remove(name_.c_str());
    }
}

bool OutputFile::Keep() {
    bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!ok) {
        std::remove(name_.c_str());
    }
    return ok;
}

int AppendArchive(std::FILE* file, std::vector<FoundFile> files, const std::string& out,
                  std::FILE* refused, std::FILE* err, std::uint64_t& length) {
    // Ordered by the names as stored, with backslashes.
    auto stored = [](char c) { return static_cast<unsigned char>(c == '/' ? '\\' : c); };
    std::sort(files.begin(), files.end(), [&](const FoundFile& a, const FoundFile& b) {
        return std::lexicographical_compare(a.relative.begin(), a.relative.end(),
                                            b.relative.begin(), b.relative.end(),
                                            [&](char x, char y) { return stored(x) < stored(y); });
    });
    if (files.size() > MaxArchiveEntries) {
        std::fprintf(refused, "nebpack: %zu files; an archive holds at most %u\n", files.size(),
                     MaxArchiveEntries);
        return Rejected;
    }
    std::vector<ArchiveTableEntry> table;
    for (const FoundFile& f : files) {
        ArchiveTableEntry e;
        e.name = f.relative;
        if (e.name.find('\\') != std::string::npos) {
            std::fprintf(refused, "nebpack: '%s': a backslash in a file name cannot be stored\n",
                         f.path.c_str());
            return Rejected;
        }
        std::replace(e.name.begin(), e.name.end(), '/', '\\');
        if (e.name.size() > MaxArchiveNameLength) {
            std::fprintf(refused, "nebpack: '%s': the name is longer than an archive can hold\n",
                         f.path.c_str());
            return Rejected;
        }
        if (f.size > UINT32_MAX) {
            std::fprintf(refused, "nebpack: '%s' is larger than an archive entry can hold (4 GB)\n",
                         f.path.c_str());
            return Rejected;
        }
        e.size = static_cast<std::uint32_t>(f.size);
        e.time = f.time;
        table.push_back(e);
    }

    const long start = std::ftell(file);
    // The table's length does not depend on the sizes, so a placeholder holds its place.
    const std::vector<std::uint8_t> placeholder = EncodeArchiveTable(table);
    if (start < 0 || !WriteAll(file, placeholder)) {
        std::fprintf(err, "nebpack: cannot write '%s'\n", out.c_str());
        return Failed;
    }
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> compressed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!ReadWholeFile(files[i].path, files[i].size, data)) {
            std::fprintf(err, "nebpack: cannot read '%s'\n", files[i].path.c_str());
            return Failed;
        }
        compressed.clear();
        CompressLzw(data.data(), data.size(), compressed);
        if (offset + compressed.size() > UINT32_MAX) {
            std::fprintf(refused,
                         "nebpack: the compressed data exceeds the 4 GB an archive can hold\n");
            return Rejected;
        }
        table[i].offset = static_cast<std::uint32_t>(offset);
        table[i].compressedSize = static_cast<std::uint32_t>(compressed.size());
        offset += compressed.size();
        if (!WriteAll(file, compressed)) {
            std::fprintf(err, "nebpack: cannot write '%s'\n", out.c_str());
            return Failed;
        }
    }
    if (std::fseek(file, start, SEEK_SET) != 0 || !WriteAll(file, EncodeArchiveTable(table)) ||
        std::fseek(file, 0, SEEK_END) != 0) {
        std::fprintf(err, "nebpack: cannot write '%s'\n", out.c_str());
        return Failed;
    }
    length = placeholder.size() + offset;
    return Done;
}

int CreateArchiveFromDirectory(const std::string& out, const std::string& dir, std::FILE* err) {
    std::vector<FoundFile> files;
    std::string error;
    if (!ListFiles(dir, files, error)) {
        std::fprintf(err, "nebpack: %s\n", error.c_str());
        return Failed;
    }
    // An archive written into the directory it packs must not pack itself.
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const FoundFile& f) { return SameFile(f.path, out); }),
                files.end());
    OutputFile file(out);
    if (!file.IsOpen()) {
        std::fprintf(err, "nebpack: cannot create '%s'\n", out.c_str());
        return Failed;
    }
    std::uint64_t length = 0;
    const int result = AppendArchive(file.Get(), std::move(files), out, err, err, length);
    if (result != Done) {
        return result;
    }
    if (!file.Keep()) {
        std::fprintf(err, "nebpack: cannot write '%s'\n", out.c_str());
        return Failed;
    }
    return Done;
}

} // namespace nebpack
