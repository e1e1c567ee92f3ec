// Writing extracted files over POSIX calls: no link is followed, times set from FILETIMEs.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "output_tree.h"

namespace nebpack {

PathState Examine(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? PathState::Missing : PathState::Other;
    }
    if (S_ISREG(st.st_mode)) {
        return PathState::File;
    }
    return S_ISDIR(st.st_mode) ? PathState::Directory : PathState::Other;
}

bool MakeDirectory(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) != 0) {
        error = "cannot create directory '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool RemoveCreated(const std::string& path, bool directory) {
    return (directory ? ::rmdir(path.c_str()) : ::unlink(path.c_str())) == 0;
}

namespace {

// Closes the descriptor it holds when it goes, unless it was given up.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

} // namespace

bool WriteFileAt(const std::string& path, nebcm::DataInputStream& data, std::uint64_t time,
                 std::string& error) {
    Descriptor fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        error = "cannot create '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::vector<std::uint8_t> block(WriteBlock);
    for (std::uint32_t n; (n = data.Read(block.data(), WriteBlock)) > 0;) {
        std::size_t done = 0;
        while (done < n) {
            ssize_t put = ::write(fd.get(), block.data() + done, n - done);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                error = "cannot write '" + path + "': " + std::strerror(errno);
                return false;
            }
            done += static_cast<std::size_t>(put);
        }
    }
    // 1601-01-01 lies 11644473600 seconds before 1970-01-01.
    const std::uint64_t epoch = 11644473600ull * 10000000ull;
    if (time >= epoch) {
        const std::uint64_t since = time - epoch;
        struct timespec times[2];
        times[0].tv_sec = static_cast<time_t>(since / 10000000u);
        times[0].tv_nsec = static_cast<long>(since % 10000000u * 100u);
        times[1] = times[0];
        ::futimens(fd.get(), times);
    }
    if (::close(fd.release()) != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

char NativeSeparator() {
    return '/';
}

bool NamesIgnoreCase() {
    return false;
}

} // namespace nebpack
