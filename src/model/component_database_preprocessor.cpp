// Conditional preprocessing of distribution-set databases.
#include "model/component_database_preprocessor.h"

#include "common/messages.h"
#include "model/database_text.h"

namespace nebcm {

namespace {

using dbtext::IsBlank;
using dbtext::IsIdentifierPart;
using dbtext::IsIdentifierStart;

// Parentheses nest no deeper than this; a deeper condition is a syntax error rather than a
// reason to exhaust the stack on a hostile database.
const int MaxNesting = 200;

// Recursive-descent evaluation of one condition over the symbols. Operators of one level
// apply strictly left to right and always evaluate both operands.
class ConditionParser {
public:
    ConditionParser(const std::string& text, const PlatformSymbols& symbols)
        : text_(text), symbols_(symbols) {}

    // The value of the longest condition at the start of the text; Position() tells where it
    // stopped. Throws SyntaxErrorDetectedException.
    bool Parse() { return Equality(0); }
    std::size_t Position() const { return pos_; }

private:
    using SyntaxError = ComponentDatabasePreprocessor::SyntaxErrorDetectedException;

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            ++pos_;
        }
    }

    // A keyword counts only as a whole word.
    bool TakeKeyword(const char* word) {
        std::size_t i = 0;
        while (word[i] != '\0') {
            if (pos_ + i >= text_.size() || text_[pos_ + i] != word[i]) {
                return false;
            }
            ++i;
        }
        if (pos_ + i < text_.size() && IsIdentifierPart(text_[pos_ + i])) {
            return false;
        }
        pos_ += i;
        return true;
    }

    bool Equality(int depth) {
        bool value = Chain(depth);
        for (;;) {
            SkipBlanks();
            if (text_.compare(pos_, 2, "!=") == 0) {
                pos_ += 2;
                bool right = Chain(depth);
                value = value != right;
            } else if (pos_ < text_.size() && text_[pos_] == '=') {
                ++pos_;
                bool right = Chain(depth);
                value = value == right;
            } else {
                return value;
            }
        }
    }

    bool Chain(int depth) {
        bool value = Unary(depth);
        for (;;) {
            SkipBlanks();
            if (TakeKeyword("and")) {
                bool right = Unary(depth);
                value = value && right;
            } else if (TakeKeyword("or")) {
                bool right = Unary(depth);
                value = value || right;
            } else if (TakeKeyword("xor")) {
                bool right = Unary(depth);
                value = value != right;
            } else if (TakeKeyword("implies")) {
                bool right = Unary(depth);
                value = !value || right;
            } else {
                return value;
            }
        }
    }

    // "not" chains are counted rather than recursed into, so a long run of them is harmless.
    bool Unary(int depth) {
        bool negate = false;
        for (;;) {
            SkipBlanks();
            if (!TakeKeyword("not")) {
                break;
            }
            negate = !negate;
        }
        bool value = Primary(depth);
        return negate ? !value : value;
    }

    bool Primary(int depth) {
        SkipBlanks();
        if (pos_ >= text_.size()) {
            throw SyntaxError();
        }
        if (text_[pos_] == '(') {
            if (depth >= MaxNesting) {
                throw SyntaxError();
            }
            ++pos_;
            bool value = Equality(depth + 1);
            SkipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != ')') {
                throw SyntaxError();
            }
            ++pos_;
            return value;
        }
        if (!IsIdentifierStart(text_[pos_])) {
            throw SyntaxError();
        }
        std::size_t start = pos_;
        while (pos_ < text_.size() && IsIdentifierPart(text_[pos_])) {
            ++pos_;
        }
        return symbols_.Contains(text_.substr(start, pos_ - start));
    }

    const std::string& text_;
    const PlatformSymbols& symbols_;
    std::size_t pos_ = 0;
};

// The line without its line-end characters, for quoting it in a message.
std::string WithoutLineEnd(const std::string& line) {
    std::size_t end = line.size();
    while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) {
        --end;
    }
    return line.substr(0, end);
}

} // namespace

ComponentDatabasePreprocessor::ComponentDatabasePreprocessor(std::string fileName,
                                                             TextInputStream& source)
    : ComponentDatabasePreprocessor(std::move(fileName), source, MachinePlatformSymbols()) {}

ComponentDatabasePreprocessor::ComponentDatabasePreprocessor(std::string fileName,
                                                             TextInputStream& source,
                                                             PlatformSymbols symbols)
    : source_(source), fileName_(std::move(fileName)), symbols_(std::move(symbols)) {}

ComponentDatabasePreprocessor::~ComponentDatabasePreprocessor() = default;

void ComponentDatabasePreprocessor::CheckOpen() const {
    if (!open_) {
        throw IOException();
    }
}

std::string ComponentDatabasePreprocessor::Prefix() const {
    return dbtext::LocationPrefix(fileName_, source_.LineNumber());
}

template <class... Args> void ComponentDatabasePreprocessor::Report(int id, const Args&... args) {
    errors_.Add(Prefix() + Message(id, args...));
}

bool ComponentDatabasePreprocessor::AnySkipping() const {
    for (const Condition& condition : conditions_) {
        if (condition.skipping) {
            return true;
        }
    }
    return false;
}

bool ComponentDatabasePreprocessor::ReadLine(std::string& line) {
    CheckOpen();
    std::string read;
    for (;;) {
        if (!source_.ReadLine(read)) {
            break;
        }
        std::size_t start = 0;
        while (start < read.size() && IsBlank(read[start])) {
            ++start;
        }
        if (start < read.size() && read[start] == '#') {
            HandleDirective(read.substr(start));
            continue;
        }
        if (!AnySkipping()) {
            line = read;
            return true;
        }
    }
    // Innermost first, each at the line of its own "#if".
    while (!conditions_.empty()) {
        errors_.Add(conditions_.back().location + Message(11003));
        conditions_.pop_back();
    }
    line.clear();
    return false;
}

void ComponentDatabasePreprocessor::HandleDirective(const std::string& directive) {
    std::size_t pos = 1;
    while (pos < directive.size() && IsBlank(directive[pos])) {
        ++pos;
    }
    std::size_t nameStart = pos;
    if (pos < directive.size() && IsIdentifierStart(directive[pos])) {
        while (pos < directive.size() && IsIdentifierPart(directive[pos])) {
            ++pos;
        }
    }
    std::string name = "#" + directive.substr(nameStart, pos - nameStart);
    if (name != "#if" && name != "#elseif" && name != "#else" && name != "#endif") {
        Report(11000, WithoutLineEnd(directive));
        return;
    }
    // ';' begins a comment on a directive line.
    std::size_t end = directive.find(';', pos);
    std::string argument = dbtext::Trim(
        directive.substr(pos, end == std::string::npos ? std::string::npos : end - pos));

    if (name == "#if") {
        bool value = EvaluateCondition(argument);
        Condition condition;
        condition.location = Prefix();
        condition.branchTaken = value;
        condition.skipping = !value;
        conditions_.push_back(condition);
    } else if (name == "#elseif") {
        bool value = EvaluateCondition(argument);
        if (conditions_.empty()) {
            Report(11007);
        } else if (conditions_.back().elseSeen) {
            Report(11008);
        } else if (conditions_.back().branchTaken) {
            conditions_.back().skipping = true;
        } else {
            conditions_.back().skipping = !value;
            conditions_.back().branchTaken = value;
        }
    } else if (name == "#else") {
        if (!argument.empty()) {
            Report(11001, argument);
        }
        if (conditions_.empty()) {
            Report(11005);
        } else if (conditions_.back().elseSeen) {
            Report(11006);
        } else {
            conditions_.back().elseSeen = true;
            conditions_.back().skipping = conditions_.back().branchTaken;
        }
    } else {
        if (!argument.empty()) {
            Report(11001, argument);
        }
        if (conditions_.empty()) {
            Report(11004);
        } else {
            conditions_.pop_back();
        }
    }
}

bool ComponentDatabasePreprocessor::EvaluateCondition(const std::string& argument) {
    ConditionParser parser(argument, symbols_);
    try {
        bool value = parser.Parse();
        if (parser.Position() < argument.size()) {
            Report(11001, argument.substr(parser.Position()));
        }
        return value;
    } catch (const SyntaxErrorDetectedException&) {
        Report(11002, argument);
        return false;
    }
}

int ComponentDatabasePreprocessor::ReadChar() {
    CheckOpen();
    while (position_ >= current_.size()) {
        if (!ReadLine(current_)) {
            position_ = 0;
            return -1;
        }
        position_ = 0;
    }
    return static_cast<unsigned char>(current_[position_++]);
}

bool ComponentDatabasePreprocessor::AtEnd() {
    CheckOpen();
    if (position_ < current_.size()) {
        return false;
    }
    return source_.AtEnd();
}

int ComponentDatabasePreprocessor::LineNumber() const {
    CheckOpen();
    return source_.LineNumber();
}

} // namespace nebcm
