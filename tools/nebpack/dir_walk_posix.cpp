// Directory walk over POSIX opendir and stat.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "dir_walk.h"

namespace nebpack {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t FileTimeEpochOffset = 11644473600;

std::uint64_t ToFileTime(const struct stat& st) {
    std::int64_t seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec) + FileTimeEpochOffset;
    if (seconds < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(seconds) * 10000000u +
           static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100u;
}

bool Walk(const std::string& dir, const std::string& relative, std::vector<FoundFile>& files,
          std::string& error) {
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        error = "cannot read directory '" + dir + "': " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    while (ok) {
        errno = 0;
        dirent* e = readdir(d);
        if (e == nullptr) {
            if (errno != 0) {
                error = "cannot read directory '" + dir + "': " + std::strerror(errno);
                ok = false;
            }
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = dir + "/" + name;
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            error = "cannot examine '" + path + "': " + std::strerror(errno);
            ok = false;
        } else if (S_ISDIR(st.st_mode)) {
            ok = Walk(path, rel, files, error);
        } else if (S_ISREG(st.st_mode) ||
                   (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))) {
            files.push_back(
                FoundFile{rel, path, static_cast<std::uint64_t>(st.st_size), ToFileTime(st)});
        }
    }
    closedir(d);
    return ok;
}

} // namespace

bool ListFiles(const std::string& dir, std::vector<FoundFile>& files, std::string& error) {
    files.clear();
    return Walk(dir, "", files, error);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace nebpack
