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
#include "io/lzw32.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Random {
    std::uint64_t s;
    std::uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 16);
    }
    std::uint32_t Below(std::uint32_t n) { return Next() % n; }
};

// Prose-like text: words of a generated vocabulary drawn with a skewed distribution, sentences
// and lines.
Bytes MakeText(std::size_t n, Random& r) {
    std::vector<std::string> words;
    const char* letters = "etaoinshrdlcumwfgypbvkjxqz";
    for (int i = 0; i < 3000; ++i) {
        std::string w;
        int len = 1 + static_cast<int>(r.Below(4) + r.Below(5));
        for (int k = 0; k < len; ++k) {
            w += letters[std::min(r.Below(26), r.Below(26))];
        }
        words.push_back(w);
    }
    Bytes out;
    out.reserve(n);
    std::size_t column = 0;
    bool capital = true;
    while (out.size() < n) {
        std::uint32_t a = r.Below(3000), b = r.Below(3000);
        std::string w = words[std::min(a, b) * std::min(a, b) / 3000];
        if (capital) {
            w[0] = static_cast<char>(w[0] - 32);
            capital = false;
        }
        out.insert(out.end(), w.begin(), w.end());
        column += w.size() + 1;
        if (r.Below(12) == 0) {
            out.push_back('.');
            capital = true;
        } else if (r.Below(15) == 0) {
            out.push_back(',');
        }
        if (column > 70) {
            out.push_back('\r');
            out.push_back('\n');
            column = 0;
        } else {
            out.push_back(' ');
        }
    }
    out.resize(n);
    return out;
}

// Binary-like data: records of counters, small deltas, fixed tags, zero padding, some noise.
Bytes MakeBinary(std::size_t n, Random& r) {
    Bytes out;
    out.reserve(n + 64);
    std::uint32_t counter = r.Next();
    while (out.size() < n) {
        const char tag[] = "REC\x01";
        out.insert(out.end(), tag, tag + 4);
        counter += 1 + r.Below(4);
        for (int k = 0; k < 4; ++k) {
            out.push_back(static_cast<std::uint8_t>(counter >> (8 * k)));
        }
        std::int32_t value = static_cast<std::int32_t>(r.Below(200)) - 100;
        for (int k = 0; k < 4; ++k) {
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * k)));
        }
        std::uint32_t pad = r.Below(8);
        out.insert(out.end(), pad, 0);
        if (r.Below(4) == 0) {
            for (int k = 0; k < 6; ++k) {
                out.push_back(static_cast<std::uint8_t>(r.Next()));
            }
        }
    }
    out.resize(n);
    return out;
}

// Data that is already compressed: LZW output of more text, nearly incompressible again.
Bytes MakeCompressed(std::size_t n, Random& r) {
    Bytes out;
    while (out.size() < n) {
        Bytes text = MakeText(1 << 20, r);
        nebpack::CompressLzw(text.data(), text.size(), out);
    }
    out.resize(n);
    return out;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs shell commands for the benchmark from a small process forked before the corpus exists:
// a child forked from the big benchmark process would report the benchmark's own memory as its
// peak RSS.
class Runner {
public:
    bool Start() {
        if (pipe(toRunner_) != 0 || pipe(fromRunner_) != 0) {
            return false;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(toRunner_[1]);
            close(fromRunner_[0]);
            Serve(toRunner_[0], fromRunner_[1]);
            _exit(0);
        }
        close(toRunner_[0]);
        close(fromRunner_[1]);
        return pid_ > 0;
    }
    // Wall time and the command's peak RSS in KiB.
    bool Run(const std::string& command, double& seconds, long& peakKiB) {
        std::uint32_t n = static_cast<std::uint32_t>(command.size());
        if (write(toRunner_[1], &n, sizeof n) != sizeof n ||
            write(toRunner_[1], command.data(), n) != static_cast<ssize_t>(n)) {
            return false;
        }
        Result r;
        if (read(fromRunner_[0], &r, sizeof r) != sizeof r) {
            return false;
        }
        seconds = r.seconds;
        peakKiB = r.peakKiB;
        return r.ok;
    }
    void Stop() {
        close(toRunner_[1]);
        int status;
        waitpid(pid_, &status, 0);
    }

private:
    struct Result {
        double seconds;
        long peakKiB;
        bool ok;
    };
    static void Serve(int in, int out) {
        std::uint32_t n;
        while (read(in, &n, sizeof n) == sizeof n) {
            std::string command(n, '\0');
            if (read(in, &command[0], n) != static_cast<ssize_t>(n)) {
                return;
            }
            Result r{0, 0, false};
            auto start = Clock::now();
            pid_t pid = fork();
            if (pid == 0) {
                execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            struct rusage usage;
            if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
                r.seconds = Seconds(Clock::now() - start);
                r.peakKiB = usage.ru_maxrss;
                r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            if (write(out, &r, sizeof r) != sizeof r) {
                return;
            }
        }
    }
    int toRunner_[2] = {-1, -1};
    int fromRunner_[2] = {-1, -1};
    pid_t pid_ = -1;
};

bool WriteFile(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

bool Have(const char* program) {
    std::string c = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(c.c_str()) == 0;
}

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
    Random r{0x9E3779B97F4A7C15ull};
    std::vector<Bytes> files;
    std::size_t total = 0;
    std::size_t kinds[3] = {0, 0, 0};
    while (total < megabytes << 20) {
        std::size_t size = 1024u << r.Below(12);
        size = std::min<std::size_t>(size + r.Below(static_cast<std::uint32_t>(size)), 2u << 20);
        int kind = static_cast<int>(r.Below(3));
        files.push_back(kind == 0   ? MakeText(size, r)
                        : kind == 1 ? MakeBinary(size, r)
                                    : MakeCompressed(size, r));
        kinds[kind] += size;
        total += size;
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
