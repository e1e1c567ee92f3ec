// The protected folders of the machine and the check of a chosen installation directory against
// them, by the place the system opens rather than by the text.
#include "engine/protected_directories.h"

#include <windows.h>

#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/installed_configuration.h"
#include "engine/machine_environment.h"
#include "model/validator.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

// Two spellings of one folder (a short name, a link) have one identity; a missing folder has
// none.
FileIdentity FolderIdentityOf(const std::string& path) {
    return IsDirectory(path) ? IdentityOf(path) : FileIdentity();
}

std::string Resolved(const std::string& path) {
    return WithoutTrailingBackslash(FullPath(path));
}

// A drive path ("C:\...") or a network one ("\\server\..."); the shell names some folders by a
// class identifier instead ("::{...}"), which no installation directory can be.
bool IsFileSystemPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           path.compare(0, 2, "\\\\") == 0;
}

// A drive ("C:\"), a network share ("\\server\share") or a name in the device space ("\\.\",
// "\\?\"): nothing of which a whole could be emptied safely.
bool IsVolumeRoot(const std::string& full) {
    if (full.back() == '\\') {
        return true; // only a drive root keeps its backslash
    }
    if (full.compare(0, 4, "\\\\?\\") == 0 || full.compare(0, 4, "\\\\.\\") == 0) {
        return true;
    }
    if (full.compare(0, 2, "\\\\") == 0) {
        const std::string::size_type server = full.find('\\', 2);
        return server == std::string::npos || full.find('\\', server + 1) == std::string::npos;
    }
    return false;
}

// The path as the file system names it: every name without the dots and blanks at its end, which
// the system drops when it opens the path.
std::string Folded(const std::string& path) {
    std::string folded;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string name = path.substr(start, end - start);
        if (name != "." && name != "..") {
            while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
                name.pop_back();
            }
        }
        folded += name;
        if (end < path.size()) {
            folded += '\\';
        }
        start = end + 1;
    }
    return folded;
}

// The absolute path with every name that exists spelt as the directory lists it, so that a short
// name ("PROGRA~1") reads as its long one where a directory cannot be opened for its identity
// (Windows 95). The names from the first missing one on are kept as they are.
std::string LongForm(const std::string& full) {
    if (full.find_first_of("*?") != std::string::npos) {
        return full;
    }
    std::string::size_type end = full.find('\\', full.compare(0, 2, "\\\\") == 0 ? 2 : 0);
    if (end == std::string::npos) {
        return full;
    }
    std::string spelt = full.substr(0, end);
    while (end < full.size()) {
        const std::string::size_type start = end + 1;
        end = full.find('\\', start);
        if (end == std::string::npos) {
            end = full.size();
        }
        const std::string name = full.substr(start, end - start);
        WIN32_FIND_DATAA found;
        FindHandle find(::FindFirstFileA((spelt + '\\' + name).c_str(), &found));
        if (!find || name == "." || name == "..") {
            return spelt + full.substr(start - 1);
        }
        spelt += '\\';
        spelt += found.cFileName;
    }
    return spelt;
}

// What two spellings of one folder have in common: the long names without the dots and blanks
// at their ends.
std::string Spelling(const std::string& full) {
    return Folded(LongForm(full));
}

// The chosen directory, once resolved, with its spelling and its identity.
struct Chosen {
    std::string full;
    std::string spelling;
    FileIdentity identity;
    // `folder` is absolute and `folderSpelling` its Spelling.
    bool Is(const std::string& folder, const std::string& folderSpelling) const {
        return EqualIgnoringCase(spelling, folderSpelling) || identity == FolderIdentityOf(folder);
    }
};

} // namespace

std::string DirectoryRefusal::Text() const {
    if (!refused) {
        return std::string();
    }
    return folder.empty() ? Message(13002, directory) : Message(13001, directory, folder);
}

std::vector<std::string> ProtectedFolders() {
    std::vector<std::string> folders;
    auto add = [&folders](bool found, const std::string& path) {
        const std::string full = found && IsFileSystemPath(path) ? Resolved(path) : std::string();
        if (!full.empty()) {
            folders.push_back(full);
        }
    };
    std::string path;
    for (SystemFolder folder :
         {SystemFolder::Windows, SystemFolder::System, SystemFolder::ProgramFiles}) {
        add(Machine().FindSystemFolder(folder, path), path);
    }
    // Where the default installation directory is made, whatever the system records.
    add(DefaultInstallationRoot(path), path);
    add(Machine().TempDirectory(path), path);
    add(IsLegacyPlatformInstalled() && ReadLegacyInstallationPath(path), path);
    for (ShellFolder folder : AllShellFolders) {
        add(Machine().FindShellFolder(folder, path), path);
    }
    for (SystemFolder folder : {SystemFolder::Profile, SystemFolder::Documents}) {
        add(Machine().FindSystemFolder(folder, path), path);
    }
    return folders;
}

DirectoryRefusal CheckInstallationDirectory(const std::string& directory) {
    DirectoryRefusal refusal;
    Chosen chosen;
    chosen.full = Resolved(directory);
    if (chosen.full.empty()) {
        return refusal;
    }
    refusal.directory = chosen.full;
    if (IsVolumeRoot(chosen.full)) {
        refusal.refused = true;
        return refusal;
    }
    chosen.spelling = Spelling(chosen.full);
    chosen.identity = FolderIdentityOf(chosen.full);
    const std::vector<std::string> folders = ProtectedFolders();
    std::vector<std::string> spellings;
    for (const std::string& folder : folders) {
        spellings.push_back(Spelling(folder));
    }
    // The folder the directory is comes before one it merely contains, which is then named by
    // the first protected folder below it.
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (chosen.Is(folders[i], spellings[i])) {
            refusal.refused = true;
            refusal.folder = folders[i];
            return refusal;
        }
    }
    for (std::size_t i = 0; i < folders.size(); ++i) {
        // The folders above, from the parent up to the drive root (which was refused already).
        for (std::string above = WithoutTrailingBackslash(DirectoryOf(folders[i])),
                         aboveSpelt = WithoutTrailingBackslash(DirectoryOf(spellings[i]));
             !above.empty() && above.back() != '\\';
             above = WithoutTrailingBackslash(DirectoryOf(above)),
                         aboveSpelt = WithoutTrailingBackslash(DirectoryOf(aboveSpelt))) {
            if (chosen.Is(above, aboveSpelt)) {
                refusal.refused = true;
                refusal.folder = folders[i];
                return refusal;
            }
        }
    }
    return refusal;
}

} // namespace nebcm
