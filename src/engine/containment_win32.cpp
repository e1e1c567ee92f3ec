// Checking the place a path reaches rather than its text: the full path is resolved by the system
// itself and every existing part of it is looked up under its long name.
#include "engine/containment.h"

#include <windows.h>

#include <cstring>

#include "engine/file_system.h"
#include "model/validator.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// A segment the file system would keep as written.
bool IsPlainSegment(const std::string& segment) {
    if (segment.empty() || segment.back() == '.' || segment.back() == ' ') {
        return false; // also every segment made only of dots and blanks
    }
    for (char ch : segment) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || std::strchr("\"*:<>?|", c) != nullptr) {
            return false;
        }
    }
    return !IsDeviceName(segment);
}

// No segment of the relative path below `root` (already resolved) is the short name of an
// existing entry whose long name differs. A missing entry ends the walk: nothing below it exists.
// The system makes a short name other than the long name itself only with a tilde in it, so only
// such segments are looked up: a lookup of a name that is not there reads the whole directory,
// which made every file of a large installation cost as much as all the files before it.
bool NamesItsOwnEntries(const std::string& root, const std::string& relative) {
    std::string path = root;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t slash = relative.find('\\', start);
        if (slash == std::string::npos) {
            slash = relative.size();
        }
        const std::string segment = relative.substr(start, slash - start);
        path = JoinPath(path, segment);
        start = slash + 1;
        if (segment.find('~') == std::string::npos) {
            continue;
        }
        WIN32_FIND_DATAA found = {};
        FindHandle find(::FindFirstFileA(path.c_str(), &found));
        if (!find) {
            return true;
        }
        if (!EqualIgnoringCase(found.cFileName, segment)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool IsDeviceName(const std::string& segment) {
    // The system ignores everything from the first dot, and blanks before it.
    std::string base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    base = Upper(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$") {
        return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        const unsigned char digit = static_cast<unsigned char>(base[3]);
        // Superscript one, two and three of the ANSI code page count as digits too.
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

bool ContainedPath(const std::string& root, const std::string& relative, std::string& full) {
    full.clear();
    std::string native = relative;
    for (char& c : native) {
        if (c == '/') {
            c = '\\';
        }
    }
    std::size_t start = 0;
    while (start <= native.size()) {
        std::size_t slash = native.find('\\', start);
        if (slash == std::string::npos) {
            slash = native.size();
        }
        if (!IsPlainSegment(native.substr(start, slash - start))) {
            return false;
        }
        start = slash + 1;
    }
    const std::string base = WithoutTrailingBackslash(FullPath(root));
    if (base.empty()) {
        return false;
    }
    const std::string joined = JoinPath(base, native);
    const std::string resolved = FullPath(joined);
    std::string prefix = base;
    if (prefix.back() != '\\') {
        prefix += '\\';
    }
    if (resolved.empty() || !EqualIgnoringCase(resolved, joined) ||
        resolved.size() <= prefix.size() ||
        !EqualIgnoringCase(resolved.substr(0, prefix.size()), prefix) ||
        !NamesItsOwnEntries(base, native)) {
        return false;
    }
    full = JoinPath(WithoutTrailingBackslash(root), native);
    return true;
}

bool LiesInsideOneOf(const std::string& path, const std::vector<std::string>& folders) {
    const std::string resolved = FullPath(path);
    if (resolved.empty() || !EqualIgnoringCase(resolved, path)) {
        return false;
    }
    for (const std::string& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        std::string prefix = WithoutTrailingBackslash(FullPath(folder));
        if (prefix.empty()) {
            continue;
        }
        if (prefix.back() != '\\') {
            prefix += '\\';
        }
        if (resolved.size() > prefix.size() &&
            EqualIgnoringCase(resolved.substr(0, prefix.size()), prefix)) {
            return true;
        }
    }
    return false;
}

} // namespace nebcm
