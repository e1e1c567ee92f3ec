// The installation directory on the system search path: the environment's "Path" value on the NT
// family, a "set PATH" line of the start-up batch file on the Windows 95 family.
#include "engine/search_path.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/machine_environment.h"
#include "engine/procedure_steps.h"
#include "engine/registry.h"
#include "engine/registry_open_win32.h"
#include "engine/system_calls_win32.h"
#include "model/validator.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

const char PlatformNotRecognized[] = "The platform is not recognized";

// Where the machine keeps the environment key.
std::string EnvironmentKeyPath() {
    return Machine().RegistryKey(EnvironmentKey);
}

// Reads the whole search path, however long it is. A missing key or value is an empty path; a
// value that exists but cannot be read fails with a message, so that it is never overwritten by
// a path that lost what it held.
bool ReadSearchPath(std::string& path, ErrorList& errors) {
    path.clear();
    const std::string keyPath = EnvironmentKeyPath();
    RegistryKey key;
    LONG opened = OpenRegistryKeyForReading(keyPath, key);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG queried = opened == ERROR_SUCCESS
                       ? sys::RegQueryValue(key.get(), PathValue, &type, nullptr, &size)
                       : opened;
    if (queried == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    std::string data(size, '\0');
    if (queried == ERROR_SUCCESS && size > 0) {
        queried = sys::RegQueryValue(key.get(), PathValue, &type, reinterpret_cast<BYTE*>(&data[0]),
                                     &size);
    }
    if (queried != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        errors.Add(Message(10009, PathValue, keyPath));
        return false;
    }
    data.resize(size);
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    path = data;
    return true;
}

bool WriteSearchPath(const std::string& path, Transaction* transaction, ErrorList& errors) {
    const std::string key = EnvironmentKeyPath();
    std::size_t before = errors.Count();
    return Explained(WriteRegistryValue(key, PathValue, RegistryExpandStringType,
                                        static_cast<std::uint32_t>(path.size() + 1), path.c_str(),
                                        transaction, errors),
                     errors, before, Message(10011, PathValue, key));
}

void RollBackTo(Transaction* transaction, int mark) {
    if (transaction != nullptr) {
        ErrorList discarded;
        transaction->RollbackTo(mark, discarded);
    }
}

std::string WithoutTrailingSpace(std::string line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' ||
                             line.back() == '\n' || line.back() == '\v' || line.back() == '\f')) {
        line.pop_back();
    }
    return line;
}

// Reads the whole batch file as it is stored. Reading leaves the file's access time as it was, so
// that a rollback that never had to restore the file finds it untouched.
bool ReadBatchFile(const std::string& file, std::string& contents) {
    FileHandle times(::CreateFileA(file.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME accessed = {};
    bool keepAccessTime = times && ::GetFileTime(times.get(), nullptr, &accessed, nullptr);
    struct AccessTimeKeeper {
        HANDLE file;
        bool keep;
        const FILETIME& time;
        ~AccessTimeKeeper() {
            if (keep) {
                ::SetFileTime(file, nullptr, &time, nullptr);
            }
        }
    } keeper{times.get(), keepAccessTime, accessed};
    return ReadFileBytes(file, contents);
}

bool WriteBatchFile(const std::string& file, const std::string& contents, Transaction* transaction,
                    ErrorList& errors) {
    std::unique_ptr<FileOutputStream> out = CreateOutputFile(file, transaction, errors);
    if (!out) {
        return false;
    }
    try {
        out->Write(reinterpret_cast<const std::uint8_t*>(contents.data()),
                   static_cast<std::uint32_t>(contents.size()));
        out->Close();
        return true;
    } catch (const IOException&) {
        return false;
    }
}

ProcedureResult AddToNtSearchPath(const std::string& directory, Transaction* transaction,
                                  ErrorList& errors) {
    const std::string keyPath = EnvironmentKeyPath();
    if (!RegistryKeyExists(keyPath) && !CreateRegistryKey(keyPath, transaction, errors)) {
        return ProcedureResult::Failed;
    }
    std::string path;
    if (!ReadSearchPath(path, errors)) {
        return ProcedureResult::Failed;
    }
    if (!path.empty() && path.back() != ';') {
        path += ';';
    }
    path += directory;
    if (!WriteSearchPath(path, transaction, errors)) {
        return ProcedureResult::Failed;
    }
    Machine().BroadcastEnvironmentChange();
    return ProcedureResult::Succeeded;
}

ProcedureResult AddToBatchSearchPath(const std::string& directory, Transaction* transaction,
                                     ErrorList& errors) {
    const std::string file = Machine().AutoexecPath();
    std::string contents;
    bool exists = IsFile(file);
    if (exists && !ReadBatchFile(file, contents)) {
        errors.Add(Message(10018, file));
        return ProcedureResult::Failed;
    }
    if (exists && !RemoveFile(file, transaction, errors)) {
        return ProcedureResult::Failed;
    }
    if (!WriteBatchFile(file, BatchWithSearchPathLine(contents, directory), transaction, errors)) {
        errors.Add(Message(10018, file));
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Succeeded;
}

ProcedureResult RemoveFromNtSearchPath(const std::string& directory, Transaction* transaction,
                                       ErrorList& errors) {
    if (!RegistryKeyExists(EnvironmentKeyPath())) {
        return ProcedureResult::Succeeded;
    }
    const int mark = transaction != nullptr ? transaction->Count() : 0;
    std::string path;
    if (!ReadSearchPath(path, errors)) {
        return ProcedureResult::Failed;
    }
    if (!WriteSearchPath(SearchPathWithout(path, directory), transaction, errors)) {
        RollBackTo(transaction, mark);
        return ProcedureResult::Failed;
    }
    Machine().BroadcastEnvironmentChange();
    return ProcedureResult::Succeeded;
}

ProcedureResult RemoveFromBatchSearchPath(const std::string& directory, Transaction* transaction,
                                          ErrorList& errors) {
    const std::string file = Machine().AutoexecPath();
    // Nothing to take a line out of: a missing batch file is not made by an uninstallation.
    if (!IsFile(file)) {
        return ProcedureResult::Succeeded;
    }
    const int mark = transaction != nullptr ? transaction->Count() : 0;
    std::string contents;
    if (!ReadBatchFile(file, contents)) {
        errors.Add(Message(10018, file));
        return ProcedureResult::Failed;
    }
    const std::string kept = BatchWithoutSearchPathLines(contents, directory);
    if (kept == contents) {
        return ProcedureResult::Succeeded;
    }
    if (!RemoveFile(file, transaction, errors)) {
        RollBackTo(transaction, mark);
        return ProcedureResult::Failed;
    }
    // Nothing but the platform's lines were in it: the installation made the file, which goes
    // again (an empty batch file would do nothing either).
    if (kept.empty()) {
        return ProcedureResult::Succeeded;
    }
    if (!WriteBatchFile(file, kept, transaction, errors)) {
        errors.Add(Message(10018, file));
        RollBackTo(transaction, mark);
        return ProcedureResult::Failed;
    }
    return ProcedureResult::Succeeded;
}

// DOS reads a batch file only up to an end-of-file mark (^Z); what follows it is never run.
const char EndOfFileMark = '\x1a';

} // namespace

std::string SearchPathLine(const std::string& directory) {
    return "set PATH=%PATH%;" + directory;
}

std::string BatchWithSearchPathLine(const std::string& contents, const std::string& directory) {
    const std::size_t mark = std::min(contents.find(EndOfFileMark), contents.size());
    std::string head = contents.substr(0, mark);
    if (!head.empty() && head.back() != '\n' && head.back() != '\r') {
        head += "\r\n";
    }
    return head + SearchPathLine(directory) + "\r\n" + contents.substr(mark);
}

std::string BatchWithoutSearchPathLines(const std::string& contents, const std::string& directory) {
    const std::string ours = SearchPathLine(directory);
    const std::size_t mark = std::min(contents.find(EndOfFileMark), contents.size());
    std::string kept;
    std::size_t start = 0;
    while (start < mark) {
        std::size_t end = contents.find('\n', start);
        end = end == std::string::npos || end >= mark ? mark : end + 1;
        const std::string line = contents.substr(start, end - start);
        if (!EqualIgnoringCase(WithoutTrailingSpace(line), ours)) {
            kept += line;
        }
        start = end;
    }
    return kept + contents.substr(mark);
}

std::string SearchPathWithout(const std::string& path, const std::string& directory) {
    std::string kept;
    bool first = true;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = path.find(';', start);
        std::string part = path.substr(start, end == std::string::npos ? end : end - start);
        if (!EqualIgnoringCase(part, directory)) {
            if (!first) {
                kept += ';';
            }
            kept += part;
            first = false;
        }
        if (end == std::string::npos) {
            return kept;
        }
        start = end + 1;
    }
}

namespace {

// A change made without the caller's transaction still goes through one of its own, so that a
// failure half-way (the old value deleted, the new one not written) puts everything back.
ProcedureResult Guarded(Transaction* transaction,
                        const std::function<ProcedureResult(Transaction*)>& change) {
    if (transaction != nullptr) {
        return change(transaction);
    }
    Transaction own;
    ProcedureResult result = change(&own);
    if (result != ProcedureResult::Succeeded) {
        ErrorList ignored;
        own.Rollback(ignored);
    }
    return result;
}

} // namespace

ProcedureResult AddToSearchPath(const std::string& directory, Transaction* transaction,
                                ErrorList& errors) {
    switch (Machine().PlatformId()) {
    case WindowsNtPlatform:
        return Guarded(transaction, [&](Transaction* used) {
            return AddToNtSearchPath(directory, used, errors);
        });
    case Windows95Platform:
    case Win32sPlatform:
        return Guarded(transaction, [&](Transaction* used) {
            return AddToBatchSearchPath(directory, used, errors);
        });
    default:
        errors.Add(PlatformNotRecognized);
        return ProcedureResult::Failed;
    }
}

ProcedureResult RemoveFromSearchPath(const std::string& directory, Transaction* transaction,
                                     ErrorList& errors) {
    switch (Machine().PlatformId()) {
    case WindowsNtPlatform:
        return Guarded(transaction, [&](Transaction* used) {
            return RemoveFromNtSearchPath(directory, used, errors);
        });
    case Windows95Platform:
    case Win32sPlatform:
        return Guarded(transaction, [&](Transaction* used) {
            return RemoveFromBatchSearchPath(directory, used, errors);
        });
    default:
        return ProcedureResult::Succeeded;
    }
}

} // namespace nebcm
