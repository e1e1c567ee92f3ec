// Writing extracted files over Win32 calls: reparse points are never entered, times set as stored.
#include <windows.h>

#include <vector>

#include "output_tree.h"
#include "platform/handles_win32.h"

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

} // namespace

PathState Examine(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? PathState::Missing
                                                                      : PathState::Other;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return PathState::Other;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathState::Directory : PathState::File;
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (!CreateDirectoryA(path.c_str(), nullptr)) {
        error = "cannot create directory '" + path + "': " + LastErrorText();
        return false;
    }
    return true;
}

bool RemoveCreated(const std::string& path, bool directory) {
    return (directory ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str())) != 0;
}

bool WriteFileAt(const std::string& path, nebcm::DataInputStream& data, std::uint64_t time,
                 std::string& error) {
    // A read-only file from an earlier extraction is replaced like any other.
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    nebcm::UniqueResource<nebcm::FileHandleTraits> h(CreateFileA(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        error = "cannot create '" + path + "': " + LastErrorText();
        return false;
    }
    std::vector<std::uint8_t> block(WriteBlock);
    for (std::uint32_t n; (n = data.Read(block.data(), WriteBlock)) > 0;) {
        DWORD done = 0;
        while (done < n) {
            DWORD put = 0;
            if (!WriteFile(h.get(), block.data() + done, n - done, &put, nullptr) || put == 0) {
                error = "cannot write '" + path + "': " + LastErrorText();
                return false;
            }
            done += put;
        }
    }
    if (time != 0) {
        FILETIME ft;
        ft.dwLowDateTime = static_cast<DWORD>(time);
        ft.dwHighDateTime = static_cast<DWORD>(time >> 32);
        SetFileTime(h.get(), &ft, &ft, &ft);
    }
    if (!CloseHandle(h.release())) {
        error = "cannot write '" + path + "': " + LastErrorText();
        return false;
    }
    return true;
}

char NativeSeparator() {
    return '\\';
}

bool NamesIgnoreCase() {
    return true;
}

} // namespace nebpack
