// The platform procedures' test bench: redirected registry roots, the stand-in environment, the
// recording progress window and archives made for a test.
#include "coreinstall_fixture.h"

#include <cstdlib>

#include "common/constants.h"
#include "engine/shortcuts.h"

#include "../../tools/nebpack/archive_writer.h"

namespace nebcm::test {

namespace {

using OverrideFunction = LONG(WINAPI*)(HKEY, HKEY);

// The registry's redirection of a predefined root within this process (not in the headers of the
// Windows version the program targets).
LONG OverridePredefinedKey(HKEY root, HKEY replacement) {
    static OverrideFunction function = reinterpret_cast<OverrideFunction>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "RegOverridePredefKey")));
    return function != nullptr ? function(root, replacement) : ERROR_CALL_NOT_IMPLEMENTED;
}

// The machine's place of a layout key, below HKEY_CURRENT_USER.
std::string MappedSubkey(const std::string& key) {
    std::string mapped = Machine().RegistryKey(key);
    const std::string root = "HKEY_CURRENT_USER\\";
    EXPECT_EQ(mapped.compare(0, root.size(), root), 0) << mapped;
    return mapped.substr(root.size());
}

HKEY OpenMapped(const std::string& key, REGSAM access) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, MappedSubkey(key).c_str(), 0, access, &opened) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return opened;
}

bool IsEmptyKey(HKEY key) {
    DWORD subkeys = 0;
    DWORD values = 0;
    return ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                              nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// The shell keeps some settings of its own in HKEY_LOCAL_MACHINE and writes them when a link is
// first saved in a process; that happens here, before the roots are redirected.
bool WarmUpShell(const std::string& directory) {
    std::string link = directory + "\\warm-up.lnk";
    std::string target, arguments, workingDirectory;
    ErrorList errors;
    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    bool made = CreateShortcut(link, program, "", nullptr, errors) &&
                ReadShortcut(link, target, arguments, workingDirectory);
    ::DeleteFileA(link.c_str());
    return made;
}

} // namespace

void RecordingProgress::BeginActivity(int nameMessage) {
    Row row;
    row.activity = nameMessage;
    rows.push_back(row);
    paused += 500;
}

void RecordingProgress::SetActivityPercent(int percent) {
    if (!rows.empty()) {
        rows.back().percents.push_back(percent);
    }
}

void RecordingProgress::SetActivityStatus(int statusMessage) {
    if (!rows.empty()) {
        rows.back().status = statusMessage;
    }
}

void RecordingProgress::SetActivityStatusText(const std::string&) {}

bool RecordingProgress::IsCancelled() {
    if (!cancelled && cancelWhen && cancelWhen(*this)) {
        cancelled = true;
    }
    return cancelled;
}

std::vector<int> RecordingProgress::Activities() const {
    std::vector<int> activities;
    for (const Row& row : rows) {
        activities.push_back(row.activity);
    }
    return activities;
}

std::vector<int> RecordingProgress::Statuses() const {
    std::vector<int> statuses;
    for (const Row& row : rows) {
        statuses.push_back(row.status);
    }
    return statuses;
}

std::function<bool(const RecordingProgress&)> CancelAfter(int activity, int percents) {
    return [activity, percents](const RecordingProgress& progress) {
        return !progress.rows.empty() && progress.rows.back().activity == activity &&
               static_cast<int>(progress.rows.back().percents.size()) >= percents;
    };
}

bool FakeMachine::FindShellFolder(ShellFolder folder, std::string& path) {
    auto found = folders.find(folder);
    if (found == folders.end()) {
        return false;
    }
    path = found->second;
    return true;
}

bool FakeMachine::FindSystemFolder(SystemFolder folder, std::string& path) {
    auto found = systemFolders.find(folder);
    if (found == systemFolders.end()) {
        return false;
    }
    path = found->second;
    return true;
}

bool FakeMachine::ModulePath(std::string& path) {
    if (module.empty()) {
        return false;
    }
    path = module;
    return true;
}

bool FakeMachine::TempDirectory(std::string& path) {
    if (temp.empty()) {
        return false;
    }
    path = temp;
    return true;
}

bool FakeMachine::StartProcess(const std::string& program, const std::string& arguments) {
    started.emplace_back(program, arguments);
    return startSucceeds;
}

bool FakeMachine::CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) {
    if (useRealArchive) {
        return RealCoreArchive(data, size);
    }
    if (archive.empty()) {
        return false;
    }
    data = archive.data();
    size = static_cast<std::uint32_t>(archive.size());
    return true;
}

std::string BuiltProgram(const char* name) {
    const char* dir = std::getenv("NEBCM_PROGRAMS");
    if (dir == nullptr) {
        return std::string();
    }
    std::string path = std::string("Z:") + dir + "/bin/" + name;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

bool RealCoreArchive(const std::uint8_t*& data, std::uint32_t& size) {
    // Loaded once as data and kept for the life of the test process.
    static HMODULE program =
        ::LoadLibraryExA(BuiltProgram("NebCM.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return program != nullptr && FindBinaryResource(program, CoreArchiveResourceId, data, size);
}

std::vector<std::uint8_t> MakeArchive(const std::vector<std::pair<std::string, std::string>>& files,
                                      std::uint64_t time) {
    std::vector<nebpack::ArchiveFile> entries;
    for (const auto& [name, content] : files) {
        nebpack::ArchiveFile file;
        file.name = name;
        file.time = time;
        file.data.assign(content.begin(), content.end());
        entries.push_back(file);
    }
    return nebpack::BuildArchive(entries);
}

void CoreInstallTest::SetUp() {
    EngineTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    static const bool shellReady = WarmUpShell(temp_);
    ASSERT_TRUE(shellReady);
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (keySub_ + "\\Stray\\HKLM").c_str(), 0, nullptr,
                                0, KEY_ALL_ACCESS, nullptr, &strayMachine_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (keySub_ + "\\Stray\\HKCR").c_str(), 0, nullptr,
                                0, KEY_ALL_ACCESS, nullptr, &strayClasses_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(OverridePredefinedKey(HKEY_LOCAL_MACHINE, strayMachine_), ERROR_SUCCESS);
    ASSERT_EQ(OverridePredefinedKey(HKEY_CLASSES_ROOT, strayClasses_), ERROR_SUCCESS);

    const std::pair<ShellFolder, const char*> folders[] = {
        {ShellFolder::StartMenu, "shell\\Start Menu"},
        {ShellFolder::Programs, "shell\\Start Menu\\Programs"},
        {ShellFolder::Desktop, "shell\\Desktop"},
        {ShellFolder::CommonStartMenu, "shell\\All Users\\Start Menu"},
        {ShellFolder::CommonPrograms, "shell\\All Users\\Start Menu\\Programs"},
        {ShellFolder::CommonDesktop, "shell\\All Users\\Desktop"},
    };
    // A child process started by RunChild finds its parent's folders and medium in place.
    ::CreateDirectoryA(Work("shell").c_str(), nullptr);
    ::CreateDirectoryA(Work("shell\\All Users").c_str(), nullptr);
    for (const auto& [folder, relative] : folders) {
        ASSERT_TRUE(::CreateDirectoryA(Work(relative).c_str(), nullptr) || IsChild()) << relative;
        machine_.folders[folder] = Work(relative);
    }
    char windows[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    ASSERT_GT(::GetSystemDirectoryA(system, MAX_PATH), 0u);
    machine_.systemFolders = {
        {SystemFolder::Windows, windows},
        {SystemFolder::System, system},
        {SystemFolder::ProgramFiles, "C:\\Program Files"},
        {SystemFolder::Profile, Source("profile")},
        {SystemFolder::Documents, Source("profile\\My Documents")},
    };
    ASSERT_TRUE(::CreateDirectoryA(Work("drive").c_str(), nullptr) || IsChild());
    machine_.registryRoot = Key("Layout");
    machine_.autoexec = Work("drive\\autoexec.bat");
    machine_.wininit = Work("drive\\wininit.ini");
    machine_.temp = temp_ + "\\";
    medium_ = Source("medium");
    machine_.module = medium_ + "\\NebCM.exe";
    if (!IsChild()) {
        ASSERT_TRUE(::CreateDirectoryA(medium_.c_str(), nullptr));
        WriteMedium();
    }
    SetMachineEnvironment(&machine_);
}

void CoreInstallTest::TearDown() {
    SetMachineEnvironment(nullptr);
    OverridePredefinedKey(HKEY_LOCAL_MACHINE, nullptr);
    OverridePredefinedKey(HKEY_CLASSES_ROOT, nullptr);
    if (strayMachine_ != nullptr) {
        EXPECT_TRUE(IsEmptyKey(strayMachine_))
            << "a procedure wrote to HKEY_LOCAL_MACHINE itself:\n"
            << Describe(SnapshotRegistry(HKEY_CURRENT_USER, keySub_ + "\\Stray\\HKLM"));
        ::RegCloseKey(strayMachine_);
    }
    if (strayClasses_ != nullptr) {
        EXPECT_TRUE(IsEmptyKey(strayClasses_))
            << "a procedure wrote to HKEY_CLASSES_ROOT itself:\n"
            << Describe(SnapshotRegistry(HKEY_CURRENT_USER, keySub_ + "\\Stray\\HKCR"));
        ::RegCloseKey(strayClasses_);
    }
    EngineTest::TearDown();
}

void CoreInstallTest::WriteMedium(bool withHelpIndex) {
    WriteBytes(medium_ + "\\NebCM.exe", "MZ configuration manager");
    WriteBytes(medium_ + "\\NebCM.hlp", "help");
    WriteBytes(medium_ + "\\NebCM.cnt", "contents");
    if (withHelpIndex) {
        WriteBytes(medium_ + "\\NebCM.GID", "index");
    } else {
        ::DeleteFileA((medium_ + "\\NebCM.GID").c_str());
    }
    WriteBytes(medium_ + "\\NEB.ico", "icon");
}

std::string CoreInstallTest::Install(const std::string& relative) const {
    return relative.empty() ? Work("NEB\\20") : Work("NEB\\20\\" + relative);
}

std::string CoreInstallTest::Value(const std::string& key, const std::string& name) {
    HKEY opened = OpenMapped(key, KEY_READ);
    if (opened == nullptr) {
        return "<missing>";
    }
    char buffer[8192];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG result = ::RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(opened);
    if (result != ERROR_SUCCESS) {
        return "<missing>";
    }
    return std::string(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
}

DWORD CoreInstallTest::ValueType(const std::string& key, const std::string& name) {
    HKEY opened = OpenMapped(key, KEY_READ);
    DWORD type = 0;
    if (opened != nullptr) {
        ::RegQueryValueExA(opened, name.c_str(), nullptr, &type, nullptr, nullptr);
        ::RegCloseKey(opened);
    }
    return type;
}

bool CoreInstallTest::KeyExists(const std::string& key) {
    HKEY opened = OpenMapped(key, KEY_READ);
    if (opened == nullptr) {
        return false;
    }
    ::RegCloseKey(opened);
    return true;
}

namespace {

void SetRaw(const std::string& key, const std::string& name, DWORD type, const void* data,
            DWORD size) {
    HKEY made = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, MappedSubkey(key).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &made, nullptr),
              ERROR_SUCCESS)
        << key;
    LONG result = ::RegSetValueExA(made, name.empty() ? nullptr : name.c_str(), 0, type,
                                   static_cast<const BYTE*>(data), size);
    ::RegCloseKey(made);
    ASSERT_EQ(result, ERROR_SUCCESS) << key << " " << name;
}

} // namespace

void CoreInstallTest::SetValue(const std::string& key, const std::string& name,
                               const std::string& value, DWORD type) {
    SetRaw(key, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void CoreInstallTest::SetNumber(const std::string& key, const std::string& name, DWORD value) {
    SetRaw(key, name, REG_DWORD, &value, sizeof value);
}

void CoreInstallTest::PrepareMachineKeys() {
    SetValue(EnvironmentKey, PathValue, "C:\\WINDOWS;C:\\Tools", REG_EXPAND_SZ);
    HKEY made = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, MappedSubkey(UninstallKeyRoot).c_str(), 0,
                                nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr),
              ERROR_SUCCESS);
    ::RegCloseKey(made);
}

std::string CoreInstallTest::Legacy(const std::string& relative) const {
    return relative.empty() ? Work("NEB10") : Work("NEB10\\" + relative);
}

std::string CoreInstallTest::LegacyGroup(const std::string& relative) const {
    std::string group = Folder(ShellFolder::Programs) + "\\" + PlatformName10;
    return relative.empty() ? group : group + "\\" + relative;
}

void CoreInstallTest::LayOutLegacyInstallation(bool withUninstallEntry) {
    for (const char* directory : {"", "core", "app", "app\\doc", "lib"}) {
        ::CreateDirectoryA(Legacy(directory).c_str(), nullptr);
    }
    WriteBytes(Legacy("neb.cdb"), "[Core]\nVersion=100\nDescription=NEB 1.0 Core\nCopyright=T\n"
                                  "File=neb.exe\nFile=core/classes.zip\nBase=" +
                                      Legacy() +
                                      "\n\n"
                                      "[Application:editor]\nVersion=120\nDescription=Editor\n"
                                      "Copyright=T\nFile=app/run.exe;Editor\n"
                                      "File=app/doc/readme.txt\n\n"
                                      "[Library:util]\nVersion=110\nDescription=Util\n"
                                      "Copyright=T\nFile=lib/util.zip\n");
    WriteBytes(Legacy("neb.exe"), "MZ neb 1.0");
    WriteBytes(Legacy("core\\classes.zip"), "PK core");
    WriteBytes(Legacy("app\\run.exe"), "MZ editor");
    WriteBytes(Legacy("app\\doc\\readme.txt"), "read me");
    WriteBytes(Legacy("lib\\util.zip"), "PK util");
    WriteBytes(Legacy("NebCM.exe"), "MZ old manager");
    WriteBytes(Legacy("NebCM.hlp"), "old help");
    WriteBytes(Legacy("NebCM.GID"), "old index");

    SetValue(Platform10Key, InstallationPathValue, Legacy());
    SetValue(Platform10Key, ComponentDatabaseValue, Legacy("neb.cdb"));
    SetValue(Java10Key, JavaTypeValue, "1");
    SetValue(Java10Key, JavaSunExeValue, "C:\\jdk1.1\\bin\\jre.exe");
    if (withUninstallEntry) {
        SetValue(Uninstall10Key, DisplayNameValue, PlatformName10);
        SetValue(Uninstall10Key, UninstallStringValue, Legacy("uninst.exe"));
    }
    MakeShortcut(LegacyGroup("Editor.lnk"), Legacy("app\\run.exe"));
    MakeShortcut(LegacyGroup("NEB 1.0.lnk"), Legacy("neb.exe"));
    MakeShortcut(Folder(ShellFolder::Desktop) + "\\Editor.lnk", Legacy("app\\run.exe"), Legacy(),
                 "-new");
    ::CreateDirectoryA((Folder(ShellFolder::CommonDesktop) + "\\Tools").c_str(), nullptr);
    MakeShortcut(Folder(ShellFolder::CommonDesktop) + "\\Tools\\Neb.lnk", Legacy("neb.exe"));
    WriteBytes(Work("elsewhere.exe"), "MZ");
    MakeShortcut(Folder(ShellFolder::Desktop) + "\\Other.lnk", Work("elsewhere.exe"));
}

void CoreInstallTest::MakeShortcut(const std::string& link, const std::string& target,
                                   const std::string& workingDirectory,
                                   const std::string& arguments) {
    ::CreateDirectoryA(DirectoryOf(link).c_str(), nullptr);
    ErrorList errors;
    if (workingDirectory.empty()) {
        EXPECT_TRUE(CreateShortcut(link, target, arguments, nullptr, errors)) << link;
    } else {
        EXPECT_TRUE(CreateShortcutWithIcon(link, target, arguments, workingDirectory, SW_SHOWNORMAL,
                                           target, 0, nullptr, errors))
            << link;
    }
}

CoreInstallTest::Link CoreInstallTest::ReadLink(const std::string& link) const {
    Link read;
    if (!ReadShortcut(link, read.target, read.arguments, read.directory)) {
        read.target = "<unreadable>";
    }
    return read;
}

std::string DescribeWithoutAccessTimes(TreeSnapshot snapshot) {
    for (auto& [path, entry] : snapshot) {
        entry.times.lastAccess = 0;
    }
    return Describe(snapshot);
}

std::string CoreInstallTest::MachineState() const {
    return DescribeWithoutAccessTimes(WorkSnapshot()) + Describe(KeySnapshot());
}

int CoreInstallTest::ExpectUndoneAfterEachFailure(
    const std::function<ProcedureResult(Transaction&, ErrorList&)>& operation, int stride) {
    const std::string before = MachineState();
    for (int n = 1; n < 5000; n += stride) {
        FailNthCall failer(n);
        Transaction transaction;
        ErrorList errors;
        ProcedureResult result;
        {
            ScopedFilter filter(&failer);
            result = operation(transaction, errors);
        }
        if (!failer.Triggered()) {
            EXPECT_EQ(result, ProcedureResult::Succeeded)
                << (errors.Empty() ? std::string() : errors.At(0));
        } else if (result == ProcedureResult::Failed) {
            EXPECT_FALSE(errors.Empty())
                << "call " << n << " (kind " << static_cast<int>(failer.FailedCall())
                << ") failed without a reason";
        }
        ErrorList rollback;
        EXPECT_TRUE(transaction.Rollback(rollback))
            << "call " << n << ": " << (rollback.Empty() ? std::string() : rollback.At(0));
        EXPECT_EQ(MachineState(), before) << "call " << n;
        EXPECT_TRUE(TempFiles().empty()) << "call " << n;
        if (!failer.Triggered() || HasFailure()) {
            RecordProperty("calls", failer.Count());
            return failer.Count();
        }
    }
    ADD_FAILURE() << "the operation never ran to its end";
    return 0;
}

std::string CoreInstallTest::LayoutSnapshot() const {
    return Describe(SnapshotRegistry(HKEY_CURRENT_USER, keySub_ + "\\Layout"));
}

} // namespace nebcm::test
