// Runs a command line as a child process and reports its wall time, exit code and peak memory as
// the system counts it (GetProcessMemoryInfo): peak private bytes (PeakPagefileUsage) and peak
// working set (PeakWorkingSetSize). The child is polled every few milliseconds until it ends,
// because the counters may only be readable while it lives; the highest peaks read are kept. Beside
// the reported peaks it prints the largest current values it saw itself, so a system that does not
// keep the peaks shows it.
//
// usage: bench_peak_memory [-i MS] [-o FILE] [-H] COMMAND LINE...
//        bench_peak_memory -alloc COMMIT_MB TOUCH_MB   (a child of known size, to calibrate)
// -i: poll interval (default 5 ms); -o: the child's standard output and error (default NUL);
// -H: print the column heads first. Prints one row:
//   seconds exit peak-private-KiB peak-ws-KiB seen-private-KiB seen-ws-KiB polls after-exit last
// where after-exit is what a read after the child ended gave ("failed" or the two peaks) and last
// the two peaks of the last read that gave any figures, which shows whether the peaks are kept.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The command line after the program's own name and options, exactly as it was written, so that
// quoting reaches the child unchanged.
const char* SkipToken(const char* p) {
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    bool quoted = false;
    for (; *p != '\0' && (quoted || (*p != ' ' && *p != '\t')); ++p) {
        if (*p == '"') {
            quoted = !quoted;
        }
    }
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return p;
}

// A child that commits and touches known amounts, then waits a little so it can be polled.
int Allocate(int commitMb, int touchMb) {
    const SIZE_T commit = static_cast<SIZE_T>(commitMb) << 20;
    auto* p = static_cast<char*>(::VirtualAlloc(nullptr, commit, MEM_COMMIT, PAGE_READWRITE));
    if (p == nullptr) {
        return 3;
    }
    const SIZE_T touch = std::min<SIZE_T>(commit, static_cast<SIZE_T>(touchMb) << 20);
    for (SIZE_T i = 0; i < touch; i += 4096) {
        p[i] = 1;
    }
    ::Sleep(300);
    ::VirtualFree(p, 0, MEM_RELEASE);
    ::Sleep(300);
    return 0;
}

SIZE_T KiB(SIZE_T bytes) {
    return bytes / 1024;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "-alloc") == 0) {
        return Allocate(std::atoi(argv[2]), std::atoi(argv[3]));
    }
    DWORD interval = 5;
    const char* output = "NUL";
    bool heads = false;
    const char* rest = SkipToken(::GetCommandLineA());
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-i" && i + 1 < argc) {
            interval = static_cast<DWORD>(std::max(1, std::atoi(argv[++i])));
            rest = SkipToken(SkipToken(rest));
        } else if (a == "-o" && i + 1 < argc) {
            output = argv[++i];
            rest = SkipToken(SkipToken(rest));
        } else if (a == "-H") {
            heads = true;
            rest = SkipToken(rest);
        } else {
            break;
        }
    }
    if (heads) {
        std::printf("%8s %5s %12s %12s %12s %12s %6s %s %s\n", "seconds", "exit", "peakpriv KiB",
                    "peakws KiB", "seenpriv KiB", "seenws KiB", "polls", "after-exit", "last");
    }
    if (i >= argc) {
        std::fflush(stdout);
        return heads ? 0 : 2;
    }

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = ::CreateFileA(output, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::string commandLine = rest;
    PROCESS_INFORMATION child = {};
    const DWORD began = ::GetTickCount();
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &child)) {
        std::fprintf(stderr, "bench_peak_memory: cannot start %s (error %lu)\n", rest,
                     ::GetLastError());
        return 2;
    }
    ::CloseHandle(child.hThread);

    PROCESS_MEMORY_COUNTERS last = {}, seen = {}, lastFigures = {};
    unsigned polls = 0;
    for (;;) {
        const DWORD waited = ::WaitForSingleObject(child.hProcess, interval);
        PROCESS_MEMORY_COUNTERS now = {};
        now.cb = sizeof now;
        if (waited == WAIT_TIMEOUT && ::GetProcessMemoryInfo(child.hProcess, &now, sizeof now)) {
            // A process on its way out may read as all zeros: the peaks are kept, not replaced.
            last.PeakPagefileUsage = std::max(last.PeakPagefileUsage, now.PeakPagefileUsage);
            last.PeakWorkingSetSize = std::max(last.PeakWorkingSetSize, now.PeakWorkingSetSize);
            if (now.PeakWorkingSetSize != 0 || now.PeakPagefileUsage != 0) {
                lastFigures = now;
            }
            seen.PagefileUsage = std::max(seen.PagefileUsage, now.PagefileUsage);
            seen.WorkingSetSize = std::max(seen.WorkingSetSize, now.WorkingSetSize);
            ++polls;
        }
        if (waited != WAIT_TIMEOUT) {
            break;
        }
    }
    const double seconds = (::GetTickCount() - began) / 1000.0;
    DWORD code = 0;
    ::GetExitCodeProcess(child.hProcess, &code);
    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    char afterText[64] = "failed";
    if (::GetProcessMemoryInfo(child.hProcess, &after, sizeof after)) {
        std::snprintf(afterText, sizeof afterText, "%lu/%lu",
                      static_cast<unsigned long>(KiB(after.PeakPagefileUsage)),
                      static_cast<unsigned long>(KiB(after.PeakWorkingSetSize)));
        last.PeakPagefileUsage = std::max(last.PeakPagefileUsage, after.PeakPagefileUsage);
        last.PeakWorkingSetSize = std::max(last.PeakWorkingSetSize, after.PeakWorkingSetSize);
    }
    ::CloseHandle(child.hProcess);
    if (out != INVALID_HANDLE_VALUE) {
        ::CloseHandle(out);
    }
    std::printf("%8.2f %5lu %12lu %12lu %12lu %12lu %6u %s %lu/%lu\n", seconds,
                static_cast<unsigned long>(code),
                static_cast<unsigned long>(KiB(last.PeakPagefileUsage)),
                static_cast<unsigned long>(KiB(last.PeakWorkingSetSize)),
                static_cast<unsigned long>(KiB(seen.PagefileUsage)),
                static_cast<unsigned long>(KiB(seen.WorkingSetSize)), polls, afterText,
                static_cast<unsigned long>(KiB(lastFigures.PeakPagefileUsage)),
                static_cast<unsigned long>(KiB(lastFigures.PeakWorkingSetSize)));
    std::fflush(stdout);
    return 0;
}
