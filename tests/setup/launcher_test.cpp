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

    std::string module = "E:\\medium\\setup.exe";
    bool moduleOk = true;
    bool startOk = true;
    std::map<std::string, std::string> files;
    std::set<std::string> existing;
    std::string readPath, startedProgram, startedLine;
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

} // namespace
} // namespace nebcm::setup
