// Benchmark of checking a whole distribution set ("nebpack check": every subset read,
// decompressed, checked and folded) beside "gzip -t" on the same decompressed payload. Prints
// times, their ratio and both programs' peak memory; with a second nebpack, both by turns, each
// beside the same gzip runs. Not a test.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tools/nebpack/archive_writer.cpp"
#include "../tools/nebpack/lzw_encoder.cpp"
#include "bench_support.h"

#ifndef NEBPACK_PROGRAM
#define NEBPACK_PROGRAM "nebpack"
#endif

namespace {

using namespace bench;

struct Extension {
    std::string section;            // header and settings, without File= lines
    std::vector<std::size_t> files; // corpus indexes
    std::vector<std::string> paths;
};

std::string Section(const std::string& kind, const std::string& name, const char* version) {
    return "[" + kind + ":" + name + "]\nVersion=" + version + "\nDescription=Benchmark " + name +
           "\nCopyright=(c) Tessaly\nPackage=bench/" + name + "\n";
}

} // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 72;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::vector<std::string> programs = {argc > 3 ? argv[3] : NEBPACK_PROGRAM};
    if (argc > 4) {
        programs.push_back(argv[4]);
    }
    if (megabytes < 1 || rounds < 1) {
        std::fprintf(stderr,
                     "usage: bench_set_check [MEGABYTES [ROUNDS [NEBPACK [OTHER_NEBPACK]]]]\n");
        return 2;
    }
    if (!Have("gzip")) {
        std::fprintf(stderr, "bench: gzip is not installed\n");
        return 2;
    }
    Runner runner;
    if (!runner.Start()) {
        std::perror("bench: runner");
        return 2;
    }

    std::size_t kinds[3];
    const std::vector<Bytes> corpus = MakeCorpus(megabytes << 20, kinds);

    // Four subsets of libraries with eight files each; the first library of subset 1 comes again,
    // identical, in subset 2 (so folding compares its bytes), and one library of subset 1 comes
    // in a higher version in subset 3 (so its files are dropped).
    const int subsetCount = 4;
    std::vector<std::string> databases(subsetCount);
    std::vector<std::vector<nebpack::ArchiveFile>> subsets(subsetCount);
    std::size_t payload = 0;
    std::size_t fileCount = 0;
    auto add = [&](int k, const std::string& path, const Bytes& data) {
        std::string name = path;
        for (char& c : name) {
            c = c == '/' ? '\\' : c;
        }
        subsets[k].push_back({name, 0x01D0000000000000ull, data});
        payload += data.size();
        ++fileCount;
    };
    const std::size_t perSubset = (corpus.size() + subsetCount - 1) / subsetCount;
    for (int k = 0; k < subsetCount; ++k) {
        const std::size_t first = k * perSubset;
        const std::size_t last = std::min(corpus.size(), first + perSubset);
        for (std::size_t i = first; i < last; i += 8) {
            const std::string name = "lib" + std::to_string(i);
            databases[k] += Section("Library", name, "1.00");
            for (std::size_t j = i; j < std::min(last, i + 8); ++j) {
                const std::string path = name + "/f" + std::to_string(j) + ".bin";
                databases[k] += "File=" + path + "\n";
                add(k, path, corpus[j]);
            }
            databases[k] += "\n";
        }
    }
    {
        // The repeated library: the same section and files as subset 1's first.
        const std::string name = "lib0";
        databases[1] += Section("Library", name, "1.00");
        for (std::size_t j = 0; j < 8 && j < corpus.size(); ++j) {
            const std::string path = name + "/f" + std::to_string(j) + ".bin";
            databases[1] += "File=" + path + "\n";
            add(1, path, corpus[j]);
        }
        databases[1] += "\n";
        // The upgraded library: lib8 again, 1.01, with one new file.
        databases[2] += Section("Library", "lib8", "1.01") + "File=lib8/new.bin\n\n";
        add(2, "lib8/new.bin", corpus[8 % corpus.size()]);
    }
    Bytes set;
    for (int k = 0; k < subsetCount; ++k) {
        const Bytes text(databases[k].begin(), databases[k].end());
        subsets[k].insert(subsets[k].begin(), {"neb.cdb", 0, text});
        payload += text.size();
        const Bytes archive = nebpack::BuildArchive(subsets[k]);
        set.insert(set.end(), archive.begin(), archive.end());
    }

    char dir[] = "/tmp/nebcm-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string setFile = std::string(dir) + "/set.nds";
    const std::string payloadFile = std::string(dir) + "/payload";
    if (!WriteFile(setFile, set)) {
        std::perror("write set");
        return 2;
    }
    {
        // The same decompressed bytes, entry after entry, for gzip.
        std::FILE* f = std::fopen(payloadFile.c_str(), "wb");
        if (f == nullptr) {
            std::perror("write payload");
            return 2;
        }
        for (const auto& subset : subsets) {
            for (const nebpack::ArchiveFile& file : subset) {
                std::fwrite(file.data.data(), 1, file.data.size(), f);
            }
        }
        std::fclose(f);
    }
    double seconds = 0;
    long kib = 0;
    if (!runner.Run("gzip -6 -f " + payloadFile, seconds, kib)) {
        std::fprintf(stderr, "bench: gzip failed\n");
        return 2;
    }
    std::printf("set: %d subsets, %zu files, %.1f MB decompressed (text %.1f, binary %.1f, "
                "compressed %.1f), set file %.1f MB, gzip file %.1f MB\n",
                subsetCount, fileCount, payload / 1e6, kinds[0] / 1e6, kinds[1] / 1e6,
                kinds[2] / 1e6, set.size() / 1e6, FileSize(payloadFile + ".gz") / 1e6);

    const std::string gzip = "gzip -t " + payloadFile + ".gz";
    std::vector<double> bestCheck(programs.size(), 1e30);
    std::vector<long> peakCheck(programs.size(), 0);
    double bestGzip = 1e30;
    long peakGzip = 0;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const std::string check = programs[p] + " check " + setFile +
                                      " --symbols WinXP,WinNT > " + dir + "/merged.cdb";
            if (!runner.Run(check, seconds, kib)) {
                std::fprintf(stderr, "bench: '%s' failed\n", check.c_str());
                return 1;
            }
            bestCheck[p] = std::min(bestCheck[p], seconds);
            peakCheck[p] = std::max(peakCheck[p], kib);
        }
        if (!runner.Run(gzip, seconds, kib)) {
            std::fprintf(stderr, "bench: '%s' failed\n", gzip.c_str());
            return 1;
        }
        bestGzip = std::min(bestGzip, seconds);
        peakGzip = std::max(peakGzip, kib);
    }
    const long targetKiB = static_cast<long>((1.2 * payload + 20e6) / 1024);
    std::printf("best of %d rounds, MB/s of decompressed payload:\n", rounds);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("  %-16s %7.3f s %8.1f MB/s  peak RSS %7ld KiB (target <= %ld KiB: %s)  %s\n",
                    "nebpack check", bestCheck[p], payload / bestCheck[p] / 1e6, peakCheck[p],
                    targetKiB, peakCheck[p] <= targetKiB ? "met" : "MISSED", programs[p].c_str());
    }
    std::printf("  %-16s %7.3f s %8.1f MB/s  peak RSS %7ld KiB\n", "gzip -t", bestGzip,
                payload / bestGzip / 1e6, peakGzip);
    for (std::size_t p = 0; p < programs.size(); ++p) {
        std::printf("  speed of nebpack check / gzip -t = %.2f (target >= 1.00: %s)  %s\n",
                    bestGzip / bestCheck[p], bestGzip >= bestCheck[p] ? "met" : "MISSED",
                    programs[p].c_str());
    }

    std::remove(setFile.c_str());
    std::remove((payloadFile + ".gz").c_str());
    std::remove((std::string(dir) + "/merged.cdb").c_str());
    rmdir(dir);
    runner.Stop();
    return 0;
}
