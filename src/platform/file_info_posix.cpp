// Absolute paths and file sizes over POSIX: the current directory joined and folded by text, as
// the Windows full-path call does, without resolving links.
#include "platform/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace nebcm {

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::string joined;
    if (path[0] == '/') {
        joined = path;
    } else {
        std::vector<char> buffer(4096);
        while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (buffer.size() > (1u << 20)) {
                return path;
            }
            buffer.resize(buffer.size() * 2);
        }
        joined = std::string(buffer.data()) + "/" + path;
    }
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= joined.size()) {
        std::string::size_type end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

bool QueryFileLength(const std::string& path, std::uint64_t& size) {
    // Opened rather than only examined: a file that cannot be read has no size worth reporting.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0;
    ::close(fd);
    if (ok) {
        size = static_cast<std::uint64_t>(st.st_size);
    }
    return ok;
}

} // namespace nebcm
