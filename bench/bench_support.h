// Shared by the benchmarks: a generated mixed corpus (text, binary, already-compressed data) and a
// small runner process that times shell commands and reports their peak memory.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tools/nebpack/lzw_encoder.h"

namespace bench {

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
inline Bytes MakeText(std::size_t n, Random& r) {
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
inline Bytes MakeBinary(std::size_t n, Random& r) {
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
inline Bytes MakeCompressed(std::size_t n, Random& r) {
    Bytes out;
    while (out.size() < n) {
        Bytes text = MakeText(1 << 20, r);
        nebpack::CompressLzw(text.data(), text.size(), out);
    }
    out.resize(n);
    return out;
}

inline double Seconds(Clock::duration d) {
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

inline bool WriteFile(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

inline long FileSize(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

inline bool Have(const char* program) {
    std::string c = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(c.c_str()) == 0;
}

// Files of 1 KiB to 2 MiB, each a third text, binary or compressed at random, until `bytes` are
// reached; kinds[] receives the bytes of each kind.
inline std::vector<Bytes> MakeCorpus(std::size_t bytes, std::size_t kinds[3]) {
    Random r{0x9E3779B97F4A7C15ull};
    std::vector<Bytes> files;
    std::size_t total = 0;
    kinds[0] = kinds[1] = kinds[2] = 0;
    while (total < bytes) {
        std::size_t size = 1024u << r.Below(12);
        size = std::min<std::size_t>(size + r.Below(static_cast<std::uint32_t>(size)), 2u << 20);
        int kind = static_cast<int>(r.Below(3));
        files.push_back(kind == 0   ? MakeText(size, r)
                        : kind == 1 ? MakeBinary(size, r)
                                    : MakeCompressed(size, r));
        kinds[kind] += size;
        total += size;
    }
    return files;
}

} // namespace bench
