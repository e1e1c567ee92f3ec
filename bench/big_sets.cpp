// Benchmark of checking sets far larger than memory should hold: a set of about 1.9 GB whose
// payload is above 2 GB, and a decompression bomb (4 files of 1 GB of zeros in about 38 MB). The
// sets are written to disk block by block (so the benchmark itself stays small), checked with
// one or two nebpack programs, timed, and measured for peak memory beside a tiny set's check and
// a 200 MB one's (200 files of 1 MB made like the big set's, the size of a common installation).
// Not a test.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tools/nebpack/archive_writer.cpp"
#include "../tools/nebpack/lzw_encoder.cpp"
#include "bench_support.h"

namespace {

using namespace bench;

constexpr std::uint32_t ChunkSize = 32767;

// One chunk of payload and the blocks that encode it (without the end mark).
struct Chunk {
    Bytes blocks;
};

Chunk Encoded(const Bytes& data) {
    nebpack::LzwOptions options;
    options.blockSize = ChunkSize;
    Chunk c;
    nebpack::CompressLzw(data.data(), data.size(), c.blocks, options);
    c.blocks.pop_back(); // the end mark
    return c;
}

Chunk Stored(const Bytes& data) {
    Chunk c;
    c.blocks = {2, static_cast<std::uint8_t>(data.size() & 0xFF),
                static_cast<std::uint8_t>(data.size() >> 8)};
    c.blocks.insert(c.blocks.end(), data.begin(), data.end());
    return c;
}

struct File {
    std::string name; // with slashes
    std::vector<const Chunk*> chunks;
    Bytes small; // the whole data, for a file that is not made of chunks
};

std::uint64_t CompressedSize(const File& f) {
    std::uint64_t n = 1;
    for (const Chunk* c : f.chunks) {
        n += c->blocks.size();
    }
    return f.chunks.empty() ? Encoded(f.small).blocks.size() + 1 : n;
}

// Writes one subset archive: the database, then the files, table first.
bool WriteSubset(std::FILE* out, const std::string& database, const std::vector<File>& files,
                 std::uint64_t& payload) {
    std::vector<nebpack::ArchiveTableEntry> table;
    std::vector<File> all;
    File db;
    db.name = "neb.cdb";
    db.small.assign(database.begin(), database.end());
    all.push_back(db);
    all.insert(all.end(), files.begin(), files.end());
    std::uint64_t offset = 0;
    for (const File& f : all) {
        nebpack::ArchiveTableEntry e;
        e.name = f.name;
        for (char& ch : e.name) {
            ch = ch == '/' ? '\\' : ch;
        }
        e.time = 0x01D0000000000000ull;
        e.size = static_cast<std::uint32_t>(f.chunks.empty() ? f.small.size()
                                                             : f.chunks.size() * ChunkSize);
        const std::uint64_t compressed = CompressedSize(f);
        e.compressedSize = static_cast<std::uint32_t>(compressed);
        e.offset = static_cast<std::uint32_t>(offset);
        offset += compressed;
        payload += e.size;
        table.push_back(e);
    }
    const Bytes head = nebpack::EncodeArchiveTable(table);
    bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size();
    for (const File& f : all) {
        if (f.chunks.empty()) {
            Bytes b = Encoded(f.small).blocks;
            b.push_back(0);
            ok = ok && std::fwrite(b.data(), 1, b.size(), out) == b.size();
            continue;
        }
        for (const Chunk* c : f.chunks) {
            ok = ok && std::fwrite(c->blocks.data(), 1, c->blocks.size(), out) == c->blocks.size();
        }
        ok = ok && std::fputc(0, out) == 0;
    }
    return ok;
}

std::string Library(const std::string& name, const std::vector<File>& files, std::size_t from,
                    std::size_t to) {
    std::string s = "[Library:" + name + "]\nVersion=1.00\nDescription=Benchmark " + name +
                    "\nCopyright=(c) Tessaly\nPackage=bench/" + name + "\n";
    for (std::size_t i = from; i < to; ++i) {
        s += "File=" + files[i].name + "\n";
    }
    return s + "\n";
}

// Subsets of libraries of 50 files each.
bool WriteSet(const std::string& path, const std::vector<std::vector<File>>& subsets,
              std::uint64_t& payload, std::uint64_t& size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    bool ok = true;
    payload = 0;
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        std::string db;
        for (std::size_t i = 0; i < subsets[k].size(); i += 50) {
            db += Library("s" + std::to_string(k) + "l" + std::to_string(i), subsets[k], i,
                          std::min(subsets[k].size(), i + 50));
        }
        ok = ok && WriteSubset(out, db, subsets[k], payload);
    }
    ok = std::fclose(out) == 0 && ok;
    size = static_cast<std::uint64_t>(FileSize(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    // -w DIR: only write the four sets into DIR and keep them, for benchmarks that run elsewhere.
    const bool writeOnly = argc == 3 && std::string(argv[1]) == "-w";
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: bench_big_sets DIR NEBPACK [OTHER_NEBPACK] [ROUNDS]\n"
            "       bench_big_sets -w DIR\n"
            "  writes DIR/tiny.nds, DIR/mid.nds, DIR/big.nds and DIR/bomb.nds, checks each with\n"
            "  each program, prints time and peak RSS, and deletes the sets; with -w\n"
            "  only writes them and keeps them\n");
        return 2;
    }
    const std::string dir = writeOnly ? argv[2] : argv[1];
    std::vector<std::string> programs;
    if (!writeOnly) {
        programs.push_back(argv[2]);
    }
    if (!writeOnly && argc > 3 && std::string(argv[3]) != "-") {
        programs.push_back(argv[3]);
    }
    const int rounds = writeOnly ? 0 : argc > 4 ? std::atoi(argv[4]) : 1;
    Runner runner;
    if (!writeOnly && !runner.Start()) {
        std::perror("bench: runner");
        return 2;
    }

    Random r{0x9E3779B97F4A7C15ull};
    std::vector<Chunk> text, random;
    for (int i = 0; i < 16; ++i) {
        text.push_back(Encoded(MakeText(ChunkSize, r)));
        Bytes noise(ChunkSize);
        for (auto& b : noise) {
            b = static_cast<std::uint8_t>(r.Next());
        }
        random.push_back(Stored(noise));
    }
    std::uint64_t textBytes = 0;
    for (const Chunk& c : text) {
        textBytes += c.blocks.size();
    }
    const double textRatio = static_cast<double>(textBytes) / (16.0 * ChunkSize);
    // Payload about 2.15 GB in a file of about 1.9 GB: the share of text chunks that gives it.
    const double wanted = 1.9 / 2.15;
    const double textShare = (1.0 - wanted) / (1.0 - textRatio);
    const std::size_t filesPerSubset = 684;
    const std::size_t chunksPerFile = 32; // about 1 MB
    std::vector<std::vector<File>> big(3);
    for (std::size_t k = 0; k < big.size(); ++k) {
        for (std::size_t i = 0; i < filesPerSubset; ++i) {
            File f;
            f.name = "big" + std::to_string(k) + "/f" + std::to_string(i) + ".bin";
            for (std::size_t j = 0; j < chunksPerFile; ++j) {
                const bool isText = r.Below(1000) < textShare * 1000;
                f.chunks.push_back(isText ? &text[r.Below(16)] : &random[r.Below(16)]);
            }
            big[k].push_back(f);
        }
    }
    Chunk zeros = Encoded(Bytes(ChunkSize, 0));
    std::vector<std::vector<File>> bomb(1);
    for (int i = 0; i < 4; ++i) {
        File f;
        f.name = "zero/z" + std::to_string(i) + ".bin";
        f.chunks.assign(32768, &zeros); // 32768 * 32767 bytes: 1 GB less 32 KB
        bomb[0].push_back(f);
    }
    std::vector<std::vector<File>> tiny(1);
    {
        File f;
        f.name = "tiny/a.txt";
        f.small.assign(100, 'a');
        tiny[0].push_back(f);
    }

    struct Case {
        const char* name;
        const std::vector<std::vector<File>>* subsets;
    };
    std::vector<std::vector<File>> mid(1);
    for (std::size_t i = 0; i < 200; ++i) {
        File f;
        f.name = "mid/f" + std::to_string(i) + ".bin";
        for (std::size_t j = 0; j < chunksPerFile; ++j) {
            const bool isText = r.Below(1000) < textShare * 1000;
            f.chunks.push_back(isText ? &text[r.Below(16)] : &random[r.Below(16)]);
        }
        mid[0].push_back(f);
    }
    const Case cases[] = {{"tiny", &tiny}, {"mid", &mid}, {"big", &big}, {"bomb", &bomb}};
    for (const Case& c : cases) {
        const std::string set = dir + "/" + c.name + ".nds";
        std::uint64_t payload = 0, size = 0;
        if (!WriteSet(set, *c.subsets, payload, size)) {
            std::perror("bench: write set");
            return 2;
        }
        std::printf("%s: %zu subsets, set file %.3f GB, payload %.3f GB\n", c.name,
                    c.subsets->size(), size / 1e9, payload / 1e9);
        for (int round = 0; round < rounds; ++round) {
            for (const std::string& program : programs) {
                double seconds = 0;
                long kib = 0;
                const std::string command =
                    program + " check " + set + " > " + dir + "/out.txt 2>&1";
                const bool ok = runner.Run(command, seconds, kib);
                std::string first;
                if (std::FILE* f = std::fopen((dir + "/out.txt").c_str(), "r")) {
                    char line[300] = {};
                    if (std::fgets(line, sizeof line, f)) {
                        first = line;
                    }
                    std::fclose(f);
                }
                if (!first.empty() && first.back() == '\n') {
                    first.pop_back();
                }
                std::printf("  %-50s %s %8.2f s  peak RSS %8ld KiB  first line: %s\n",
                            program.c_str(), ok ? "accepted" : "REJECTED", seconds, kib,
                            first.substr(0, 90).c_str());
                std::fflush(stdout);
            }
        }
        if (!writeOnly) {
            std::remove(set.c_str());
        }
    }
    if (!writeOnly) {
        std::remove((dir + "/out.txt").c_str());
        runner.Stop();
    }
    return 0;
}
