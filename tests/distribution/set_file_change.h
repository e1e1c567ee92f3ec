// Changing a file that a set reader may hold open, as another program would.
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nebcm::testing {

// Overwrites bytes in the middle of the file and moves its modification time on. False when the
// system refuses to open the file for writing.
inline bool ChangeHeldFile(const std::string& path) {
    const char junk[16] = "changed bytes!!";
#ifdef _WIN32
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD size = ::GetFileSize(h, nullptr);
    DWORD written = 0;
    ::SetFilePointer(h, static_cast<LONG>(size / 2), nullptr, FILE_BEGIN);
    ::WriteFile(h, junk, sizeof junk, &written, nullptr);
    ::CloseHandle(h);
    return true;
#else
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    ::fstat(fd, &st);
    const bool written =
        ::pwrite(fd, junk, sizeof junk, st.st_size / 2) == static_cast<ssize_t>(sizeof junk);
    // A rewrite within one tick of the clock would leave the time as it was.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    times[1].tv_sec += 5;
    ::futimens(fd, times);
    ::close(fd);
    return written;
#endif
}

} // namespace nebcm::testing
