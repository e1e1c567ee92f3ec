// The database preprocessor: branch selection, condition evaluation, directive errors and the
// stream behaviour the reader relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/component_database_preprocessor.h"
#include "text_source.h"

namespace nebcm {
namespace {

using testing::TextSource;

struct Result {
    std::vector<std::string> lines; // without their line ends
    std::vector<std::string> errors;
};

Result Preprocess(const std::string& text, const PlatformSymbols& symbols) {
    TextSource source(text);
    ComponentDatabasePreprocessor preprocessor("db.cdb", source.Stream(), symbols);
    Result result;
    std::string line;
    while (preprocessor.ReadLine(line)) {
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        result.lines.push_back(line);
    }
    result.errors = preprocessor.Errors().Messages();
    return result;
}

using Lines = std::vector<std::string>;

TEST(PreprocessorTest, HandsOnTheActiveBranches) {
    const PlatformSymbols xp = {"WinXP"};
    struct Case {
        const char* text;
        Lines expected;
    } cases[] = {
        {"a\n#if WinXP or Win2000\nb\n#endif\nc\n", {"a", "b", "c"}},
        {"#if Win2000\nx\n#else\ny\n#endif\n", {"y"}},
        {"#if WinXP\nx\n#else\ny\n#endif\n", {"x"}},
        // A taken branch makes every later one skip, however true its condition.
        {"#if WinXP\n1\n#elseif WinXP\n2\n#elseif WinXP\n3\n#else\n4\n#endif\n", {"1"}},
        {"#if Win2000\n1\n#elseif Win98\n2\n#elseif WinXP\n3\n#elseif WinXP\n4\n#else\n5\n#endif\n",
         {"3"}},
        {"#if Win2000\n1\n#elseif Win98\n2\n#else\n3\n#endif\n", {"3"}},
        // A true inner branch inside a skipped outer one stays skipped.
        {"#if Win2000\n#if WinXP\nx\n#endif\n#else\n#if WinXP\ny\n#endif\n#endif\n", {"y"}},
        // Directive lines may be indented, have blanks after '#' and carry comments.
        {"  #if WinXP \t; only on XP\nx\n\t#  endif ; done\n", {"x"}},
        // Ordinary lines keep their blanks; blank lines are ordinary lines.
        {"  Version=1.00  \n\n#if Win2000\n  \n#endif\n", {"  Version=1.00  ", ""}},
    };
    for (const Case& c : cases) {
        Result result = Preprocess(c.text, xp);
        EXPECT_EQ(result.lines, c.expected) << c.text;
        EXPECT_EQ(result.errors, Lines()) << c.text;
    }
}

TEST(PreprocessorTest, ConditionValues) {
    const PlatformSymbols symbols = {"T", "notT", "_x1"};
    struct Case {
        const char* condition;
        bool value;
    } cases[] = {
        {"T", true},
        {"F", false},
        {"Win2000", false}, // any name that is not defined is false
        {"t", false},       // names are case-sensitive
        {"_x1", true},
        {"not T", false},
        {"not not T", true},
        {"not(F)", true},
        {"notT", true}, // one name, not the keyword
        {"F = F", true},
        {"T = F", false},
        {"T != F", true},
        {"F != F", false},
        {"T = F = F", true},     // (T = F) = F
        {"not F and F", false},  // (not F) and F
        {"T or T and F", false}, // one precedence, left to right
        {"T or (T and F)", true},
        {"F and F or T", true},
        {"T xor T", false},
        {"T xor F", true},
        {"T implies F", false},
        {"F implies F", true},
        {"F implies T", true},
        {"T and(F)", false},
        {"((T))", true},
        {"T or F = F", false}, // (T or F) = F
        {"  T\tand\tT  ", true},
    };
    for (const Case& c : cases) {
        Result result =
            Preprocess(std::string("#if ") + c.condition + "\nyes\n#else\nno\n#endif\n", symbols);
        EXPECT_EQ(result.lines, Lines{c.value ? "yes" : "no"}) << c.condition;
        EXPECT_EQ(result.errors, Lines()) << c.condition;
    }
}

TEST(PreprocessorTest, ConditionErrors) {
    const PlatformSymbols symbols = {"A"};
    struct Case {
        const char* text;
        Lines lines;
        Lines errors;
    } cases[] = {
        // Extra characters: the value parsed so far stands.
        {"#if A B\nx\n#endif\n", {"x"}, {"db.cdb(1) : Extra characters on line 'B'"}},
        {"#if A) or B\nx\n#endif\n", {"x"}, {"db.cdb(1) : Extra characters on line ') or B'"}},
        {"#if Aand A\nx\n#endif\n", {}, {"db.cdb(1) : Extra characters on line 'A'"}},
        {"#if A AND A\nx\n#endif\n", {"x"}, {"db.cdb(1) : Extra characters on line 'AND A'"}},
        // Syntax errors: the branch is false and its "#endif" closes it quietly.
        {"#if\nx\n#endif\n", {}, {"db.cdb(1) : Syntax error in the preprocessor expression ''"}},
        {"#if (A\nx\n#endif\n",
         {},
         {"db.cdb(1) : Syntax error in the preprocessor expression '(A'"}},
        {"#if 1\nx\n#else\ny\n#endif\n",
         {"y"},
         {"db.cdb(1) : Syntax error in the preprocessor expression '1'"}},
        {"#if A and\nx\n#endif\n",
         {},
         {"db.cdb(1) : Syntax error in the preprocessor expression 'A and'"}},
        {"#if A == A\nx\n#endif\n",
         {},
         {"db.cdb(1) : Syntax error in the preprocessor expression 'A == A'"}},
        {"#if ; only a comment\nx\n#endif\n",
         {},
         {"db.cdb(1) : Syntax error in the preprocessor expression ''"}},
        // "#elseif" conditions are checked alike, and so are conditions in skipped regions.
        {"#if A\nx\n#elseif (\ny\n#endif\n",
         {"x"},
         {"db.cdb(3) : Syntax error in the preprocessor expression '('"}},
        {"#if B\n#if A B\n#endif\n#endif\n", {}, {"db.cdb(2) : Extra characters on line 'B'"}},
    };
    for (const Case& c : cases) {
        Result result = Preprocess(c.text, symbols);
        EXPECT_EQ(result.lines, c.lines) << c.text;
        EXPECT_EQ(result.errors, c.errors) << c.text;
    }
}

TEST(PreprocessorTest, DirectiveErrors) {
    struct Case {
        const char* text;
        Lines lines;
        Lines errors;
    } cases[] = {
        {"a\n  #If A\nb\n", {"a", "b"}, {"db.cdb(2) : Invalid preprocessor directive '#If A'"}},
        {"#\n", {}, {"db.cdb(1) : Invalid preprocessor directive '#'"}},
        {"#ifdef A \r\n", {}, {"db.cdb(1) : Invalid preprocessor directive '#ifdef A '"}},
        {"# 1if\n", {}, {"db.cdb(1) : Invalid preprocessor directive '# 1if'"}},
        {"x\n#endif\n",
         {"x"},
         {"db.cdb(2) : The '#endif' preprocessor directive has no matching '#if'"}},
        {"#else\n", {}, {"db.cdb(1) : The '#else' preprocessor directive has no matching '#if'"}},
        {"#elseif A\n",
         {},
         {"db.cdb(1) : The '#elseif' preprocessor directive has no matching '#if'"}},
        // The faulty directive changes nothing: the first "#else" branch goes on.
        {"#if A\n#else\n1\n#else\n2\n#endif\n",
         {"1", "2"},
         {"db.cdb(4) : The '#else' clause for the '#if' directive is specified more than once"}},
        {"#if A\n#else\n1\n#elseif A\n2\n#endif\n",
         {"1", "2"},
         {"db.cdb(4) : The '#elseif' directive cannot be specified after '#else' clause"}},
        {"#if A\nx\n#else A\ny\n#endif B\n",
         {"y"},
         {"db.cdb(3) : Extra characters on line 'A'", "db.cdb(5) : Extra characters on line 'B'"}},
        // Unclosed conditions are reported innermost first, each at its own "#if".
        {"#if A\n\n#if B\nx\n",
         {},
         {"db.cdb(3) : The '#if' preprocessor directive has no matching '#endif'",
          "db.cdb(1) : The '#if' preprocessor directive has no matching '#endif'"}},
    };
    for (const Case& c : cases) {
        Result result = Preprocess(c.text, PlatformSymbols());
        EXPECT_EQ(result.lines, c.lines) << c.text;
        EXPECT_EQ(result.errors, c.errors) << c.text;
    }
}

TEST(PreprocessorTest, HostileConditionsDoNotExhaustTheStack) {
    const PlatformSymbols symbols = {"A"};
    std::string nested = std::string(150, '(') + "A" + std::string(150, ')');
    EXPECT_EQ(Preprocess("#if " + nested + "\nx\n#endif\n", symbols).lines, Lines{"x"});

    std::string deep = std::string(100000, '(') + "A" + std::string(100000, ')');
    Result result = Preprocess("#if " + deep + "\nx\n#endif\n", symbols);
    EXPECT_EQ(result.lines, Lines());
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(
        result.errors[0].rfind("db.cdb(1) : Syntax error in the preprocessor expression '(((", 0),
        0u);

    std::string nots;
    for (int i = 0; i < 100000; ++i) {
        nots += "not ";
    }
    EXPECT_EQ(Preprocess("#if " + nots + "A\nx\n#endif\n", symbols).lines, Lines{"x"});
}

TEST(PreprocessorTest, LineNumbersCountEverySourceLine) {
    TextSource source("#if A\nskipped\n#endif\nfirst\n\n#if B\nsecond\n#endif\n");
    ComponentDatabasePreprocessor preprocessor("db.cdb", source.Stream(), PlatformSymbols{"B"});
    std::string line;
    ASSERT_TRUE(preprocessor.ReadLine(line));
    EXPECT_EQ(line, "first\n");
    EXPECT_EQ(preprocessor.LineNumber(), 4);
    ASSERT_TRUE(preprocessor.ReadLine(line));
    EXPECT_EQ(line, "\n");
    ASSERT_TRUE(preprocessor.ReadLine(line));
    EXPECT_EQ(line, "second\n");
    EXPECT_EQ(preprocessor.LineNumber(), 7);
    EXPECT_FALSE(preprocessor.ReadLine(line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(preprocessor.ReadLine(line));
}

TEST(PreprocessorTest, CharactersOfTheHandedOnLines) {
    TextSource source("a\r\n#if X\nskip\n#endif\n\nbc");
    ComponentDatabasePreprocessor preprocessor("db.cdb", source.Stream(), PlatformSymbols());
    EXPECT_FALSE(preprocessor.AtEnd());
    std::string text;
    for (int c = preprocessor.ReadChar(); c != -1; c = preprocessor.ReadChar()) {
        text.push_back(static_cast<char>(c));
    }
    EXPECT_EQ(text, "a\n\nbc");
    EXPECT_TRUE(preprocessor.AtEnd());
    EXPECT_EQ(preprocessor.ReadChar(), -1);
}

TEST(PreprocessorTest, ClosingStopsOnlyTheFilter) {
    TextSource source("x\n");
    ComponentDatabasePreprocessor preprocessor("db.cdb", source.Stream(), PlatformSymbols());
    EXPECT_TRUE(preprocessor.IsOpen());
    preprocessor.Close();
    EXPECT_FALSE(preprocessor.IsOpen());
    EXPECT_TRUE(source.Stream().IsOpen());
    std::string line;
    EXPECT_THROW(preprocessor.ReadLine(line), IOException);
    EXPECT_THROW(preprocessor.ReadChar(), IOException);
    EXPECT_THROW(preprocessor.AtEnd(), IOException);
    EXPECT_THROW(preprocessor.LineNumber(), IOException);
    preprocessor.Close();
}

TEST(PreprocessorTest, UsesTheMachineSymbolsByDefault) {
    TextSource source("");
    ComponentDatabasePreprocessor preprocessor("db.cdb", source.Stream());
    EXPECT_EQ(preprocessor.Symbols(), MachinePlatformSymbols());
}

} // namespace
} // namespace nebcm
