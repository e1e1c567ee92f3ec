// The platform procedures' test bench: redirected registry roots, the stand-in environment, the
// recording progress window and archives made for a test.
#include "coreinstall_fixture.h"

#include <cstdlib>

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

std::pair<HKEY, std::string> SplitRoot(const std::string& keyPath) {
    std::size_t slash = keyPath.find('\\');
    std::string root = keyPath.substr(0, slash);
    std::string rest = slash == std::string::npos ? std::string() : keyPath.substr(slash + 1);
    HKEY key = root == "HKEY_LOCAL_MACHINE"  ? HKEY_LOCAL_MACHINE
               : root == "HKEY_CLASSES_ROOT" ? HKEY_CLASSES_ROOT
                                             : HKEY_CURRENT_USER;
    return {key, rest};
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

bool FakeEnvironment::ModulePath(std::string& path) {
    if (module.empty()) {
        return false;
    }
    path = module;
    return true;
}

bool FakeEnvironment::TempDirectory(std::string& path) {
    if (temp.empty()) {
        return false;
    }
    path = temp;
    return true;
}

bool FakeEnvironment::ShellFolder(ShellFolderRole role, std::string& path) {
    auto found = folders.find(role);
    if (found == folders.end()) {
        return false;
    }
    path = found->second;
    return true;
}

bool FakeEnvironment::StartProcess(const std::string& program, const std::string& arguments) {
    started.emplace_back(program, arguments);
    return startSucceeds;
}

bool FakeEnvironment::CoreArchiveData(const std::uint8_t*& data, std::uint32_t& size) {
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
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (keySub_ + "\\HKLM").c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &machine_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (keySub_ + "\\HKCR").c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &classes_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(OverridePredefinedKey(HKEY_LOCAL_MACHINE, machine_), ERROR_SUCCESS);
    ASSERT_EQ(OverridePredefinedKey(HKEY_CLASSES_ROOT, classes_), ERROR_SUCCESS);

    const std::pair<ShellFolderRole, const char*> folders[] = {
        {ShellFolderRole::StartMenu, "shell\\Start Menu"},
        {ShellFolderRole::Programs, "shell\\Start Menu\\Programs"},
        {ShellFolderRole::Desktop, "shell\\Desktop"},
        {ShellFolderRole::CommonStartMenu, "shell\\All Users\\Start Menu"},
        {ShellFolderRole::CommonPrograms, "shell\\All Users\\Start Menu\\Programs"},
        {ShellFolderRole::CommonDesktop, "shell\\All Users\\Desktop"},
    };
    ::CreateDirectoryA(Work("shell").c_str(), nullptr);
    ::CreateDirectoryA(Work("shell\\All Users").c_str(), nullptr);
    for (const auto& [role, relative] : folders) {
        ASSERT_TRUE(::CreateDirectoryA(Work(relative).c_str(), nullptr)) << relative;
        environment_.folders[role] = Work(relative);
    }
    ASSERT_TRUE(::CreateDirectoryA(Work("drive").c_str(), nullptr));
    environment_.autoexec = Work("drive\\autoexec.bat");
    environment_.temp = temp_ + "\\";
    medium_ = Source("medium");
    ASSERT_TRUE(::CreateDirectoryA(medium_.c_str(), nullptr));
    environment_.module = medium_ + "\\NebCM.exe";
    WriteMedium();
    previousEnvironment_ = SetSystemEnvironment(&environment_);
}

void CoreInstallTest::TearDown() {
    SetSystemEnvironment(previousEnvironment_);
    OverridePredefinedKey(HKEY_LOCAL_MACHINE, nullptr);
    OverridePredefinedKey(HKEY_CLASSES_ROOT, nullptr);
    if (machine_ != nullptr) {
        ::RegCloseKey(machine_);
    }
    if (classes_ != nullptr) {
        ::RegCloseKey(classes_);
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

std::string CoreInstallTest::MachineSubkey(const std::string& relative) const {
    return keySub_ + "\\HKLM\\" + relative;
}

std::string CoreInstallTest::ClassesSubkey(const std::string& relative) const {
    return keySub_ + "\\HKCR\\" + relative;
}

std::string CoreInstallTest::Value(const std::string& keyPath, const std::string& name) {
    auto [root, subkey] = SplitRoot(keyPath);
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    char buffer[8192];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG result = ::RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return "<missing>";
    }
    return std::string(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
}

bool CoreInstallTest::KeyExists(const std::string& keyPath) {
    auto [root, subkey] = SplitRoot(keyPath);
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    ::RegCloseKey(key);
    return true;
}

void CoreInstallTest::SetValue(const std::string& keyPath, const std::string& name,
                               const std::string& value, DWORD type) {
    auto [root, subkey] = SplitRoot(keyPath);
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS)
        << keyPath;
    LONG result = ::RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS) << keyPath << " " << name;
}

} // namespace nebcm::test
