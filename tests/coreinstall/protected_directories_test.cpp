// The folders an installation directory must never be or contain, on the real Windows folders of
// the prefix and the test's stand-in shell folders, temporary directory and 1.0 installation.
#include <gtest/gtest.h>

#include "common/messages.h"
#include "coreinstall_fixture.h"
#include "engine/core_installation.h"
#include "engine/file_system.h"
#include "engine/protected_directories.h"
#include "model/validator.h"

namespace nebcm::test {
namespace {

class ProtectedDirectoryTest : public CoreInstallTest {
protected:
    void SetUp() override {
        CoreInstallTest::SetUp();
        PrepareMachineKeys();
        LayOutLegacyInstallation();
    }
    static std::string SystemPath(SystemFolder folder) {
        std::string path;
        EXPECT_TRUE(Machine().FindSystemFolder(folder, path)) << static_cast<int>(folder);
        return WithoutTrailingBackslash(path);
    }
    // Every protected folder of the test machine, with what it is.
    std::vector<std::pair<std::string, std::string>> Folders() {
        std::vector<std::pair<std::string, std::string>> folders = {
            {"Windows", SystemPath(SystemFolder::Windows)},
            {"system", SystemPath(SystemFolder::System)},
            {"programs", SystemPath(SystemFolder::ProgramFiles)},
            {"profile", SystemPath(SystemFolder::Profile)},
            {"documents", SystemPath(SystemFolder::Documents)},
            {"temporary", temp_},
            {"1.0", Legacy()},
        };
        for (ShellFolder folder : AllShellFolders) {
            folders.emplace_back("shell " + std::to_string(static_cast<int>(folder)),
                                 Folder(folder));
        }
        return folders;
    }
};

bool IsAtOrBelow(const std::string& path, const std::string& directory) {
    return EqualIgnoringCase(path, directory) ||
           (path.size() > directory.size() &&
            EqualIgnoringCase(path.substr(0, directory.size() + 1), directory + "\\"));
}

TEST_F(ProtectedDirectoryTest, EachProtectedFolderAndTheFoldersAboveItAreRefusedNamingIt) {
    for (const auto& [what, folder] : Folders()) {
        SCOPED_TRACE(what + ": " + folder);
        ASSERT_FALSE(folder.empty());
        DirectoryRefusal refusal = CheckInstallationDirectory(folder);
        ASSERT_TRUE(refusal.refused);
        EXPECT_TRUE(EqualIgnoringCase(refusal.folder, folder)) << refusal.folder;
        EXPECT_EQ(refusal.Text(), Message(13001, folder, refusal.folder));
        EXPECT_TRUE(IsUnsafeToEmpty(folder));

        // Every folder above it, up to its drive, whose root has its own message.
        for (std::string above = DirectoryOf(folder); above.size() > 3;
             above = DirectoryOf(above)) {
            refusal = CheckInstallationDirectory(above + "\\");
            EXPECT_TRUE(refusal.refused) << above;
            EXPECT_EQ(refusal.directory, above);
            EXPECT_TRUE(IsAtOrBelow(refusal.folder, above)) << above << " named " << refusal.folder;
        }
        const std::string root = folder.substr(0, 3);
        refusal = CheckInstallationDirectory(root);
        EXPECT_TRUE(refusal.refused);
        EXPECT_EQ(refusal.folder, "");
        EXPECT_EQ(refusal.Text(), Message(13002, root));
    }
}

TEST_F(ProtectedDirectoryTest, OtherSpellingsOfTheSameFolderAreSeenThrough) {
    const std::string windows = SystemPath(SystemFolder::Windows);
    const std::string programs = SystemPath(SystemFolder::ProgramFiles);
    char shortName[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(programs.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::string(shortName), programs) << "no short name to test with";
    std::string upper = windows;
    for (char& c : upper) {
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    struct Case {
        std::string typed;
        std::string folder;
    };
    const Case cases[] = {
        {shortName, programs},
        {std::string(shortName) + "\\", programs},
        {windows + ".", windows},
        {windows + " ", windows},
        {upper, windows},
        {windows + "\\\\", windows},
        {windows + "\\system32\\..", windows},
        {"C:/" + windows.substr(3), windows},
        {Folder(ShellFolder::Desktop) + "\\.", Folder(ShellFolder::Desktop)},
    };
    for (const Case& c : cases) {
        DirectoryRefusal refusal = CheckInstallationDirectory(c.typed);
        EXPECT_TRUE(refusal.refused) << c.typed;
        EXPECT_TRUE(EqualIgnoringCase(refusal.folder, c.folder))
            << c.typed << " named " << refusal.folder;
    }
    for (const char* root : {"C:\\", "c:/", "C:\\\\", "\\\\server\\share", "\\\\server\\share\\",
                             "\\\\.\\C:", "\\\\?\\C:\\"}) {
        DirectoryRefusal refusal = CheckInstallationDirectory(root);
        EXPECT_TRUE(refusal.refused) << root;
        EXPECT_EQ(refusal.folder, "") << root;
    }
}

TEST_F(ProtectedDirectoryTest, FoldersBesideOrBelowAProtectedOneAreFine) {
    const std::string programs = SystemPath(SystemFolder::ProgramFiles);
    const std::string windows = SystemPath(SystemFolder::Windows);
    for (const std::string& directory :
         {Install(), programs + "\\NEB\\20", programs + "\\NEB", programs + "2", windows + "X",
          SystemPath(SystemFolder::Documents) + "\\NEB 2.0", temp_ + "\\below",
          Folder(ShellFolder::Programs) + "\\NEB 2.0", Legacy("NEB20")}) {
        DirectoryRefusal refusal = CheckInstallationDirectory(directory);
        EXPECT_FALSE(refusal.refused) << directory << ": " << refusal.Text();
        EXPECT_EQ(refusal.Text(), "");
    }
}

TEST_F(ProtectedDirectoryTest, TheInstallationRefusesAProtectedDirectoryBeforeAnyChange) {
    // A protected folder that is not there yet is refused by its name alone.
    machine_.temp = Work("missing temp") + "\\";
    WriteBytes(Folder(ShellFolder::Desktop) + "\\keep.txt", "the user's");
    const std::string before = MachineState();
    const std::string windows = SystemPath(SystemFolder::Windows);
    struct Case {
        std::string directory;
        std::string message;
    };
    const Case cases[] = {
        {Work("shell"), Message(13001, Work("shell"), Folder(ShellFolder::CommonDesktop))},
        {Work("missing temp"), Message(13001, Work("missing temp"), Work("missing temp"))},
        {Work(), Message(13001, Work(), Work("missing temp"))},
        {windows + ".", Message(13001, windows, windows)},
        {"C:\\", Message(13002, "C:\\")},
    };
    for (const Case& c : cases) {
        for (int policy : {0, 2}) {
            RecordingProgress progress;
            ErrorList errors;
            std::string program;
            EXPECT_EQ(RunCoreInstallation(c.directory, policy, IsLegacyInstallationFound(),
                                          progress, errors, program),
                      ProcedureResult::Failed)
                << c.directory;
            EXPECT_EQ(errors.Messages(), std::vector<std::string>{c.message});
            EXPECT_TRUE(progress.rows.empty()) << "no activity began for " << c.directory;
            EXPECT_EQ(program, "");
            EXPECT_EQ(MachineState(), before) << c.directory;
        }
    }
    EXPECT_TRUE(TempFiles().empty());
}

} // namespace
} // namespace nebcm::test
