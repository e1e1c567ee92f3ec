// File streams over POSIX file descriptors (the native build), failing as the Windows build does.
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/streams.h"

namespace nebcm {

struct FileInputStream::Handle {
    int fd = -1;
};

struct FileOutputStream::Handle {
    int fd = -1;
};

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

off_t Position(int fd) {
    off_t pos = ::lseek(fd, 0, SEEK_CUR);
    if (pos < 0) {
        throw IOException();
    }
    return pos;
}

off_t Size(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        throw IOException();
    }
    return st.st_size;
}

std::uint32_t ReadSome(int fd, std::uint8_t* buffer, std::uint32_t n) {
    std::uint32_t done = 0;
    while (done < n) {
        ssize_t got = ::read(fd, buffer + done, n - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IOException();
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

} // namespace

FileInputStream::FileInputStream(const std::string& name) : handle_(std::make_unique<Handle>()) {
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // The errors that mean "no such file, directory or drive" or "access denied".
        if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EPERM) {
            throw FileNotFoundException(name);
        }
        throw IOException();
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        // Windows refuses to open a directory as a file with "access denied".
        ::close(fd);
        throw FileNotFoundException(name);
    }
    handle_->fd = fd;
}

FileInputStream::~FileInputStream() {
    CloseFd(handle_->fd);
}

bool FileInputStream::IsOpen() const {
    return handle_->fd >= 0;
}

void FileInputStream::Close() {
    CloseFd(handle_->fd);
}

bool FileInputStream::AtEnd() {
    if (!IsOpen()) {
        throw IOException();
    }
    return Size(handle_->fd) == Position(handle_->fd);
}

std::uint32_t FileInputStream::Skip(std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    off_t pos = Position(handle_->fd);
    off_t size = Size(handle_->fd);
    off_t left = size > pos ? size - pos : 0;
    off_t step = static_cast<off_t>(n) < left ? static_cast<off_t>(n) : left;
    if (::lseek(handle_->fd, pos + step, SEEK_SET) < 0) {
        throw IOException();
    }
    return static_cast<std::uint32_t>(step);
}

int FileInputStream::Read() {
    if (!IsOpen()) {
        throw IOException();
    }
    std::uint8_t b = 0;
    return ReadSome(handle_->fd, &b, 1) == 1 ? b : -1;
}

std::uint32_t FileInputStream::Read(std::uint8_t* buffer, std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    return ReadSome(handle_->fd, buffer, n);
}

void FileInputStream::Seek(std::uint32_t position) {
    if (!IsOpen() || ::lseek(handle_->fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        throw IOException();
    }
}

std::uint64_t FileInputStream::Length() {
    if (!IsOpen()) {
        throw IOException();
    }
    return static_cast<std::uint64_t>(Size(handle_->fd));
}

std::uint64_t FileInputStream::ChangeStamp() {
    struct stat st;
    if (!IsOpen() || ::fstat(handle_->fd, &st) != 0) {
        throw IOException();
    }
    return static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
}

FileOutputStream::FileOutputStream(const std::string& name) : handle_(std::make_unique<Handle>()) {
    int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw IOException();
    }
    handle_->fd = fd;
}

FileOutputStream::~FileOutputStream() {
    CloseFd(handle_->fd);
}

bool FileOutputStream::IsOpen() const {
    return handle_->fd >= 0;
}

void FileOutputStream::Close() {
    CloseFd(handle_->fd);
}

void FileOutputStream::Flush() {
    if (!IsOpen()) {
        throw IOException();
    }
    if (::fsync(handle_->fd) != 0 && errno != EINVAL && errno != EROFS) {
        throw IOException();
    }
}

void FileOutputStream::Write(std::uint8_t byte) {
    Write(&byte, 1);
}

void FileOutputStream::Write(const std::uint8_t* buffer, std::uint32_t n) {
    if (!IsOpen()) {
        throw IOException();
    }
    std::uint32_t done = 0;
    while (done < n) {
        ssize_t put = ::write(handle_->fd, buffer + done, n - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            throw IOException();
        }
        done += static_cast<std::uint32_t>(put);
    }
}

} // namespace nebcm
