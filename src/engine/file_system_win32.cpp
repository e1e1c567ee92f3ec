// Path, disk-space, shell-folder and process helpers and the directory walk, on the Win32 API.
#include "engine/file_system.h"

#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "io/io_exceptions.h"
#include "io/streams.h"
#include "platform/handles_win32.h"

namespace nebcm {

std::string FullPath(const std::string& path) {
    if (path.empty()) {
        return std::string();
    }
    char buffer[MAX_PATH + 1] = {};
    char* filePart = nullptr;
    DWORD length = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &filePart);
    if (length == 0 || length > MAX_PATH) {
        return std::string();
    }
    return std::string(buffer, length);
}

std::string DirectoryOf(const std::string& path) {
    std::string::size_type slash = path.rfind('\\');
    if (slash == std::string::npos) {
        return std::string();
    }
    std::string directory = path.substr(0, slash);
    if (!directory.empty() && directory.back() == ':') {
        directory += '\\';
    }
    return directory;
}

std::string WithoutTrailingBackslash(std::string path) {
    while (path.size() > 1 && path.back() == '\\' && path[path.size() - 2] != ':') {
        path.pop_back();
    }
    return path;
}

std::string JoinPath(const std::string& a, const std::string& b) {
    bool aEnds = !a.empty() && a.back() == '\\';
    bool bBegins = !b.empty() && b.front() == '\\';
    if (aEnds && bBegins) {
        return a + b.substr(1);
    }
    if (aEnds || bBegins) {
        return a + b;
    }
    return a + "\\" + b;
}

std::string QuoteArgument(const std::string& s) {
    std::string quoted = "\"";
    for (char c : s) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    quoted += '"';
    return quoted;
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsDirectory(const std::string& path) {
    DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool QueryFileSize(const std::string& path, std::uint64_t& size) {
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    DWORD high = 0;
    DWORD low = ::GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) {
        return false;
    }
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
}

namespace {

std::string DriveRoot(char drive) {
    char root[8];
    std::snprintf(root, sizeof root, "%c:\\", drive);
    return root;
}

} // namespace

bool QueryFreeSpace(char drive, std::uint64_t& bytes) {
    std::string root = DriveRoot(drive);
    // The extended query came with later releases of the 95 family; the classic one misreports
    // drives above 2 GB there, so the extended one is used wherever the system has it.
    using ExtendedQuery = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    if (kernel != nullptr) {
        auto query = reinterpret_cast<ExtendedQuery>(
            reinterpret_cast<void*>(::GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
        ULARGE_INTEGER available, total, free;
        if (query != nullptr && query(root.c_str(), &available, &total, &free)) {
            bytes = available.QuadPart;
            return true;
        }
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &clusters)) {
        return false;
    }
    bytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    return true;
}

bool QueryClusterSize(char drive, std::uint32_t& bytes) {
    std::string root = DriveRoot(drive);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                             &clusters)) {
        return false;
    }
    bytes = sectorsPerCluster * bytesPerSector;
    return true;
}

std::string FormatByteSize(std::uint64_t size) {
    static const char* const units[] = {"B", "KB", "MB", "GB"};
    const int unitCount = sizeof units / sizeof units[0];
    int unit = 0;
    std::uint64_t hundredths = 0;
    while (size >= 1024 && unit + 1 < unitCount) {
        hundredths = (size % 1024) * 100 / 1024;
        size /= 1024;
        ++unit;
    }
    char number[32];
    if (unit > 0 && size < 10) {
        std::snprintf(number, sizeof number, "%d.%02d", static_cast<int>(size),
                      static_cast<int>(hundredths));
    } else {
        std::snprintf(number, sizeof number, "%llu", static_cast<unsigned long long>(size));
    }
    return std::string(number) + " " + units[unit];
}

bool FreeSpaceText(char drive, std::string& text) {
    std::uint64_t bytes = 0;
    if (!QueryFreeSpace(drive, bytes)) {
        return false;
    }
    text = FormatByteSize(bytes);
    return true;
}

bool DefaultInstallationRoot(std::string& path) {
    path = "C:\\Program Files";
    return true;
}

namespace {

bool ShellFolder(int folder, std::string& path) {
    ItemList items;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, folder, items.put())) || !items) {
        return false;
    }
    char buffer[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListA(items.get(), buffer)) {
        return false;
    }
    path = buffer;
    return true;
}

} // namespace

bool StartMenuFolder(std::string& path) {
    return ShellFolder(CSIDL_STARTMENU, path);
}
bool ProgramsFolder(std::string& path) {
    return ShellFolder(CSIDL_PROGRAMS, path);
}
bool DesktopFolder(std::string& path) {
    return ShellFolder(CSIDL_DESKTOPDIRECTORY, path);
}
bool CommonStartMenuFolder(std::string& path) {
    return ShellFolder(CSIDL_COMMON_STARTMENU, path);
}
bool CommonProgramsFolder(std::string& path) {
    return ShellFolder(CSIDL_COMMON_PROGRAMS, path);
}
bool CommonDesktopFolder(std::string& path) {
    return ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY, path);
}

bool StartProcess(const std::string& program, const std::string& arguments) {
    std::string full = FullPath(program);
    if (full.empty()) {
        return false;
    }
    std::string commandLine = QuoteArgument(full);
    if (!arguments.empty()) {
        commandLine += ' ';
        commandLine += arguments;
    }
    std::string directory = DirectoryOf(full);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &started)) {
        return false;
    }
    KernelHandle process(started.hProcess);
    KernelHandle thread(started.hThread);
    return true;
}

namespace {

// How deep the walk in progress is; Begin and End belong to the outermost directory only.
int walkDepth = 0;

// The directories the walk is inside, by volume and file index, so that a link back to one of
// them (a loop a disk search would never leave) is not entered again. Empty identities (systems
// that cannot open a directory) are never compared.
std::vector<FileIdentity> walkChain;

// Leaves one level of the walk on every way out of it.
struct DepthLevel {
    explicit DepthLevel(const FileIdentity& identity) {
        ++walkDepth;
        walkChain.push_back(identity);
    }
    ~DepthLevel() {
        --walkDepth;
        walkChain.pop_back();
    }
    DepthLevel(const DepthLevel&) = delete;
    DepthLevel& operator=(const DepthLevel&) = delete;
};

bool WalkContents(const std::string& directory, DirectoryVisitor& visitor, WalkOrder order) {
    const std::string pattern = JoinPath(directory, "*.*");
    if (pattern.size() >= MAX_PATH) {
        // Too deep to be listed at all: what it holds cannot be seen, let alone reached.
        return visitor.VisitUnreachable(directory, true);
    }
    WIN32_FIND_DATAA found;
    FindHandle find(::FindFirstFileA(pattern.c_str(), &found));
    if (!find) {
        return true;
    }
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const bool isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        std::string entry;
        bool goOn = true;
        if (!ListedEntryPath(directory, name, found.cAlternateFileName, entry)) {
            goOn = visitor.VisitUnreachable(JoinPath(directory, name), isDirectory);
        } else if (!isDirectory) {
            goOn = visitor.VisitFile(entry);
        } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A junction stands for a folder elsewhere: the walk neither searches nor empties
            // what it points to, but the link itself is visited (deleting removes just the link).
            goOn = visitor.VisitDirectory(entry);
        } else {
            const FileIdentity identity = IdentityOf(entry);
            if (std::find(walkChain.begin(), walkChain.end(), identity) == walkChain.end()) {
                goOn = WalkDirectory(entry, visitor, order);
            }
        }
        if (!goOn) {
            return false;
        }
    } while (::FindNextFileA(find.get(), &found));
    return true;
}

} // namespace

bool DirectoryVisitor::VisitUnreachable(const std::string&, bool) {
    return true;
}

bool ListedEntryPath(const std::string& directory, const std::string& name,
                     const std::string& alternate, std::string& path) {
    // '?' and '*' never occur in a real name: they stand for characters the conversion lost. The
    // longest path the system opens has MAX_PATH - 1 characters.
    auto usable = [&directory](const std::string& candidate, std::string& joined) {
        if (candidate.empty() || candidate.find_first_of("?*") != std::string::npos) {
            return false;
        }
        joined = JoinPath(directory, candidate);
        return joined.size() < MAX_PATH;
    };
    std::string byName, byAlternate;
    const bool nameUsable = usable(name, byName);
    const bool alternateUsable = usable(alternate, byAlternate);
    // A character the code page lacks may also come out as a similar one ("a" for alpha), which
    // yields a name that opens nothing: then the short name is the way in.
    if (nameUsable && (!alternateUsable || PathExists(byName))) {
        path = std::move(byName);
        return true;
    }
    if (alternateUsable) {
        path = std::move(byAlternate);
        return true;
    }
    return false;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::string fullA = FullPath(a);
    std::string fullB = FullPath(b);
    if (fullA.empty() || fullB.empty()) {
        return false;
    }
    const FileIdentity identityA = IdentityOf(fullA);
    const FileIdentity identityB = IdentityOf(fullB);
    if (identityA.known && identityB.known) {
        return identityA == identityB;
    }
    return ::lstrcmpiA(fullA.c_str(), fullB.c_str()) == 0;
}

bool WalkDirectory(const std::string& path, DirectoryVisitor& visitor, WalkOrder order) {
    std::string directory = WithoutTrailingBackslash(FullPath(path));
    if (directory.empty() || !IsDirectory(directory)) {
        return false;
    }
    bool outermost = walkDepth == 0;
    if (outermost && !visitor.Begin()) {
        return false;
    }
    {
        DepthLevel level(IdentityOf(directory));
        if (order == WalkOrder::DirectoriesFirst && !visitor.VisitDirectory(directory)) {
            return false;
        }
        if (!WalkContents(directory, visitor, order)) {
            return false;
        }
        if (order == WalkOrder::DirectoriesLast && !visitor.VisitDirectory(directory)) {
            return false;
        }
    }
    return outermost ? visitor.End() : true;
}

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity identity;
    FileHandle handle(::CreateFileA(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle && ::GetFileInformationByHandle(handle.get(), &info)) {
        identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
    }
    return identity;
}

bool ReadFileBytes(const std::string& path, std::string& contents) {
    try {
        FileInputStream in(path);
        std::uint8_t buffer[StreamBufferSize];
        std::uint32_t read = 0;
        while ((read = in.Read(buffer, sizeof buffer)) > 0) {
            contents.append(reinterpret_cast<const char*>(buffer), read);
        }
        in.Close();
        return true;
    } catch (const IOException&) {
        return false;
    }
}

} // namespace nebcm
