// The Java launcher's command-line parsing and the virtual machine command lines it builds.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "njava/java_command.h"

namespace nebcm::njava {
namespace {

std::vector<std::string> Split(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::size_t pos = 0;
    std::string argument;
    while (NextArgument(commandLine, pos, argument)) {
        arguments.push_back(argument);
    }
    return arguments;
}

TEST(JavaLauncherCommandLine, SplitsLikeTheCRuntime) {
    struct Case {
        std::string line;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"C:\\Program Files\\NEB\\20\\A.class\" x", {"C:\\Program Files\\NEB\\20\\A.class", "x"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\"", {""}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"a\\\\b", {"a\\\\b"}},        // backslashes before anything but a quote stay
        {"\"a\\\\\" b", {"a\\", "b"}}, // an even run before a quote halves, the quote closes
        {"a\\\"b", {"a\"b"}},          // an odd run escapes the quote
        {"\"unterminated arg", {"unterminated arg"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Split(c.line), c.arguments) << c.line;
    }
}

TEST(JavaLauncherCommandLine, QuotingReadsBackUnchanged) {
    const std::string texts[] = {"",       "plain",     "with blank",
                                 "C:\\",   "C:\\dir\\", "a\"b",
                                 "a\\\"b", "tail\\\\",  "-Dneb.base=C:\\Program Files\\x"};
    for (const std::string& text : texts) {
        std::string line = QuoteForCommandLine(text) + " next";
        std::vector<std::string> arguments = Split(line);
        ASSERT_EQ(arguments.size(), 2u) << line;
        EXPECT_EQ(arguments[0], text) << line;
    }
}

TEST(JavaLauncherCommandLine, ProgramNameQuotedOrNot) {
    std::size_t pos = 0;
    EXPECT_EQ(ProgramName("\"C:\\a b\\njava.exe\" -gui X", pos), "C:\\a b\\njava.exe");
    EXPECT_EQ(pos, 18u);
    EXPECT_EQ(ProgramName("njava.exe X", pos), "njava.exe");
    EXPECT_EQ(pos, 9u);
}

TEST(JavaLauncherRequest, OptionClassAndVerbatimArguments) {
    LaunchRequest request;
    ASSERT_TRUE(ParseLaunchRequest(" -gui \"C:\\NEB 2\\app\\Main.class\"", request));
    EXPECT_TRUE(request.gui);
    EXPECT_EQ(request.target, "C:\\NEB 2\\app\\Main.class");
    EXPECT_EQ(request.arguments, "");

    ASSERT_TRUE(ParseLaunchRequest("neb.core.Launcher app.Main \"two words\"  x ", request));
    EXPECT_FALSE(request.gui);
    EXPECT_EQ(request.target, "neb.core.Launcher");
    EXPECT_EQ(request.arguments, "app.Main \"two words\"  x");

    // Only the exact option word is an option.
    ASSERT_TRUE(ParseLaunchRequest("-GUI", request));
    EXPECT_FALSE(request.gui);
    EXPECT_EQ(request.target, "-GUI");

    for (const char* nothing : {"", "  ", "-gui", "-gui  ", "\"\""}) {
        EXPECT_FALSE(ParseLaunchRequest(nothing, request)) << nothing;
    }
}

TEST(JavaLauncherClass, FoundByPackageInsideTheInstallationAndByFileElsewhere) {
    struct Case {
        const char* target;
        const char* className;
        const char* classPath;
    };
    const std::string base = "C:\\Program Files\\NEB\\20";
    const Case cases[] = {
        {"neb.core.Platform", "neb.core.Platform", "C:\\Program Files\\NEB\\20"},
        {"C:\\Program Files\\NEB\\20\\neb\\core\\Platform.class", "neb.core.Platform",
         "C:\\Program Files\\NEB\\20"},
        // Letter case of the directory does not matter, nor that of the suffix.
        {"c:\\program files\\neb\\20\\app\\Main.CLASS", "app.Main", "C:\\Program Files\\NEB\\20"},
        // A sibling directory whose name merely begins like the installation's is elsewhere.
        {"C:\\Program Files\\NEB\\200\\Main.class", "Main",
         "C:\\Program Files\\NEB\\20;C:\\Program Files\\NEB\\200"},
        {"D:\\Work\\Hello.class", "Hello", "C:\\Program Files\\NEB\\20;D:\\Work"},
        {"D:\\Hello.class", "Hello", "C:\\Program Files\\NEB\\20;D:\\"},
        {"Hello.class", "Hello", "C:\\Program Files\\NEB\\20;."},
    };
    for (const Case& c : cases) {
        ClassLocation location = LocateClass(c.target, base);
        EXPECT_EQ(location.className, c.className) << c.target;
        EXPECT_EQ(location.classPath, c.classPath) << c.target;
    }
}

TEST(JavaLauncherCommand, EachKindOfVirtualMachine) {
    const std::string base = "C:\\NEB";
    std::set<std::string> existing = {"C:\\jdk\\bin\\javaw.exe", "C:\\Windows\\wjview.exe"};
    auto exists = [&existing](const std::string& path) { return existing.count(path) != 0; };
    struct Case {
        int type;
        bool gui;
        const char* program;
        const char* commandLine;
    };
    const Case cases[] = {
        {0, false, "C:\\Windows\\jview.exe",
         "\"C:\\Windows\\jview.exe\" /cp:p \"C:\\NEB\" \"/d:neb.base=C:\\NEB\" app.Main -x"},
        {0, true, "C:\\Windows\\wjview.exe",
         "\"C:\\Windows\\wjview.exe\" /cp:p \"C:\\NEB\" \"/d:neb.base=C:\\NEB\" app.Main -x"},
        {1, false, "C:\\jdk\\bin\\java.exe",
         "\"C:\\jdk\\bin\\java.exe\" -classpath \"C:\\NEB\" \"-Dneb.base=C:\\NEB\" app.Main -x"},
        {1, true, "C:\\jdk\\bin\\javaw.exe",
         "\"C:\\jdk\\bin\\javaw.exe\" -classpath \"C:\\NEB\" \"-Dneb.base=C:\\NEB\" app.Main -x"},
        {2, true, "",
         "C:\\vm\\run.exe -Xmx64m -classpath \"C:\\NEB\" \"-Dneb.base=C:\\NEB\" app.Main -x"},
    };
    JavaSettings settings;
    settings.msExe = "C:\\Windows\\jview.exe";
    settings.sunExe = "C:\\jdk\\bin\\java.exe";
    settings.customCommandLine = "  C:\\vm\\run.exe -Xmx64m ";
    for (const Case& c : cases) {
        settings.type = c.type;
        LaunchRequest request;
        request.gui = c.gui;
        request.target = "app.Main";
        request.arguments = "-x";
        JavaCommand command;
        ASSERT_EQ(BuildJavaCommand(settings, request, base, exists, command), CommandProblem::None);
        EXPECT_EQ(command.program, c.program) << c.type << c.gui;
        EXPECT_EQ(command.commandLine, c.commandLine) << c.type << c.gui;
    }

    // Without the window-less sibling the console program serves -gui too.
    existing.clear();
    settings.type = 1;
    LaunchRequest gui;
    gui.gui = true;
    gui.target = "A";
    JavaCommand command;
    ASSERT_EQ(BuildJavaCommand(settings, gui, base, exists, command), CommandProblem::None);
    EXPECT_EQ(command.program, "C:\\jdk\\bin\\java.exe");
}

TEST(JavaLauncherCommand, NothingConfiguredIsReportedForTheChosenKind) {
    auto never = [](const std::string&) { return false; };
    LaunchRequest request;
    request.target = "A";
    for (int type : {0, 1, 2}) {
        JavaSettings settings; // every path and command line empty
        settings.type = type;
        if (type != 0) {
            settings.msExe = "C:\\Windows\\jview.exe"; // another kind's path does not help
        }
        JavaCommand command;
        EXPECT_EQ(BuildJavaCommand(settings, request, "C:\\NEB", never, command),
                  CommandProblem::NoVirtualMachine)
            << type;
        EXPECT_NE(NoVirtualMachineText(settings).find("Java support"), std::string::npos);
    }
}

TEST(JavaLauncherSettings, StoredTypeOutsideTheThreeKindsIsCustom) {
    const std::string texts[] = {"0", "1", "2", "7", "-1", "1x", "", " 1"};
    const int types[] = {0, 1, 2, 2, 2, 2, 2, 2};
    for (std::size_t i = 0; i < sizeof types / sizeof types[0]; ++i) {
        EXPECT_EQ(JavaTypeFromText(&texts[i]), types[i]) << texts[i];
    }
    EXPECT_EQ(JavaTypeFromText(nullptr), 2);
}

} // namespace
} // namespace nebcm::njava
