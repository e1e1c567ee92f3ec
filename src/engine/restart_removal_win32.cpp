// The Windows 95 family's list of files to delete at the next start, kept in wininit.ini.
#include "engine/restart_removal.h"

#include <windows.h>

#include <vector>

#include "engine/file_system.h"
#include "io/io_exceptions.h"
#include "io/streams.h"
#include "model/validator.h"

namespace nebcm {

namespace {

const char LineEnd[] = "\r\n";

// A line's text without its line end and surrounding blanks.
std::string Trimmed(const std::string& line) {
    std::size_t begin = line.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return std::string();
    }
    std::size_t end = line.find_last_not_of(" \t\r\n");
    return line.substr(begin, end - begin + 1);
}

// The lines with their line ends; the last one may have none.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

bool EndsWithLineEnd(const std::string& line) {
    return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

bool WriteWholeFile(const std::string& file, const std::string& contents) {
    try {
        FileOutputStream out(file);
        out.Write(reinterpret_cast<const std::uint8_t*>(contents.data()),
                  static_cast<std::uint32_t>(contents.size()));
        out.Close();
        return true;
    } catch (const IOException&) {
        return false;
    }
}

} // namespace

std::string WininitWithRemoval(const std::string& contents, const std::string& path) {
    const std::string entry = "NUL=" + path;
    std::vector<std::string> lines = SplitLines(contents);
    std::size_t section = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (EqualIgnoringCase(Trimmed(lines[i]), "[rename]")) {
            section = i;
            break;
        }
    }
    std::size_t insertAt = lines.size();
    if (section != lines.size()) {
        for (std::size_t i = section + 1; i < lines.size(); ++i) {
            const std::string text = Trimmed(lines[i]);
            if (EqualIgnoringCase(text, entry)) {
                return contents;
            }
            if (!text.empty() && text[0] == '[') {
                insertAt = i;
                break;
            }
        }
        // After the section's last entry, not after the blank lines that part it from the next.
        while (insertAt > section + 1 && Trimmed(lines[insertAt - 1]).empty()) {
            --insertAt;
        }
    }
    std::string added;
    if (section == lines.size()) {
        added = std::string("[rename]") + LineEnd;
    }
    added += entry + LineEnd;
    if (insertAt > 0 && !EndsWithLineEnd(lines[insertAt - 1])) {
        lines[insertAt - 1] += LineEnd;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), added);
    std::string result;
    for (const std::string& line : lines) {
        result += line;
    }
    return result;
}

bool AddWininitRemoval(const std::string& file, const std::string& path) {
    std::string contents;
    if (file.empty()) {
        return false;
    }
    if (IsFile(file) && !ReadFileBytes(file, contents)) {
        return false;
    }
    const std::string updated = WininitWithRemoval(contents, path);
    if (updated == contents) {
        return true;
    }
    if (contents.empty()) {
        return WriteWholeFile(file, updated);
    }
    const std::string fresh = file + ".new";
    bool written =
        WriteWholeFile(fresh, updated) && ::CopyFileA(fresh.c_str(), file.c_str(), FALSE);
    ::DeleteFileA(fresh.c_str());
    return written;
}

} // namespace nebcm
