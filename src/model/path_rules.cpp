// File-name, relative-path and package-name checks, and the identity of a path on the file system.
#include "model/path_rules.h"

#include <cstring>
#include <set>

#include "common/error_list.h"
#include "common/messages.h"
#include "model/extension.h"

namespace nebcm {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsAsciiIgnoringCase(const std::string& text, std::size_t length, const char* word) {
    if (std::strlen(word) != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

// The devices that Windows opens in place of a file of that name in any directory: the name
// alone, or followed by blanks and an extension ("con.txt", "Con .log").
bool IsDeviceName(const std::string& segment) {
    std::size_t length = segment.find('.');
    if (length == std::string::npos) {
        length = segment.size();
    }
    while (length > 0 && segment[length - 1] == ' ') {
        --length;
    }
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
        if (EqualsAsciiIgnoringCase(segment, length, device)) {
            return true;
        }
    }
    if (length != 4) {
        return false;
    }
    const bool com = EqualsAsciiIgnoringCase(segment, 3, "com");
    const bool lpt = EqualsAsciiIgnoringCase(segment, 3, "lpt");
    if (!com && !lpt) {
        return false;
    }
    // The port number: a digit, or a superscript one, two or three of the Western code page.
    const unsigned char n = static_cast<unsigned char>(segment[3]);
    return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A name shaped like a short (8.3) alias that Windows generates for a long name, such as
// "XMLPAR~1.JAR": on a volume that keeps such aliases it may open another file than its text
// says.
bool IsShortNameAlias(const std::string& segment) {
    const std::size_t dot = segment.rfind('.');
    const std::size_t baseLength = dot == std::string::npos ? segment.size() : dot;
    if (baseLength > 8 || (dot != std::string::npos && segment.size() - dot - 1 > 3)) {
        return false;
    }
    const std::size_t tilde = segment.rfind('~', baseLength == 0 ? 0 : baseLength - 1);
    if (tilde == std::string::npos || tilde == 0 || tilde >= baseLength ||
        tilde + 1 == baseLength) {
        return false;
    }
    for (std::size_t i = tilde + 1; i < baseLength; ++i) {
        if (!IsDigit(segment[i])) {
            return false;
        }
    }
    return true;
}

// A segment that names a place of its own: a valid file name that the system neither rewrites
// (trailing dots and blanks are dropped, so "..." is "..", "a." is "a") nor reads as a device
// or as the short alias of another name.
bool IsValidSegment(const std::string& segment) {
    if (!IsValidFileName(segment)) {
        return false;
    }
    const char last = segment.back();
    return last != '.' && last != ' ' && !IsDeviceName(segment) && !IsShortNameAlias(segment);
}

bool IsValidSegmentedName(const std::string& text) {
    if (text.empty()) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = text.find('/', start);
        const std::string segment =
            text.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!IsValidSegment(segment)) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
        start = slash + 1;
    }
}

// A letter folded as Windows folds names for the Western code page 1252.
char FoldLetter(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<char>(c + 32);
    }
    switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
        return static_cast<char>(c + 16);
    case 0x9F:
        return static_cast<char>(0xFF);
    default:
        return ch;
    }
}

} // namespace

bool IsValidFileName(const std::string& name) {
    if (name.empty() || name.size() > 255) {
        return false;
    }
    for (char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 32 || std::strchr("/\\;:<>^&*=?|", c) != nullptr) {
            return false;
        }
    }
    return true;
}

bool IsValidRelativePath(const std::string& path) {
    return IsValidSegmentedName(path);
}

bool IsValidPackageName(const std::string& package) {
    return IsValidSegmentedName(package);
}

std::string PathIdentity(const std::string& path) {
    std::string key;
    key.reserve(path.size());
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        std::size_t end = slash == std::string::npos ? path.size() : slash;
        while (end > start && (path[end - 1] == '.' || path[end - 1] == ' ')) {
            --end;
        }
        for (std::size_t i = start; i < end; ++i) {
            key.push_back(FoldLetter(path[i]));
        }
        if (slash == std::string::npos) {
            return key;
        }
        key.push_back('/');
        start = slash + 1;
    }
}

bool SamePath(const std::string& a, const std::string& b) {
    return PathIdentity(a) == PathIdentity(b);
}

namespace {

// The configuration manager's own files in the installation directory.
const char* const ManagerFiles[] = {"nebcm.exe", "nebcm.hlp", "nebcm.cnt",
                                    "nebcm.gid", "neb.ico",   "neb.cdb"};

// Whether the path, or one of its leading parts, has the identity `key`.
bool StartsWithPart(const std::string& identity, const std::string& key) {
    return identity.compare(0, key.size(), key) == 0 &&
           (identity.size() == key.size() || identity[key.size()] == '/');
}

bool IsManagerFile(const std::string& identity) {
    for (const char* file : ManagerFiles) {
        if (StartsWithPart(identity, file)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsPlatformOwnedPath(const std::string& path) {
    const std::string identity = PathIdentity(path);
    return IsManagerFile(identity) || StartsWithPart(identity, "njava.exe") ||
           StartsWithPart(identity, "neb/core");
}

bool CheckPlatformFiles(const Configuration& offered, const Configuration* installed,
                        ErrorList& errors) {
    const std::size_t before = errors.Count();
    std::set<std::string> coreFiles;
    for (const Configuration* configuration : {&offered, installed}) {
        const Core* core = configuration == nullptr ? nullptr : configuration->FindCore();
        for (std::size_t f = 0; core != nullptr && f < core->FileCount(); ++f) {
            coreFiles.insert(PathIdentity(core->FileAt(f).Path()));
        }
    }
    for (std::size_t i = 0; i < offered.Count(); ++i) {
        const Extension& e = offered.At(i);
        const bool isCore = e.Kind() == ExtensionKind::Core;
        std::set<std::string> reported;
        for (std::size_t f = 0; f < e.FileCount(); ++f) {
            const std::string& path = e.FileAt(f).Path();
            const std::string identity = PathIdentity(path);
            const bool owned = isCore ? IsManagerFile(identity)
                                      : IsPlatformOwnedPath(path) || coreFiles.count(identity) != 0;
            if (owned && reported.insert(identity).second) {
                errors.Add(Message(13000, e.Name(), path));
            }
        }
    }
    return errors.Count() == before;
}

} // namespace nebcm
