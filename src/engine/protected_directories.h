// The folders that the installation directory must never be or contain: installing over an
// existing directory empties it first, and a drive, Windows, the programs folder, the temporary
// directory (where the backups of the installation itself live), the user's folders or a 1.0
// installation would go with it.
#pragma once

#include <string>
#include <vector>

namespace nebcm {

// Why a directory cannot be the installation directory; refused is false when it can.
struct DirectoryRefusal {
    bool refused = false;
    std::string directory; // the chosen directory, absolute
    std::string folder;    // the protected folder it is or contains; empty for a drive root
    // The message for the user (13002 for a drive root, 13001 otherwise).
    std::string Text() const;
};

// The protected folders of the machine as the procedures see it, in the order in which a refusal
// names them: Windows, the system directory, the programs folder, the temporary directory, a
// registered 1.0 installation, the six shell folders, and the user's profile and documents.
std::vector<std::string> ProtectedFolders();

// Checks the place, not the text: the directory is made absolute and compared, without regard to
// letter case and, where both exist, by the file the system opens for them (so short names,
// trailing dots and linked folders are seen through), with every protected folder and every
// folder above one. A folder below a protected one is fine. A directory that cannot be made
// absolute is not refused here; nothing could be created or emptied there either.
DirectoryRefusal CheckInstallationDirectory(const std::string& directory);

} // namespace nebcm
