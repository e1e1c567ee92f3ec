// Path, disk-space, shell-folder and process helpers, and the recursive directory walk with its
// visitor.
#pragma once

#include <cstdint>
#include <string>

#include "model/path_rules.h" // IsValidFileName

namespace nebcm {

// The platform's absolute form of a path (at most 260 characters); empty if it cannot be formed.
std::string FullPath(const std::string& path);
// Everything before the last backslash, with a backslash added after a bare drive ("C:" -> "C:\");
// empty when there is no backslash.
std::string DirectoryOf(const std::string& path);
// "C:\a\b\" names the same directory as "C:\a\b"; a drive root keeps its backslash.
std::string WithoutTrailingBackslash(std::string path);
// Joins with exactly one backslash between the two parts.
std::string JoinPath(const std::string& a, const std::string& b);
// Between double quotes, every double quote inside doubled.
std::string QuoteArgument(const std::string& s);

bool PathExists(const std::string& path);
// Exists and is not a directory.
bool IsFile(const std::string& path);
bool IsDirectory(const std::string& path);
// True when both paths name one file or directory: by volume and file index where the system tells
// them (so a short name, a second drive letter or a hard link is seen through), otherwise by the
// full path texts, letter case ignored.
bool SameFile(const std::string& a, const std::string& b);
// Opens the file without sharing, so a file in use by another process fails.
bool QueryFileSize(const std::string& path, std::uint64_t& size);
// Appends the file's bytes to `contents`; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& contents);

// Which file or directory a path opens, as the volume's serial number and the file index, so
// that short names, letter case and links that lead to one place compare as one. Not known on
// systems that cannot open a directory, or when the path cannot be opened; an unknown identity
// never equals another.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint32_t high = 0;
    std::uint32_t low = 0;
    bool known = false;
    bool operator==(const FileIdentity& o) const {
        return known && o.known && volume == o.volume && high == o.high && low == o.low;
    }
};
FileIdentity IdentityOf(const std::string& path);

// Bytes available to the caller on the drive; drive is a letter such as 'C'.
bool QueryFreeSpace(char drive, std::uint64_t& bytes);
// The allocation unit of the drive, to which file sizes are rounded up when space is estimated.
bool QueryClusterSize(char drive, std::uint32_t& bytes);
// "512 B", "1.50 KB", "20 KB", "3.00 GB": two decimals only below ten of a unit larger than B.
std::string FormatByteSize(std::uint64_t size);
bool FreeSpaceText(char drive, std::string& text);
bool DefaultInstallationRoot(std::string& path);

// The shell folders in which shortcuts live, for the current user and for all users.
bool StartMenuFolder(std::string& path);
bool ProgramsFolder(std::string& path);
bool DesktopFolder(std::string& path);
bool CommonStartMenuFolder(std::string& path);
bool CommonProgramsFolder(std::string& path);
bool CommonDesktopFolder(std::string& path);

// Starts the program (quoted, absolute) with the arguments as they are, in the program's own
// directory; does not wait for it.
bool StartProcess(const std::string& program, const std::string& arguments);

// What a walk calls back; every path handed over is absolute. A false result ends the walk.
class DirectoryVisitor {
public:
    virtual ~DirectoryVisitor() = default;
    virtual bool Begin() = 0;
    virtual bool VisitDirectory(const std::string& path) = 0;
    virtual bool VisitFile(const std::string& path) = 0;
    virtual bool End() = 0;
    // An entry that the listing shows but that no path can open (see ListedEntryPath); the path is
    // the listed spelling, for messages. By default it is passed over and the walk goes on; a
    // visitor that must see everything reports it and may stop the walk by returning false.
    virtual bool VisitUnreachable(const std::string& path, bool directory);
};

enum class WalkOrder {
    DirectoriesFirst = 1, // a directory before its contents
    DirectoriesLast = 2,  // a directory after its contents, as deleting needs
};

// The path by which an entry that a directory listing shows can be opened: its own name where the
// path can carry it, otherwise its short alternate name (empty when the system has none). False
// when neither will do: the name holds characters that the code page cannot carry (the listing
// shows '?' for them, or a look-alike that opens nothing) or the path would be longer than the
// system takes.
bool ListedEntryPath(const std::string& directory, const std::string& name,
                     const std::string& alternate, std::string& path);

// Visits the directory, its files and, recursively, its subdirectories. Begin and End are called
// only around the outermost directory: the nesting depth is one process-wide counter, so walks
// must not overlap or start from inside another walk's visitor. A directory that cannot be listed
// counts as empty; an entry that cannot be opened under any name goes to VisitUnreachable. False
// if the path is not a directory or the visitor stopped the walk.
bool WalkDirectory(const std::string& path, DirectoryVisitor& visitor, WalkOrder order);

} // namespace nebcm
