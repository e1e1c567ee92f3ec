// Measures the extension installation without pacing: a set of N files (default 500, 2000 and
// 8000) installed into a fresh platform, then installed again over itself (every file backed up,
// removed and written anew).
//
// usage: bench_install_extensions [-r RUNS] [-k KB] [FILES...]
// -k: files of about KB kilobytes on average (half to one and a half times it) of text-like data,
// instead of the small files of a repeated pattern; so "-k 100 2000" installs about 200 MB.
// Run under Wine. Works in C:\nebcm-bench and below HKEY_CURRENT_USER\Software\NebCMBench, and
// removes both afterwards; the procedure's journal and backups go to C:\nebcm-bench\rollback.
// Prints, per size, the median of RUNS (default 3) runs of each kind (every run reads the set
// anew, and "whole" counts that reading with the fresh installation), beside the floor: the same
// files written with bare system calls (each entry's data streamed as the installation reads it),
// and for the reinstall also copied to a backup and deleted first.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../../tools/nebpack/archive_writer.h"
#include "common/constants.h"
#include "engine/extension_installation.h"
#if __has_include("engine/journal.h")
#include "engine/journal.h"
#define BENCH_HAS_JOURNAL 1
#endif
#include "engine/machine_environment.h"
#include "engine/registry.h"

using namespace nebcm;

namespace {

const std::string Root = "C:\\nebcm-bench";
const std::string Installation = Root + "\\NEB\\20";
const std::string Shell = Root + "\\Shell";
const std::string TempDirectory = Root + "\\temp";
const std::string KeyRoot = "HKEY_CURRENT_USER\\Software\\NebCMBench";
const std::string JournalFolder = Root + "\\rollback";

class BenchMachine : public MachineEnvironment {
public:
    bool FindShellFolder(ShellFolder folder, std::string& path) override {
        static const char* const names[] = {"All Users\\Desktop",
                                            "User\\Desktop",
                                            "All Users\\Start Menu",
                                            "User\\Start Menu",
                                            "All Users\\Start Menu\\Programs",
                                            "User\\Start Menu\\Programs"};
        path = Shell + "\\" + names[static_cast<int>(folder)];
        return true;
    }
    std::string RegistryKey(const std::string& key) override { return KeyRoot + "\\" + key; }
};

using Clock = std::chrono::steady_clock;
Clock::time_point started;
std::vector<std::pair<std::string, double>> phases;

void Mark(const std::string& what) {
    phases.emplace_back(what,
                        std::chrono::duration<double, std::milli>(Clock::now() - started).count());
}

class SilentProgress : public ProgressReporter {
public:
    ~SilentProgress() override { Mark("end"); }
    void BeginActivity(int n) override { Mark(std::to_string(n)); }
    void SetActivityPercent(int) override {}
    void SetActivityStatus(int) override {}
    void SetActivityStatusText(const std::string&) override {}
    bool IsCancelled() override { return false; }
    void Pause(unsigned) override {}
};

class SilentUi : public ProcedureUi {
public:
    std::unique_ptr<ProgressReporter> OpenProgress(ProgressWindow) override {
        return std::make_unique<SilentProgress>();
    }
    bool RunInstallationWizard(std::unique_ptr<DistributionSet>&, Selection&) override {
        return false;
    }
    bool RunUninstallationWizard(const Configuration&, Selection&) override { return false; }
    void ShowInstallationComplete(const std::vector<std::string>&,
                                  const std::vector<std::string>&) override {}
    void ShowUninstallationComplete(const std::vector<std::string>&) override {}
    void ShowMessage(const std::string&, MessageIcon) override {}
};

void MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('\\', 3); slash != std::string::npos;
         slash = path.find('\\', slash + 1)) {
        ::CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    }
    ::CreateDirectoryA(path.c_str(), nullptr);
}

void WriteFile(const std::string& path, const void* data, std::size_t size) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
}

void WriteFile(const std::string& path, const std::string& content) {
    WriteFile(path, content.data(), content.size());
}

void DeleteTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((path + "\\*.*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            std::string entry = path + "\\" + name;
            ::SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(entry);
            } else {
                ::DeleteFileA(entry.c_str());
            }
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(path.c_str());
}

// A platform with nothing but its core.
void LayOutPlatform() {
    DeleteTree(Root);
    ErrorList errors;
    if (RegistryKeyExists(KeyRoot)) {
        DeleteRegistryKey(KeyRoot, nullptr, errors);
    }
    MakeDirectories(Installation + "\\bin");
    MakeDirectories(TempDirectory);
    BenchMachine machine;
    for (ShellFolder folder : AllShellFolders) {
        std::string path;
        machine.FindShellFolder(folder, path);
        MakeDirectories(path);
    }
    WriteFile(Installation + "\\NebCM.exe", "MZ");
    WriteFile(Installation + "\\bin\\njava.exe", "MZ");
    WriteFile(Installation + "\\neb.cdb",
              "[Core]\nVersion=2.00\nDescription=NEB Core\nCopyright=Tessaly\n"
              "File=bin/njava.exe\nBase=" +
                  Installation + "\nJavaDispatcher=bin/njava.exe\n\n");
    const std::string key = machine.RegistryKey(Platform20Key);
    CreateRegistryKey(key, nullptr, errors);
    WriteRegistryString(key, InstallationPathValue, Installation, nullptr, errors);
    WriteRegistryString(key, ComponentDatabaseValue, Installation + "\\neb.cdb", nullptr, errors);
}

std::size_t averageKb = 0; // 0: small files of a repeated pattern

// Text-like data of `size` bytes: words of a small vocabulary drawn at random, so that it packs to
// about half, as documentation and class files do.
void AppendText(std::vector<std::uint8_t>& data, std::size_t size, std::uint32_t& seed) {
    static const char* const words[] = {
        "class ", "public ", "void ",  "int ", "return ", "the ", "value ", "of ",        "string ",
        "\n",     "static ", "final ", "(",    ") ",      "{\n",  "}\n",    "java/lang/", "Object ",
        "; ",     "get",     "set",    "Name", "Size",    "0",    "1",      "= "};
    data.reserve(data.size() + size);
    const std::size_t end = data.size() + size;
    while (data.size() < end) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        const char* w = words[seed % (sizeof words / sizeof words[0])];
        if (seed % 7 == 0) {
            data.push_back(static_cast<std::uint8_t>('a' + (seed >> 8) % 26));
        }
        for (; *w != '\0' && data.size() < end; ++w) {
            data.push_back(static_cast<std::uint8_t>(*w));
        }
    }
}

// N files in applications of 100 files each, every application with one shortcut; file sizes
// vary from 200 bytes to about 2 KB, or around averageKb.
std::string WriteSet(std::size_t fileCount) {
    std::string database;
    std::vector<nebpack::ArchiveFile> files(1);
    files[0].name = ComponentDatabaseFile;
    std::uint32_t seed = 12345;
    for (std::size_t made = 0, app = 0; made < fileCount; ++app) {
        const std::string name = "app" + std::to_string(app);
        database += "[Application:" + name + "]\nVersion=1.00\nDescription=" + name +
                    "\nCopyright=Tessaly\nPackage=neb/bench\n";
        for (std::size_t f = 0; f < 100 && made < fileCount; ++f, ++made) {
            const std::string path = "apps/" + name + "/" + (f % 4 == 0 ? "lib/" : "") + "file" +
                                     std::to_string(f) + (f == 0 ? ".exe" : ".class");
            database += "File=" + path + (f == 0 ? ";Bench/" + name : "") + "\n";
            nebpack::ArchiveFile file;
            file.name = path;
            std::replace(file.name.begin(), file.name.end(), '/', '\\');
            seed = seed * 1103515245u + 12345u;
            if (averageKb != 0) {
                const std::size_t average = averageKb * 1024;
                std::uint32_t textSeed = seed | 1;
                AppendText(file.data, average / 2 + (seed >> 8) % average, textSeed);
                files.push_back(std::move(file));
                continue;
            }
            std::size_t size = 200 + (seed >> 16) % 1800;
            for (std::size_t b = 0; b < size; ++b) {
                file.data.push_back(static_cast<std::uint8_t>("abcdefgh\n"[(b * 7 + f) % 9]));
            }
            files.push_back(std::move(file));
        }
        database += "\n";
    }
    files[0].data.assign(database.begin(), database.end());
    std::vector<std::uint8_t> bytes = nebpack::BuildArchive(files);
    files.clear();
    files.shrink_to_fit();
    const std::string path = Root + "-set.nds";
    WriteFile(path, bytes.data(), bytes.size());
    return path;
}

double Install(DistributionSet& set) {
    Selection all;
    for (std::size_t i = 0; i < set.MergedConfiguration().Count(); ++i) {
        all.insert(&set.MergedConfiguration().At(i));
    }
    SilentUi ui;
    ErrorList errors;
    auto start = std::chrono::steady_clock::now();
    started = start;
    phases.clear();
    ProcedureResult result = InstallExtensions(ui, set, all, errors);
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (std::getenv("BENCH_PHASES") != nullptr) {
        for (const auto& [what, at] : phases) {
            std::fprintf(stderr, " %s@%.0f", what.c_str(), at);
        }
        std::fprintf(stderr, " total %.0f\n", ms);
    }
    if (result != ProcedureResult::Succeeded) {
        std::fprintf(stderr, "installation failed: %s\n",
                     errors.Empty() ? "(no message)" : errors.At(0).c_str());
        std::exit(1);
    }
    return ms;
}

// The entry's data read through its stream in pieces, as the installation copies it.
void WriteWhole(const std::string& path, const ArchiveEntry& entry) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    std::unique_ptr<DataInputStream> stream = entry.OpenStream();
    static std::uint8_t buffer[64 * 1024];
    DWORD written = 0;
    for (std::uint32_t n; (n = stream->Read(buffer, sizeof buffer)) != 0;) {
        ::WriteFile(file, buffer, n, &written, nullptr);
    }
    ::CloseHandle(file);
}

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Floor {
    double fresh = 0; // the files written into empty folders
    double again = 0; // each file copied to a backup, deleted and written anew
};

// The floor under the installation: the same files written with bare system calls; then, as a
// reinstall does, every file copied to a numbered backup in one folder, deleted and written again.
Floor WriteRaw(const DistributionSet& set) {
    const std::string base = Root + "\\raw";
    const std::string backups = Root + "\\raw-backup";
    DeleteTree(base);
    DeleteTree(backups);
    Floor floor;
    auto start = Clock::now();
    std::string made;
    for (std::size_t i = 0; i < set.EntryCount(); ++i) {
        const ArchiveEntry& entry = set.EntryAt(i);
        std::string path = base + "\\" + entry.Name();
        std::string directory = path.substr(0, path.rfind('\\'));
        if (directory != made) {
            MakeDirectories(directory);
            made = directory;
        }
        WriteWhole(path, entry);
    }
    floor.fresh = Since(start);
    MakeDirectories(backups);
    start = Clock::now();
    for (std::size_t i = 0; i < set.EntryCount(); ++i) {
        const ArchiveEntry& entry = set.EntryAt(i);
        std::string path = base + "\\" + entry.Name();
        std::string backup = backups + "\\" + std::to_string(i) + ".bak";
        ::CopyFileA(path.c_str(), backup.c_str(), TRUE);
        ::DeleteFileA(path.c_str());
        WriteWhole(path, entry);
    }
    floor.again = Since(start);
    DeleteTree(base);
    DeleteTree(backups);
    return floor;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "-r" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        if (std::string(argv[i]) == "-k" && i + 1 < argc) {
            averageKb = static_cast<std::size_t>(std::max(0, std::atoi(argv[++i])));
            continue;
        }
        sizes.push_back(static_cast<std::size_t>(std::strtoul(argv[i], nullptr, 10)));
    }
    if (sizes.empty()) {
        sizes = {500, 2000, 8000};
    }
    ::CoInitialize(nullptr);
    BenchMachine machine;
    SetMachineEnvironment(&machine);
    ::SetEnvironmentVariableA("TMP", TempDirectory.c_str());
    ::SetEnvironmentVariableA("TEMP", TempDirectory.c_str());
#ifdef BENCH_HAS_JOURNAL
    SetJournalDirectory(JournalFolder);
#endif

    // One word per column, so that scripts find the columns by their heads. read-ms: reading and
    // checking the set; wholeMB/s: the payload over reading the set and the fresh installation.
    std::printf("%6s %9s %9s %9s %9s %9s %9s %9s | %9s %9s %9s %9s\n", "files", "MB", "read-ms",
                "floor-ms", "fresh-ms", "files/s", "MB/s", "wholeMB/s", "floor-ms", "again-ms",
                "files/s", "MB/s");
    bool journalled = false;
    for (std::size_t n : sizes) {
        LayOutPlatform();
        const std::string setPath = WriteSet(n);
        std::unique_ptr<DistributionSet> set;
        double mb = 0;
        std::vector<double> read, fresh, again, rawFresh, rawAgain;
        for (int run = 0; run < runs; ++run) {
            // Every run reads the set anew: a whole installation reads and checks it first.
            set.reset();
            ErrorList errors;
            const auto start = Clock::now();
            set = ReadDistributionSet(setPath, errors);
            read.push_back(Since(start));
            if (!set) {
                std::fprintf(stderr, "set not read: %s\n",
                             errors.Empty() ? "" : errors.At(0).c_str());
                return 1;
            }
            std::uint64_t bytes = 0;
            for (std::size_t e = 0; e < set->EntryCount(); ++e) {
                bytes += set->EntryAt(e).Size();
            }
            mb = bytes / 1e6;
            Floor floor = WriteRaw(*set);
            rawFresh.push_back(floor.fresh);
            rawAgain.push_back(floor.again);
            LayOutPlatform();
            fresh.push_back(Install(*set));
            // The journal's folder is made by the procedure and outlives it.
            journalled = journalled ||
                         ::GetFileAttributesA(JournalFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
            again.push_back(Install(*set));
        }
        std::vector<double> whole;
        for (int run = 0; run < runs; ++run) {
            whole.push_back(read[run] + fresh[run]);
        }
        const double r = Median(read), f = Median(fresh), w = Median(whole), a = Median(again);
        std::printf("%6zu %9.1f %9.0f %9.0f %9.0f %9.0f %9.2f %9.2f | %9.0f %9.0f %9.0f %9.2f\n", n,
                    mb, r, Median(rawFresh), f, n / f * 1000.0, mb / f * 1000.0, mb / w * 1000.0,
                    Median(rawAgain), a, n / a * 1000.0, mb / a * 1000.0);
        std::fflush(stdout);
        set.reset();
        ::DeleteFileA(setPath.c_str());
    }
    std::printf("journal: %s\n", journalled ? JournalFolder.c_str() : "none");
    DeleteTree(Root);
    ErrorList errors;
    DeleteRegistryKey(KeyRoot, nullptr, errors);
    SetMachineEnvironment(nullptr);
    ::CoUninitialize();
    return 0;
}
