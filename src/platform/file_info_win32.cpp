// Absolute paths and file sizes over the Win32 full-path and file-size calls.
#include "platform/file_info.h"

#include <windows.h>

#include <vector>

#include "platform/handles_win32.h"

namespace nebcm {

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
        char* filePart = nullptr;
        DWORD length = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                          buffer.data(), &filePart);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        // Too small: the result is the size needed, terminating zero included.
        buffer.resize(length + 1);
    }
    return path;
}

bool QueryFileLength(const std::string& path, std::uint64_t& size) {
    // Readers may share the file: a set that another program is reading can still be read here.
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

} // namespace nebcm
