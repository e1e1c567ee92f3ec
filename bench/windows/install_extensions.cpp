// Measures the extension installation without pacing: a set of N files (default 500, 2000 and
// 8000) installed into a fresh platform, then installed again over itself (every file backed up,
// removed and written anew).
//
// usage: bench_install_extensions [FILES...]
// Run under Wine. Works in C:\nebcm-bench and below HKEY_CURRENT_USER\Software\NebCMBench, and
// removes both afterwards. Prints, per size, the best of three runs of each kind.
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
#include "engine/machine_environment.h"
#include "engine/registry.h"

using namespace nebcm;

namespace {

const std::string Root = "C:\\nebcm-bench";
const std::string Installation = Root + "\\NEB\\20";
const std::string Shell = Root + "\\Shell";
const std::string TempDirectory = Root + "\\temp";
const std::string KeyRoot = "HKEY_CURRENT_USER\\Software\\NebCMBench";

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

void WriteFile(const std::string& path, const std::string& content) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
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
              "[Core]\nVersion=2.00\nDescription=NEB Core\nCopyright=Tessaly\nFile=NebCM.exe\n"
              "File=bin/njava.exe\nBase=" +
                  Installation + "\nJavaDispatcher=bin/njava.exe\n\n");
    const std::string key = machine.RegistryKey(Platform20Key);
    CreateRegistryKey(key, nullptr, errors);
    WriteRegistryString(key, InstallationPathValue, Installation, nullptr, errors);
    WriteRegistryString(key, ComponentDatabaseValue, Installation + "\\neb.cdb", nullptr, errors);
}

// N files in applications of 100 files each, every application with one shortcut; file sizes
// vary from 200 bytes to about 2 KB.
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
    const std::string path = Root + "-set.nds";
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
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

// The floor under the installation: the same files written with bare system calls.
double WriteRaw(const DistributionSet& set) {
    const std::string base = Root + "\\raw";
    DeleteTree(base);
    auto start = std::chrono::steady_clock::now();
    std::string made;
    for (std::size_t i = 0; i < set.EntryCount(); ++i) {
        const ArchiveEntry& entry = set.EntryAt(i);
        std::string path = base + "\\" + entry.Name();
        std::string directory = path.substr(0, path.rfind('\\'));
        if (directory != made) {
            MakeDirectories(directory);
            made = directory;
        }
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        ::WriteFile(file, entry.Bytes().data(), entry.Size(), &written, nullptr);
        ::CloseHandle(file);
    }
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    DeleteTree(base);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i) {
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

    std::printf("%8s %10s %12s %12s %10s %14s %12s %10s\n", "files", "raw ms", "install ms",
                "files/s", "us/file", "reinstall ms", "files/s", "us/file");
    for (std::size_t n : sizes) {
        LayOutPlatform();
        const std::string setPath = WriteSet(n);
        ErrorList errors;
        std::unique_ptr<DistributionSet> set = ReadDistributionSet(setPath, errors);
        if (!set) {
            std::fprintf(stderr, "set not read: %s\n", errors.Empty() ? "" : errors.At(0).c_str());
            return 1;
        }
        double fresh = 1e30, again = 1e30, raw = 1e30;
        for (int run = 0; run < 3; ++run) {
            raw = std::min(raw, WriteRaw(*set));
            LayOutPlatform();
            fresh = std::min(fresh, Install(*set));
            again = std::min(again, Install(*set));
        }
        std::printf("%8zu %10.0f %12.0f %12.0f %10.1f %14.0f %12.0f %10.1f\n", n, raw, fresh,
                    n / fresh * 1000.0, fresh * 1000.0 / n, again, n / again * 1000.0,
                    again * 1000.0 / n);
        std::fflush(stdout);
        ::DeleteFileA(setPath.c_str());
    }
    DeleteTree(Root);
    ErrorList errors;
    DeleteRegistryKey(KeyRoot, nullptr, errors);
    SetMachineEnvironment(nullptr);
    ::CoUninitialize();
    return 0;
}
