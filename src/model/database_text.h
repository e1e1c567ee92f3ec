// Small text helpers shared by the component database preprocessor and readers.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "common/error_list.h"
#include "common/messages.h"
#include "io/streams.h"
#include "model/extension.h"
#include "model/version.h"

namespace nebcm {
namespace dbtext {

// Space, tab, line feed, vertical tab, form feed and carriage return; locale-independent.
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsIdentifierStart(char c) {
    return IsLetter(c) || c == '_';
}
inline bool IsIdentifierPart(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}

// The text without blanks at either end.
std::string Trim(const std::string& text);
// ASCII comparison without regard to letter case.
bool EqualsIgnoreCase(const std::string& a, const char* b);
// "file(line) : ", the prefix of every message that points into a database text.
std::string LocationPrefix(const std::string& fileName, int line);

// What a candidate section header line says: its kind and name, or why it is no header.
struct SectionHeader {
    int error = 0;             // 0, or the message: 12000 no header, 12001 no name, 12002 bad word
    std::string errorArgument; // the line (12000) or the stereotype word (12002)
    ExtensionKind kind = ExtensionKind::Core;
    std::string name;
};
// "[Core]" or "[Stereotype:name]", words without regard to case, blanks around each part
// ignored; only the first ':' separates, so a name may contain ':'.
SectionHeader ParseSectionHeader(const std::string& line);

// key=value split at the first '=', both trimmed; false when there is no '=' or either is empty.
bool SplitSetting(const std::string& line, std::string& key, std::string& value);

// "path" or "path;shortcut", both trimmed.
void SplitFileValue(const std::string& value, std::string& path, std::string& shortcut);

// The value of an external declaration: a requirement alone for the core, otherwise
// "name;requirement;display name" (the display name may contain ';'). The requirement must use
// its whole part. None when the value is invalid.
std::unique_ptr<ExternalDeclaration>
ParseExternalValue(ExtensionKind kind, const std::string& value, VersionParser parseVersion);

// The settings gathered from one section, checked and turned into an extension when the
// section ends.
struct SectionValues {
    ExtensionKind kind = ExtensionKind::Core;
    std::string name;
    std::optional<nebcm::Version> version;
    std::optional<std::string> description;
    std::optional<std::string> copyright;
    std::optional<std::string> package;
    std::optional<std::string> base;
    std::optional<std::string> javaDispatcher;
    std::optional<std::string> serviceClass; // "Interface" in the older dialect
    FileList files;
    std::unordered_set<std::string> filePaths;
    DependencyList dependencies;
    ExternalList externals;
};

// The part the current and the older dialect share: lines normalised (trimmed, comments and
// empty lines passed over), sections found by their headers, settings split, messages prefixed
// with the location. Each dialect decides about its keys and its end-of-section checks.
class SectionReader {
public:
    virtual ~SectionReader() = default;
    SectionReader(const SectionReader&) = delete;
    SectionReader& operator=(const SectionReader&) = delete;

protected:
    explicit SectionReader(std::string fileName) : fileName_(std::move(fileName)) {}
    // Set by the dialect's constructor before anything is read.
    void SetLineSource(TextInputStream& lineSource) { lineSource_ = &lineSource; }

    // Reads every section; the extensions of those that passed their end checks, in order.
    ExtensionList ReadExtensions();
    // Validates the configuration of those extensions, hands every message on and returns the
    // configuration only when there was no message at all.
    std::unique_ptr<Configuration> Conclude(ExtensionList extensions, ErrorList& errors);

    // One setting of the section; line is the whole (normalised) line, for 12003.
    virtual void ReadSetting(SectionValues& section, const std::string& key,
                             const std::string& value, const std::string& line) = 0;
    // The end-of-section checks; the extension, or none after reporting why.
    virtual std::unique_ptr<Extension> FinishSection(SectionValues& section) = 0;

    // Helpers for settings that both dialects spell alike.
    void ReadVersion(SectionValues& section, const std::string& value, VersionParser parseVersion);
    // A setting allowed once: the first stands, a repeat reports the message and is ignored.
    // True when the value was taken.
    bool ReadSingle(std::optional<std::string>& field, const std::string& value, int repeated);
    // A "File" value. The shortcut is kept as written; when checkShortcut is set (a database
    // that offers files to install), it must be a valid relative path as well, or 12010 names it.
    void ReadFile(SectionValues& section, const std::string& value, bool checkShortcut);
    void ReadExternal(SectionValues& section, ExtensionKind kind, const std::string& value,
                      VersionParser parseVersion);
    // The first end-of-section checks, the same in both dialects: version, description and
    // copyright must be there. False after reporting the first one missing.
    bool HasVersionDescriptionAndCopyright(const SectionValues& section);

    template <class... Args> void Report(int id, const Args&... args) {
        errors_.Add(LocationPrefix(fileName_, lineSource_->LineNumber()) + Message(id, args...));
    }

    const std::string& FileName() const { return fileName_; }
    ErrorList& ReaderErrors() { return errors_; }

private:
    void NextLine();
    std::unique_ptr<Extension> ReadSection();

    std::string fileName_;
    TextInputStream* lineSource_ = nullptr;
    ErrorList errors_;
    bool atEnd_ = false;
    std::string line_;
};

} // namespace dbtext
} // namespace nebcm
