// The launcher's steps against a scripted machine: paths, trimming, the four fatal messages.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "setup/launcher.h"

namespace nebcm::setup {
namespace {

class FakeEnvironment : public LauncherEnvironment {
public:
    bool ModulePath(std::string& path) override {
        path = module;
        return moduleOk;
    }
    bool ReadFirstLine(const std::string& path, bool& opened, std::string& line) override {
        readPath = path;
        auto it = files.find(path);
        opened = it != files.end();
        if (!opened || it->second.empty()) {
            return false;
        }
        std::size_t end = it->second.find('\n');
        line = end == std::string::npos ? it->second : it->second.substr(0, end + 1);
        return true;
    }
    bool Exists(const std::string& path) override {
        return files.count(path) || existing.count(path);
    }
    bool Start(const std::string& program, const std::string& commandLine) override {
        startedProgram = program;
        startedLine = commandLine;
        return startOk;
    }
    bool StartAndWait(const std::string& program, const std::string& commandLine,
                      int& exitCode) override {
        waitedProgram = program;
        waitedLine = commandLine;
        exitCode = managerExitCode;
        return startOk;
    }

    std::string module = "E:\\medium\\setup.exe";
    bool moduleOk = true;
    bool startOk = true;
    std::map<std::string, std::string> files;
    std::set<std::string> existing;
    std::string readPath, startedProgram, startedLine;
    std::string waitedProgram, waitedLine;
    int managerExitCode = 0;
};

TEST(Launcher, StartsTheManagerOnTheTrimmedSetPath) {
    FakeEnvironment env;
    env.files["E:\\medium\\setup.inf"] = " \t sets\\My Set.nds  \r\nignored second line\n";
    env.existing = {"E:\\medium\\sets\\My Set.nds", "E:\\medium\\NebCM.exe"};
    LaunchOutcome out = Launch(env);
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.fatalMessage, "");
    EXPECT_EQ(env.startedProgram, "E:\\medium\\NebCM.exe");
    // The set path goes unquoted: the manager takes its whole trimmed command line as the path.
    EXPECT_EQ(env.startedLine, "\"E:\\medium\\NebCM.exe\" E:\\medium\\sets\\My Set.nds");
}

TEST(Launcher, AnEmptyFirstLineNamesTheLauncherDirectory) {
    FakeEnvironment env;
    env.files["E:\\medium\\setup.inf"] = "\r\nset.nds\r\n";
    env.existing = {"E:\\medium\\", "E:\\medium\\NebCM.exe"};
    LaunchOutcome out = Launch(env);
    EXPECT_TRUE(out.started);
    EXPECT_EQ(env.startedLine, "\"E:\\medium\\NebCM.exe\" E:\\medium\\");
}

TEST(Launcher, FatalMessagesNameTheMissingPiece) {
    FakeEnvironment env;
    EXPECT_EQ(Launch(env).fatalMessage, "Can't find the information file 'E:\\medium\\setup.inf'");

    env.files["E:\\medium\\setup.inf"] = "";
    EXPECT_EQ(Launch(env).fatalMessage, "Can't read the information file 'E:\\medium\\setup.inf'");

    env.files["E:\\medium\\setup.inf"] = "a.nds\n";
    EXPECT_EQ(Launch(env).fatalMessage, "Can't find the NEB Distribution Set 'E:\\medium\\a.nds'");

    env.existing.insert("E:\\medium\\a.nds");
    EXPECT_EQ(Launch(env).fatalMessage,
              "Can't find the NEB Configuration Manager 'E:\\medium\\NebCM.exe'");

    env.existing.insert("E:\\medium\\NebCM.exe");
    env.startOk = false;
    LaunchOutcome out = Launch(env);
    EXPECT_FALSE(out.started);
    EXPECT_EQ(out.fatalMessage,
              "Can't start the NEB Configuration Manager 'E:\\medium\\NebCM.exe'");
}

TEST(Launcher, NoModulePathEndsSilently) {
    FakeEnvironment env;
    env.moduleOk = false;
    LaunchOutcome out = Launch(env);
    EXPECT_FALSE(out.started);
    EXPECT_EQ(out.fatalMessage, "");
    EXPECT_EQ(env.readPath, "");
}

TEST(Launcher, DirectoryAndTrimming) {
    EXPECT_EQ(LauncherDirectory("C:\\a\\b\\setup.exe"), "C:\\a\\b\\");
    EXPECT_EQ(LauncherDirectory("C:/a/setup.exe"), "C:/a/");
    EXPECT_EQ(LauncherDirectory("setup.exe"), "setup.exe");
    EXPECT_EQ(TrimWhiteSpace("  x y \r\n"), "x y");
    EXPECT_EQ(TrimWhiteSpace("\r\n"), "");
}

TEST(Launcher, LongPathsAreNotCutShort) {
    FakeEnvironment env;
    std::string deep = "E:\\" + std::string(300, 'd') + "\\";
    env.module = deep + "setup.exe";
    env.files[deep + "setup.inf"] = "s.nds";
    LaunchOutcome out = Launch(env);
    EXPECT_EQ(out.fatalMessage, "Can't find the NEB Distribution Set '" + deep + "s.nds'");
}

TEST(UnattendedLauncher, PutsItsOptionsBeforeTheSetWaitsAndPassesTheExitCodeOn) {
    FakeEnvironment env;
    env.files["E:\\my medium\\setup.inf"] = "sample.nds\r\n";
    env.module = "E:\\my medium\\setup.exe";
    env.existing = {"E:\\my medium\\sample.nds", "E:\\my medium\\NebCM.exe"};
    env.managerExitCode = 5;
    LaunchOutcome out =
        Launch(env, "  -Unattended -Directory \"C:\\Apps\\NEB 20\" -Log C:\\neb.log ");
    EXPECT_TRUE(out.unattended);
    EXPECT_TRUE(out.started);
    EXPECT_EQ(out.exitCode, 5);
    EXPECT_EQ(env.startedLine, ""); // never started without waiting
    EXPECT_EQ(env.waitedProgram, "E:\\my medium\\NebCM.exe");
    EXPECT_EQ(env.waitedLine, "\"E:\\my medium\\NebCM.exe\" -Unattended -Directory "
                              "\"C:\\Apps\\NEB 20\" -Log C:\\neb.log E:\\my medium\\sample.nds");

    env.startOk = false;
    out = Launch(env, "-Unattended");
    EXPECT_FALSE(out.started);
    EXPECT_EQ(out.exitCode, LaunchRefusedExitCode);
    EXPECT_NE(out.fatalMessage.find("Can't start the NEB Configuration Manager"),
              std::string::npos);

    // Anything else keeps the plain launch, which ignores its command line.
    env.startOk = true;
    out = Launch(env, "-unattended");
    EXPECT_FALSE(out.unattended);
    EXPECT_EQ(env.startedLine, "\"E:\\my medium\\NebCM.exe\" E:\\my medium\\sample.nds");
    EXPECT_FALSE(IsUnattendedLaunch("-UnattendedX"));
    EXPECT_TRUE(IsUnattendedLaunch("\t-Unattended"));
}

} // namespace
} // namespace nebcm::setup
