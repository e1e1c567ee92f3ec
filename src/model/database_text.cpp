// Text helpers shared by the component database preprocessor and readers.
#include "model/database_text.h"

#include <cstring>

#include "common/messages.h"
#include "model/path_rules.h"

namespace nebcm {
namespace dbtext {

std::string Trim(const std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) {
        ++first;
    }
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

bool EqualsIgnoreCase(const std::string& a, const char* b) {
    std::size_t length = std::strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::string LocationPrefix(const std::string& fileName, int line) {
    return FormatText("%s(%d) : ", fileName.c_str(), line);
}

SectionHeader ParseSectionHeader(const std::string& line) {
    SectionHeader header;
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
        header.error = 12000;
        header.errorArgument = line;
        return header;
    }
    std::string inner = Trim(line.substr(1, line.size() - 2));
    std::size_t colon = inner.find(':');
    if (colon == std::string::npos) {
        if (!EqualsIgnoreCase(inner, "Core")) {
            header.error = 12002;
            header.errorArgument = inner;
            return header;
        }
        header.kind = ExtensionKind::Core;
        header.name = "Core";
        return header;
    }
    std::string word = Trim(inner.substr(0, colon));
    header.name = Trim(inner.substr(colon + 1));
    if (header.name.empty()) {
        header.error = 12001;
        return header;
    }
    if (EqualsIgnoreCase(word, "Library")) {
        header.kind = ExtensionKind::Library;
    } else if (EqualsIgnoreCase(word, "Component")) {
        header.kind = ExtensionKind::Component;
    } else if (EqualsIgnoreCase(word, "Application")) {
        header.kind = ExtensionKind::Application;
    } else {
        header.error = 12002;
        header.errorArgument = word;
    }
    return header;
}

bool SplitSetting(const std::string& line, std::string& key, std::string& value) {
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    key = Trim(line.substr(0, equals));
    value = Trim(line.substr(equals + 1));
    return !key.empty() && !value.empty();
}

void SplitFileValue(const std::string& value, std::string& path, std::string& shortcut) {
    std::size_t semicolon = value.find(';');
    if (semicolon == std::string::npos) {
        path = Trim(value);
        shortcut.clear();
        return;
    }
    path = Trim(value.substr(0, semicolon));
    shortcut = Trim(value.substr(semicolon + 1));
}

namespace {
bool ParseWholeRequirement(const std::string& text, VersionParser parseVersion,
                           VersionRequirement& requirement) {
    std::size_t pos = 0;
    return ParseRequirement(text, pos, requirement, parseVersion) && pos == text.size();
}
} // namespace

std::unique_ptr<ExternalDeclaration>
ParseExternalValue(ExtensionKind kind, const std::string& value, VersionParser parseVersion) {
    VersionRequirement requirement;
    if (kind == ExtensionKind::Core) {
        if (!ParseWholeRequirement(Trim(value), parseVersion, requirement)) {
            return nullptr;
        }
        return std::make_unique<ExternalDeclaration>(kind, "Core", requirement, std::string());
    }
    std::size_t first = value.find(';');
    if (first == std::string::npos) {
        return nullptr;
    }
    std::size_t second = value.find(';', first + 1);
    if (second == std::string::npos) {
        return nullptr;
    }
    std::string name = Trim(value.substr(0, first));
    std::string requirementText = Trim(value.substr(first + 1, second - first - 1));
    std::string displayName = Trim(value.substr(second + 1));
    if (name.empty() || displayName.empty() ||
        !ParseWholeRequirement(requirementText, parseVersion, requirement)) {
        return nullptr;
    }
    return std::make_unique<ExternalDeclaration>(kind, name, requirement, displayName);
}

void SectionReader::NextLine() {
    std::string raw;
    while (lineSource_->ReadLine(raw)) {
        line_ = Trim(raw);
        if (!line_.empty() && line_[0] != ';') {
            return;
        }
    }
    line_.clear();
    atEnd_ = true;
}

ExtensionList SectionReader::ReadExtensions() {
    ExtensionList extensions;
    NextLine();
    while (!atEnd_) {
        std::unique_ptr<Extension> extension = ReadSection();
        if (extension) {
            extensions.push_back(std::move(extension));
        }
    }
    return extensions;
}

std::unique_ptr<Configuration> SectionReader::Conclude(ExtensionList extensions,
                                                       ErrorList& errors) {
    auto configuration = std::make_unique<Configuration>(std::move(extensions));
    ErrorList validation;
    if (!configuration->Validate(validation)) {
        errors_.Append(validation);
    }
    errors.Append(errors_);
    if (!errors_.Empty()) {
        return nullptr;
    }
    return configuration;
}

std::unique_ptr<Extension> SectionReader::ReadSection() {
    SectionHeader header = ParseSectionHeader(line_);
    if (header.error == 12001) {
        Report(12001);
    } else if (header.error != 0) {
        Report(header.error, header.errorArgument);
    }
    NextLine();
    if (header.error != 0) {
        return nullptr;
    }
    SectionValues section;
    section.kind = header.kind;
    section.name = header.name;
    // A line that begins with '[' ends the section even when it is no valid header; the next
    // round reports it.
    while (!atEnd_ && line_[0] != '[') {
        std::string key;
        std::string value;
        if (SplitSetting(line_, key, value)) {
            ReadSetting(section, key, value, line_);
        } else {
            Report(12003, line_);
        }
        NextLine();
    }
    // The end checks run with the line that ended the section already read, so their messages
    // carry that line's number.
    return FinishSection(section);
}

void SectionReader::ReadVersion(SectionValues& section, const std::string& value,
                                VersionParser parseVersion) {
    if (section.version) {
        Report(12004);
        return;
    }
    std::size_t pos = 0;
    std::optional<nebcm::Version> version = parseVersion(value, pos);
    if (!version) {
        Report(12005, value);
        return;
    }
    section.version = version;
    if (pos < value.size()) {
        Report(11001, value.substr(pos));
    }
}

bool SectionReader::ReadSingle(std::optional<std::string>& field, const std::string& value,
                               int repeated) {
    if (field) {
        Report(repeated);
        return false;
    }
    field = value;
    return true;
}

void SectionReader::ReadFile(SectionValues& section, const std::string& value, bool checkShortcut) {
    std::string path;
    std::string shortcut;
    SplitFileValue(value, path, shortcut);
    if (!IsValidRelativePath(path)) {
        Report(12010, path);
        return;
    }
    if (checkShortcut && !shortcut.empty() && !IsValidRelativePath(shortcut)) {
        Report(12010, shortcut);
        return;
    }
    section.filePaths.insert(path);
    section.files.push_back(std::make_unique<ExtensionFile>(path, shortcut));
}

void SectionReader::ReadExternal(SectionValues& section, ExtensionKind kind,
                                 const std::string& value, VersionParser parseVersion) {
    std::unique_ptr<ExternalDeclaration> declaration =
        ParseExternalValue(kind, value, parseVersion);
    if (!declaration) {
        Report(12014, value);
        return;
    }
    section.externals.push_back(std::move(declaration));
}

bool SectionReader::HasVersionDescriptionAndCopyright(const SectionValues& section) {
    if (!section.version) {
        Report(12015, section.name);
        return false;
    }
    if (!section.description) {
        Report(12016, section.name);
        return false;
    }
    if (!section.copyright) {
        Report(12017, section.name);
        return false;
    }
    return true;
}

} // namespace dbtext
} // namespace nebcm
