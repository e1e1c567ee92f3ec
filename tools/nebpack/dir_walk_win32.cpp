// Directory walk over FindFirstFileA.
#include <windows.h>

#include "dir_walk.h"

namespace nebpack {

namespace {

std::string LastErrorText() {
    char text[256] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             GetLastError(), 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.')) {
        text[--n] = '\0';
    }
    return text;
}

bool Walk(const std::string& dir, const std::string& relative, std::vector<FoundFile>& files,
          std::string& error) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot read directory '" + dir + "': " + LastErrorText();
        return false;
    }
    bool ok = true;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = dir + "\\" + name;
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Junctions and directory links could loop; like links on POSIX they are not followed.
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                ok = Walk(path, rel, files, error);
            }
        } else {
            std::uint64_t size =
                (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            std::uint64_t time =
                (static_cast<std::uint64_t>(fd.ftLastWriteTime.dwHighDateTime) << 32) |
                fd.ftLastWriteTime.dwLowDateTime;
            files.push_back(FoundFile{rel, path, size, time});
        }
    } while (ok && FindNextFileA(h, &fd));
    if (ok && GetLastError() != ERROR_NO_MORE_FILES) {
        error = "cannot read directory '" + dir + "': " + LastErrorText();
        ok = false;
    }
    FindClose(h);
    return ok;
}

std::string FullName(const std::string& name) {
    char buffer[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(name.c_str(), sizeof buffer, buffer, nullptr);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : name;
}

} // namespace

bool ListFiles(const std::string& dir, std::vector<FoundFile>& files, std::string& error) {
    files.clear();
    return Walk(dir, "", files, error);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (GetFileAttributesA(a.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesA(b.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    return lstrcmpiA(FullName(a).c_str(), FullName(b).c_str()) == 0;
}

} // namespace nebpack
