// Hostile distribution sets through the real program: paths that Windows would rewrite, device
// names, the platform's own files and letter-case twins are refused with a message, and nothing
// on drive C or in the registry changes; benign sets with long names, deep trees and shared files
// still install.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>

#include <string>
#include <vector>

#include "e2e/installed_core.h"
#include "e2e/modes_support.h"
#include "e2e/wizards_set.h"
#include "support/window_driver.h"

namespace nebcm::testing {
namespace {

const char kSets[] = "C:\\hostile";

// One library with the given "File=" lines; every named file is in the archive, stored under the
// name the database gives (with backslashes, as archives store names).
Subset LibrarySubset(const std::string& name, const std::vector<std::string>& fileLines,
                     const std::string& package = "evil") {
    std::string database = "[Library:" + name + "]\r\nVersion=1.00\r\nDescription=" + name +
                           " library\r\nCopyright=(c) nobody\r\nPackage=" + package + "\r\n";
    Subset subset;
    for (const std::string& line : fileLines) {
        database += "File=" + line + "\r\n";
        std::string path = line.substr(0, line.find(';'));
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        subset.push_back({path, "contents of " + path + "\r\n"});
    }
    subset.insert(subset.begin(), SetEntry{"neb.cdb", database});
    return subset;
}

struct HostileCase {
    const char* label;
    std::vector<Subset> subsets;
    // A text that the refusal must show (the offending path, or the rule's message).
    std::string expected;
};

std::vector<HostileCase> HostileCases() {
    return {
        {"dots-climb", {LibrarySubset("climb", {".../.../.../windows/win.ini"})}, "..."},
        {"dots-inside", {LibrarySubset("inside", {"x/.../.../.../evil.txt"})}, "evil.txt"},
        {"blanks-and-dots", {LibrarySubset("blank", {"lib/. ./. ./x.txt"})}, "x.txt"},
        {"shortcut-climb",
         {LibrarySubset("autostart", {"lib/tool.jar;.../Startup/evil"})},
         ".../Startup/evil"},
        {"trailing-dot", {LibrarySubset("twin", {"lib/xml.jar."})}, "lib/xml.jar."},
        {"dotted-folder", {LibrarySubset("folder", {"lib./xml.jar"})}, "lib./xml.jar"},
        {"trailing-blank-folder", {LibrarySubset("blankdir", {"lib /xml.jar"})}, "lib /xml.jar"},
        {"device-with-extension", {LibrarySubset("aux", {"aux.c"})}, "aux.c"},
        {"device-in-folder", {LibrarySubset("nul", {"lib/NUL"})}, "lib/NUL"},
        {"device-blank-extension", {LibrarySubset("con", {"docs/Con .txt"})}, "docs/Con .txt"},
        {"console-device", {LibrarySubset("conin", {"conin$"})}, "conin$"},
        {"serial-device-folder", {LibrarySubset("com", {"COM1/a.txt"})}, "COM1/a.txt"},
        {"colon-stream", {LibrarySubset("stream", {"lib/a.jar:hidden"})}, "lib/a.jar:hidden"},
        {"package-climb", {LibrarySubset("pkg", {"lib/p.jar"}, "../../x")}, "../../x"},
        {"java-launcher", {LibrarySubset("launcher", {"njava.exe"})}, "njava.exe"},
        {"platform-icon", {LibrarySubset("icon", {"NEB.ico"})}, "NEB.ico"},
        {"database", {LibrarySubset("db", {"neb.cdb"})}, "neb.cdb"},
        {"manager-other-case", {LibrarySubset("manager", {"NEBCM.EXE"})}, "NEBCM.EXE"},
        {"core-classes", {LibrarySubset("core", {"neb/Core/Launcher.class"})}, "Launcher.class"},
        {"case-twins-across-subsets",
         {LibrarySubset("lower", {"lib/shared.jar"}), LibrarySubset("upper", {"lib/SHARED.jar"})},
         "lib/SHARED.jar"},
    };
}

// Everything on drive C but the sets themselves, and the machine's and the user's registry.
std::string WholeMachine() {
    std::string state;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA("C:\\*", &found);
    EXPECT_NE(search, INVALID_HANDLE_VALUE);
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == ".." || Lower(name) == "hostile") {
            continue;
        }
        const std::string path = "C:\\" + name;
        state += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                     ? path + "\\\n" + TreeDump(path)
                     : path + "\n";
    } while (FindNextFileA(search, &found));
    FindClose(search);
    state += RegistryDump(HKEY_LOCAL_MACHINE, "Software");
    state += RegistryDump(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control");
    state += RegistryDump(HKEY_CURRENT_USER, "Software");
    state += RegistryDump(HKEY_CURRENT_USER, "Environment");
    return state;
}

// The lines of the first text that the second lacks, to show what a run changed.
std::string LinesOnlyIn(const std::string& a, const std::string& b) {
    std::string only;
    std::size_t start = 0;
    while (start < a.size()) {
        std::size_t end = a.find('\n', start);
        const std::string line = a.substr(start, end == std::string::npos ? end : end - start + 1);
        if (b.find(line) == std::string::npos) {
            only += line;
        }
        start = end == std::string::npos ? a.size() : end + 1;
    }
    return only;
}

// Starts the installed program on the set; its refusal, with the error list read and closed.
// Empty when the program showed no refusal.
std::string RefusalOf(const std::string& set) {
    ChildProcess program;
    if (!program.Start(kInstalledProgram, set)) {
        return std::string();
    }
    HWND failure = WaitForDialogSaying("has not been installed", program.Id(), 90000);
    if (failure == nullptr) {
        // Whatever it showed instead (a wizard offering the set) must not go on.
        return std::string();
    }
    PressButton(failure, 1013);
    HWND list = WaitForDialogSaying("The following problems have been encountered", program.Id());
    std::string text = list != nullptr ? ControlText(list, 1011) : std::string("(no error list)");
    if (list != nullptr) {
        PressButton(list, IDOK);
        WaitUntilGone(list);
    }
    PressButton(failure, IDOK);
    program.Wait(30000);
    return text.empty() ? std::string("(empty error list)") : text;
}

TEST(HostileSets, AreRefusedWithAMessageAndChangeNothing) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA(kSets, nullptr);
    const std::vector<HostileCase> cases = HostileCases();
    for (const HostileCase& c : cases) {
        ASSERT_TRUE(WriteSet(std::string(kSets) + "\\" + c.label + ".nds", c.subsets)) << c.label;
    }
    const std::string before = WholeMachine();
    for (const HostileCase& c : cases) {
        const std::string refusal = RefusalOf(std::string(kSets) + "\\" + c.label + ".nds");
        ASSERT_FALSE(refusal.empty()) << c.label << ": the set was not refused";
        EXPECT_NE(refusal.find(c.expected), std::string::npos) << c.label << ": " << refusal;
        // Any change is caught at the case that made it.
        const std::string after = WholeMachine();
        ASSERT_EQ(after, before) << c.label << " changed the machine:\nnew:\n"
                                 << LinesOnlyIn(after, before) << "gone:\n"
                                 << LinesOnlyIn(before, after);
    }
}

// A name of the given length made of one letter, with the extension.
std::string LongName(char letter, std::size_t length, const std::string& extension) {
    return std::string(length - extension.size(), letter) + extension;
}

TEST(BenignSets, WithLongNamesDeepTreesAndSharedFilesStillInstall) {
    ASSERT_TRUE(InstallCoreFromTheMedium());
    CreateDirectoryA(kSets, nullptr);
    // "C:\Program Files\NEB\20\" is 24 characters: a deep path that ends just under 260.
    std::string deep;
    while (24 + deep.size() + 12 < 250) {
        deep += "level/";
    }
    deep += "bottom.txt";
    const std::vector<std::string> shared = {
        "lib/shared.jar",           "docs/console.txt", "docs/con2.txt",
        "docs/auxiliary.txt",       "docs/.hidden",     "docs/a.b.c",
        "docs/nul-device notes.txt"};
    std::vector<std::string> first = shared;
    first.push_back(LongName('a', 200, ".txt"));
    first.push_back(deep);
    std::vector<std::string> second = shared;
    second.push_back("lib/second.jar;Benign/Second");
    ASSERT_TRUE(
        WriteSet(std::string(kSets) + "\\benign.nds", {LibrarySubset("first", first, "benign"),
                                                       LibrarySubset("second", second, "benign")}));
    ChildProcess program;
    ASSERT_TRUE(program.Start(kInstalledProgram, std::string(kSets) + "\\benign.nds"));
    HWND selection = WaitForTitle("NEB 2.0 - Select NEB extensions to install", 90000);
    ASSERT_NE(selection, nullptr) << "the benign set was not offered";
    PostMessageA(selection, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
    HWND complete = WaitForTitle("Installation complete", 90000);
    ASSERT_NE(complete, nullptr) << "no completion report";
    EXPECT_NE(StaticTexts(complete).find("2 NEB Extension(s) have been successfully installed."),
              std::string::npos)
        << StaticTexts(complete);
    PressButton(complete, IDOK);
    EXPECT_NE(program.Wait(30000), STILL_ACTIVE);

    for (const std::vector<std::string>* files : {&first, &second}) {
        for (std::string path : *files) {
            path = path.substr(0, path.find(';'));
            for (char& c : path) {
                if (c == '/') {
                    c = '\\';
                }
            }
            EXPECT_TRUE(Exists(kInstallDir + path)) << path;
        }
    }
    EXPECT_EQ(ReadWholeFile(kInstallDir + "lib\\shared.jar"), "contents of lib\\shared.jar\r\n");
    EXPECT_TRUE(Exists(ShellFolder(CSIDL_COMMON_PROGRAMS) + "\\NEB 2.0\\Benign\\Second.lnk") ||
                Exists(ShellFolder(CSIDL_PROGRAMS) + "\\NEB 2.0\\Benign\\Second.lnk"));
}

} // namespace
} // namespace nebcm::testing
