// Scratch areas, snapshots and failure injection shared by the engine tests; COM for the process.
#include "engine_fixture.h"

#include "engine/journal.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace nebcm::test {

namespace {

// The test process owns COM, as the application object owns it in the program.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }
};

::testing::Environment* const comEnvironment =
    ::testing::AddGlobalTestEnvironment(new ComEnvironment);

std::uint64_t ToU64(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FromU64(std::uint64_t v) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(v);
    t.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return t;
}

void SnapshotInto(const std::string& root, const std::string& relative, TreeSnapshot& snapshot) {
    std::string directory = relative.empty() ? root : root + "\\" + relative;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((directory + "\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        std::string entryRelative = relative.empty() ? name : relative + "\\" + name;
        std::string path = root + "\\" + entryRelative;
        TreeEntry entry;
        entry.attributes = ::GetFileAttributesA(path.c_str());
        entry.directory = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!entry.directory) {
            HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file == INVALID_HANDLE_VALUE) {
                entry.content = "<cannot open>";
            } else {
                FILETIME c, a, w;
                ::GetFileTime(file, &c, &a, &w);
                entry.times.creation = ToU64(c);
                entry.times.lastAccess = ToU64(a);
                entry.times.lastWrite = ToU64(w);
                char buffer[4096];
                DWORD read = 0;
                while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
                    entry.content.append(buffer, read);
                }
                // Reading moved the access time; the snapshot must not change what it sees.
                ::SetFileTime(file, nullptr, &a, nullptr);
                ::CloseHandle(file);
            }
        }
        snapshot[entryRelative] = entry;
        if (entry.directory) {
            SnapshotInto(root, entryRelative, snapshot);
        }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
}

std::string Printable(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127 && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            text += hex;
        }
    }
    return text;
}

void SnapshotKey(HKEY key, const std::string& relative, RegistrySnapshot& snapshot) {
    std::map<std::string, RegistryValue>& values = snapshot[relative];
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        std::vector<BYTE> data(65536);
        DWORD dataSize = static_cast<DWORD>(data.size());
        if (::RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) !=
            ERROR_SUCCESS) {
            break;
        }
        data.resize(dataSize);
        values[std::string(name, nameSize)] = RegistryValue{type, data};
    }
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD nameSize = sizeof name;
        FILETIME written;
        if (::RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, &written) !=
            ERROR_SUCCESS) {
            break;
        }
        HKEY child = nullptr;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            SnapshotKey(child, relative.empty() ? name : relative + "\\" + name, snapshot);
            ::RegCloseKey(child);
        }
    }
}

const char* CallName(SystemCall call) {
    static const char* const names[] = {
        "GetAttributes",   "SetAttributes",   "OpenFile",     "GetFileTime", "SetFileTime",
        "GetTempPath",     "GetTempFileName", "CopyFile",     "DeleteFile",  "CreateDirectory",
        "RemoveDirectory", "FindFiles",       "OpenKey",      "CreateKey",   "EnumKey",
        "EnumValue",       "QueryValue",      "SetValue",     "DeleteValue", "DeleteKey",
        "CreateShellLink", "LoadShellLink",   "SaveShellLink"};
    std::size_t index = static_cast<std::size_t>(call);
    return index < sizeof names / sizeof names[0] ? names[index] : "?";
}

std::string Joined(const ErrorList& errors) {
    std::string text;
    for (const std::string& m : errors.Messages()) {
        text += "[" + m + "] ";
    }
    return text;
}

std::string GetVariable(const char* name) {
    char buffer[MAX_PATH * 2] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

int scratchCounter = 0;

} // namespace

TreeSnapshot SnapshotTree(const std::string& root) {
    TreeSnapshot snapshot;
    SnapshotInto(root, std::string(), snapshot);
    return snapshot;
}

std::string Describe(const TreeSnapshot& snapshot) {
    std::ostringstream text;
    for (const auto& [path, entry] : snapshot) {
        text << path << (entry.directory ? " <dir>" : "") << " attributes=" << std::hex
             << entry.attributes;
        if (!entry.directory) {
            text << " created=" << entry.times.creation << " accessed=" << entry.times.lastAccess
                 << " written=" << entry.times.lastWrite << " content=\""
                 << Printable(entry.content) << "\"";
        }
        text << std::dec << "\n";
    }
    return text.str();
}

RegistrySnapshot SnapshotRegistry(HKEY root, const std::string& subKey) {
    RegistrySnapshot snapshot;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        SnapshotKey(key, std::string(), snapshot);
        ::RegCloseKey(key);
    }
    return snapshot;
}

std::string Describe(const RegistrySnapshot& snapshot) {
    std::ostringstream text;
    for (const auto& [key, values] : snapshot) {
        text << "[" << key << "]\n";
        for (const auto& [name, value] : values) {
            text << "  \"" << name << "\" type=" << value.type << " data=\""
                 << Printable(std::string(value.data.begin(), value.data.end())) << "\"\n";
        }
    }
    return text.str();
}

void WriteBytes(const std::string& path, const std::string& content) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_EQ(written, content.size()) << path;
}

std::string ReadBytes(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    ::CloseHandle(file);
    return content;
}

void SetOldTimes(const std::string& path, std::uint64_t base) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME c = FromU64(base), a = FromU64(base + 20000000), w = FromU64(base + 10000000);
    ::SetFileTime(file, &c, &a, &w);
    ::CloseHandle(file);
}

FileTimes TimesOf(const std::string& path) {
    FileTimes times;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        FILETIME c, a, w;
        ::GetFileTime(file, &c, &a, &w);
        times.creation = ToU64(c);
        times.lastAccess = ToU64(a);
        times.lastWrite = ToU64(w);
        ::CloseHandle(file);
    }
    return times;
}

std::vector<std::string> ListNames(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = ::FindFirstFileA((directory + "\\*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The "\\?\" form of an absolute path, which the wide functions open at any length.
std::wstring LongWide(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    const int n =
        ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') {
        return L"\\\\?\\" + wide;
    }
    return wide;
}

void DeleteTreeWide(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileW(path.c_str());
        return;
    }
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(name);
            }
        } while (::FindNextFileW(find, &found));
        ::FindClose(find);
    }
    for (const std::wstring& name : names) {
        DeleteTreeWide(path + L"\\" + name);
    }
    ::RemoveDirectoryW(path.c_str());
}

} // namespace

void DeleteTreeRaw(const std::string& path) {
    if (path.empty()) {
        return;
    }
    DeleteTreeWide(LongWide(path));
}

std::string MakeFolderBeyondTheCodePage(const std::string& parent) {
    const std::wstring folder = LongWide(parent) + L"\\\x03b1\x03b2\x03b3 folder";
    EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW(folder.c_str(), &found);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    if (find == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    ::FindClose(find);
    char alternate[MAX_PATH] = {};
    ::WideCharToMultiByte(CP_ACP, 0, found.cAlternateFileName, -1, alternate, sizeof alternate,
                          nullptr, nullptr);
    EXPECT_NE(alternate[0], '\0') << "no short name";
    return parent + "\\" + alternate;
}

std::string MakeDeepFolders(const std::string& parent, std::size_t length) {
    ::CreateDirectoryW(LongWide(parent).c_str(), nullptr); // may be there already
    std::string path = parent;
    while (path.size() <= length) {
        path += "\\abcdefgh";
        EXPECT_TRUE(::CreateDirectoryW(LongWide(path).c_str(), nullptr)) << path.size();
    }
    return path;
}

std::string FirstOutOfReach(const std::string& deepest) {
    std::string reachable = deepest;
    while (reachable.size() >= MAX_PATH) {
        reachable = reachable.substr(0, reachable.rfind('\\'));
    }
    return reachable.size() + 4 < MAX_PATH ? reachable + "\\abcdefgh" : reachable;
}

void WriteBytesWide(const std::string& path, const std::string& content) {
    HANDLE file = ::CreateFileW(LongWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

bool ExistsWide(const std::string& path) {
    return ::GetFileAttributesW(LongWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DeleteRegistryTreeRaw(HKEY parent, const std::string& subKey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return false;
    }
    for (;;) {
        char name[1024];
        DWORD size = sizeof name;
        FILETIME written;
        if (::RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, &written) !=
            ERROR_SUCCESS) {
            break;
        }
        if (!DeleteRegistryTreeRaw(key, name)) {
            break; // would not go away; do not spin
        }
    }
    ::RegCloseKey(key);
    return ::RegDeleteKeyA(parent, subKey.c_str()) == ERROR_SUCCESS;
}

char MissingDrive() {
    DWORD drives = ::GetLogicalDrives();
    for (char letter = 'Q'; letter <= 'Y'; ++letter) {
        if ((drives & (1u << (letter - 'A'))) == 0) {
            return letter;
        }
    }
    return 0;
}

void EngineTest::SetUp() {
    char unique[64];
    std::snprintf(unique, sizeof unique, "%lu-%d-%lu",
                  static_cast<unsigned long>(::GetCurrentProcessId()), ++scratchCounter,
                  static_cast<unsigned long>(::GetTickCount()));
    // A child process works in its parent's scratch places, which the parent made and removes.
    std::string inherited = GetVariable(ChildScratchVariable);
    child_ = !inherited.empty();
    if (child_) {
        std::snprintf(unique, sizeof unique, "%s", inherited.c_str());
    }
    ::CreateDirectoryA("C:\\nebcm-scratch", nullptr);
    root_ = std::string("C:\\nebcm-scratch\\") + unique;
    work_ = root_ + "\\work";
    source_ = root_ + "\\source";
    temp_ = root_ + "\\temp";
    unique_ = unique;
    oldTmp_ = GetVariable("TMP");
    oldTemp_ = GetVariable("TEMP");
    ::SetEnvironmentVariableA("TMP", temp_.c_str());
    ::SetEnvironmentVariableA("TEMP", temp_.c_str());
    keySub_ = std::string("Software\\NebCMTests\\") + unique;
    SetJournalDirectory(root_ + "\\rollback");
    if (child_) {
        return;
    }
    ASSERT_TRUE(::CreateDirectoryA(root_.c_str(), nullptr)) << root_;
    ASSERT_TRUE(::CreateDirectoryA(work_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(source_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(temp_.c_str(), nullptr));

    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, keySub_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, &disposition),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

void EngineTest::TearDown() {
    SetSystemCallFilter(nullptr);
    SetJournalDirectory(std::string());
    ::SetEnvironmentVariableA("TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
    ::SetEnvironmentVariableA("TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
    if (child_) {
        return;
    }
    DeleteTreeRaw(root_);
    DeleteRegistryTreeRaw(HKEY_CURRENT_USER, keySub_);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\NebCMTests"); // only when no test left a key
}

DWORD EngineTest::RunChild(const std::string& test, const std::string& variable,
                           const std::string& value) const {
    char module[MAX_PATH + 1] = {};
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string command =
        std::string("\"") + module + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
    ::SetEnvironmentVariableA(ChildScratchVariable, unique_.c_str());
    ::SetEnvironmentVariableA(variable.c_str(), value.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    BOOL started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, &startup, &process);
    ::SetEnvironmentVariableA(ChildScratchVariable, nullptr);
    ::SetEnvironmentVariableA(variable.c_str(), nullptr);
    if (!started) {
        ADD_FAILURE() << "cannot start " << command;
        return 0xFFFFFFFFu;
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFFu;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

std::string EngineTest::Work(const std::string& relative) const {
    return relative.empty() ? work_ : work_ + "\\" + relative;
}

std::string EngineTest::Source(const std::string& relative) const {
    return source_ + "\\" + relative;
}

std::string EngineTest::Key(const std::string& relative) const {
    std::string key = "HKEY_CURRENT_USER\\" + keySub_;
    return relative.empty() ? key : key + "\\" + relative;
}

int EngineTest::ExpectRollbackAfterEachFailure(
    const std::function<bool(Transaction&, ErrorList&)>& operation) {
    const std::string treeBefore = Describe(WorkSnapshot());
    const std::string keysBefore = Describe(KeySnapshot());
    for (int n = 1; n < 1000; ++n) {
        FailNthCall failer(n);
        Transaction transaction;
        ErrorList errors;
        bool succeeded;
        {
            ScopedFilter filter(&failer);
            succeeded = operation(transaction, errors);
        }
        std::string what = failer.Triggered()
                               ? std::string("with call ") + std::to_string(n) + " (" +
                                     CallName(failer.FailedCall()) + ") failing"
                               : std::string("with no call failing");
        if (!failer.Triggered()) {
            EXPECT_TRUE(succeeded) << what << ": " << Joined(errors);
        } else if (!succeeded) {
            EXPECT_LE(errors.Count(), 1u) << what << ": " << Joined(errors);
        }
        ErrorList rollbackErrors;
        EXPECT_TRUE(transaction.Rollback(rollbackErrors)) << what << ": " << Joined(rollbackErrors);
        EXPECT_EQ(treeBefore, Describe(WorkSnapshot())) << what;
        EXPECT_EQ(keysBefore, Describe(KeySnapshot())) << what;
        EXPECT_TRUE(TempFiles().empty()) << what;
        if (!failer.Triggered() || HasFailure()) {
            RecordProperty("injected_failures", n - 1);
            return n - 1;
        }
    }
    ADD_FAILURE() << "the operation never ran to its end";
    return 0;
}

} // namespace nebcm::test
