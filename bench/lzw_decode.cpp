// Benchmark of LZW decoding on a generated mixed corpus, beside ncompress and gzip on the same
// bytes. Prints throughputs, their ratios and peak memory. Not a test.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../tools/nebpack/lzw_encoder.cpp"
#include "bench_support.h"
#include "io/lzw32.h"

namespace {

using namespace bench;

struct External {
    const char* name;
    const char* program;
    std::string compress;   // %s: input, %o: output
    std::string decompress; // %s: input
};

std::string Fill(std::string t, const std::string& in, const std::string& out) {
    for (std::size_t p; (p = t.find("%s")) != std::string::npos;) {
        t.replace(p, 2, in);
    }
    for (std::size_t p; (p = t.find("%o")) != std::string::npos;) {
        t.replace(p, 2, out);
    }
    return t;
}

} // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 72;
    int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (megabytes < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: bench_lzw_decode [MEGABYTES [ROUNDS]]\n");
        return 2;
    }

    Runner runner;
    if (!runner.Start()) {
        std::perror("bench: runner");
        return 2;
    }

    // The corpus: files of 1 KiB to 2 MiB, a third text, a third binary, a third compressed.
    std::size_t kinds[3];
    std::vector<Bytes> files = MakeCorpus(megabytes << 20, kinds);
    std::size_t total = 0;
    for (const Bytes& f : files) {
        total += f.size();
    }

    std::vector<Bytes> streams(files.size());
    std::size_t compressedTotal = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        nebpack::CompressLzw(files[i].data(), files[i].size(), streams[i]);
        compressedTotal += streams[i].size();
    }
    std::printf("corpus: %zu files, %.1f MB (text %.1f, binary %.1f, compressed %.1f)\n",
                files.size(), total / 1e6, kinds[0] / 1e6, kinds[1] / 1e6, kinds[2] / 1e6);

    // The same bytes as one file for the external programs, each compressed once.
    char dir[] = "/tmp/nebcm-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string corpus = std::string(dir) + "/corpus";
    {
        Bytes joined;
        joined.reserve(total);
        for (const Bytes& f : files) {
            joined.insert(joined.end(), f.begin(), f.end());
        }
        if (!WriteFile(corpus, joined)) {
            std::perror("write corpus");
            return 2;
        }
    }
    std::vector<External> externals = {
        {"uncompress (ncompress)", "compress", "compress -c %s > %o",
         "compress -dc %s > /dev/null"},
        {"gzip -d", "gzip", "gzip -6 -c %s > %o", "gzip -dc %s > /dev/null"},
    };
    std::vector<std::string> packed;
    for (std::size_t k = 0; k < externals.size();) {
        const External& e = externals[k];
        std::string out = corpus + "." + e.program;
        double seconds = 0;
        long kib = 0;
        if (!Have(e.program) || !runner.Run(Fill(e.compress, corpus, out), seconds, kib)) {
            std::printf("%-22s not available\n", e.name);
            externals.erase(externals.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        packed.push_back(out);
        ++k;
    }

    // Rounds alternate between the decoders so that load from elsewhere on the machine hits
    // them alike; each keeps its best round. Lzw32 decodes every file's stream into a buffer of
    // the file's size; the programs decode the whole corpus to /dev/null.
    std::vector<Bytes> outputs(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        outputs[i].resize(files[i].size());
    }
    double best = 1e30;
    std::vector<double> bestExternal(externals.size(), 1e30);
    std::vector<long> peak(externals.size(), 0);
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (std::size_t i = 0; i < files.size(); ++i) {
            nebcm::Lzw32::Decompress(
                streams[i].data(), static_cast<std::uint32_t>(streams[i].size()), outputs[i].data(),
                static_cast<std::uint32_t>(files[i].size()));
        }
        best = std::min(best, Seconds(Clock::now() - start));
        for (std::size_t k = 0; k < externals.size(); ++k) {
            double seconds = 0;
            long kib = 0;
            if (!runner.Run(Fill(externals[k].decompress, packed[k], ""), seconds, kib)) {
                std::fprintf(stderr, "bench: %s failed\n", externals[k].name);
                return 1;
            }
            bestExternal[k] = std::min(bestExternal[k], seconds);
            peak[k] = std::max(peak[k], kib);
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (outputs[i] != files[i]) {
            std::fprintf(stderr, "bench: file %zu decoded wrongly\n", i);
            return 1;
        }
    }

    const double ours = total / best / 1e6;
    std::printf("best of %d rounds, MB/s of decompressed output:\n", rounds);
    std::printf("  %-22s %8.1f MB/s  compressed to %5.1f%%\n", "Lzw32::Decompress", ours,
                100.0 * compressedTotal / total);
    for (std::size_t k = 0; k < externals.size(); ++k) {
        const double theirs = total / bestExternal[k] / 1e6;
        std::printf("  %-22s %8.1f MB/s  compressed to %5.1f%%  peak RSS %6ld KiB"
                    "  Lzw32/this = %.2f\n",
                    externals[k].name, theirs, 100.0 * FileSize(packed[k]) / total, peak[k],
                    ours / theirs);
        std::remove(packed[k].c_str());
    }
    std::remove(corpus.c_str());
    rmdir(dir);
    runner.Stop();

    struct rusage self;
    getrusage(RUSAGE_SELF, &self);
    std::printf("peak RSS of this program: %ld KiB (corpus, streams and outputs held in memory)\n",
                self.ru_maxrss);
    return 0;
}
