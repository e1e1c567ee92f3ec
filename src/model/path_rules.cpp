// File-name, relative-path and package-name checks.
#include "model/path_rules.h"

#include <cstring>

namespace nebcm {

bool IsValidFileName(const std::string& name) {
    if (name.empty() || name.size() > 255) {
        return false;
    }
    for (char ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || std::strchr("/\\;:<>^&*=?|", c) != nullptr) {
            return false;
        }
    }
    return true;
}

namespace {
bool IsValidSegmentedName(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = text.find('/', start);
        std::string segment =
            text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!IsValidFileName(segment) || segment == "." || segment == "..") {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
        start = slash + 1;
    }
}
} // namespace

bool IsValidRelativePath(const std::string& path) {
    return IsValidSegmentedName(path);
}
bool IsValidPackageName(const std::string& package) {
    return IsValidSegmentedName(package);
}

} // namespace nebcm

// Provisional forms of the identity rules; the path-rule work completes them.
namespace nebcm {

std::string PathIdentity(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

bool SamePath(const std::string& a, const std::string& b) {
    return PathIdentity(a) == PathIdentity(b);
}

bool IsPlatformOwnedPath(const std::string&) {
    return false;
}

bool CheckPlatformFiles(const Configuration&, const Configuration*, ErrorList&) {
    return true;
}

} // namespace nebcm
