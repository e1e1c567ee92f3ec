// The conditional preprocessor of distribution-set databases: "#if" / "#elseif" / "#else" /
// "#endif" over platform symbols, handing on only the lines of the active branches.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "io/streams.h"
#include "model/platform_symbols.h"

namespace nebcm {

class ComponentDatabasePreprocessor : public TextInputStream {
public:
    // Thrown by the condition parser and caught by the directive handling; never leaves the
    // preprocessor.
    class SyntaxErrorDetectedException {};

    // Conditions are evaluated against the running machine's symbols.
    ComponentDatabasePreprocessor(std::string fileName, TextInputStream& source);
    // Conditions are evaluated against the given symbols instead (tests, authoring tools).
    ComponentDatabasePreprocessor(std::string fileName, TextInputStream& source,
                                  PlatformSymbols symbols);
    ~ComponentDatabasePreprocessor() override;
    ComponentDatabasePreprocessor(const ComponentDatabasePreprocessor&) = delete;
    ComponentDatabasePreprocessor& operator=(const ComponentDatabasePreprocessor&) = delete;

    // Closing only stops this filter; the source stays open.
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }

    // The next line of an active branch, as the source delivered it (line end included).
    // At the end of the source every "#if" still open is reported; then false.
    bool ReadLine(std::string& line) override;
    // The characters of the lines ReadLine hands on, one after the other; -1 at the end.
    int ReadChar() override;
    bool AtEnd() override;
    // The source's line number: the last line read, directive and dropped lines included.
    int LineNumber() const override;

    // The messages produced so far, each prefixed with "file(line) : ".
    const ErrorList& Errors() const { return errors_; }
    const PlatformSymbols& Symbols() const { return symbols_; }

private:
    struct Condition {
        std::string location; // message prefix of the "#if" line
        bool elseSeen = false;
        bool branchTaken = false;
        bool skipping = false;
    };

    void CheckOpen() const;
    std::string Prefix() const;
    template <class... Args> void Report(int id, const Args&... args);
    bool AnySkipping() const;
    void HandleDirective(const std::string& directive);
    // Evaluates a condition and reports extra characters or a syntax error; false on error.
    bool EvaluateCondition(const std::string& argument);

    bool open_ = true;
    TextInputStream& source_;
    std::string fileName_;
    std::string current_;
    std::size_t position_ = 0;
    PlatformSymbols symbols_;
    ErrorList errors_;
    std::vector<Condition> conditions_;
};

} // namespace nebcm
