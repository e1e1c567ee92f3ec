// Shell links through the shell's link object (IShellLinkA and IPersistFile).
#include "engine/shortcuts.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <algorithm>

#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/system_calls_win32.h"
#include "model/path_rules.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

const int PathBufferSize = MAX_PATH;
const int ArgumentsBufferSize = 4096;

// A link object with its file interface.
struct ShellLink {
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
};

bool NewShellLink(ShellLink& made) {
    if (SystemCallRefused(SystemCall::CreateShellLink)) {
        return false;
    }
    void* raw = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  &raw)) ||
        raw == nullptr) {
        return false;
    }
    made.link.reset(static_cast<IShellLinkA*>(raw));
    made.file = QueryInterfaceOf<IPersistFile>(made.link, IID_IPersistFile);
    return made.file.valid();
}

// The shell takes file names as wide strings of at most 260 characters.
bool ToWide(const std::string& path, WCHAR (&wide)[MAX_PATH]) {
    return ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0;
}

bool SaveLink(ShellLink& shell, const std::string& path) {
    WCHAR wide[MAX_PATH];
    if (!ToWide(path, wide) || SystemCallRefused(SystemCall::SaveShellLink)) {
        return false;
    }
    return SUCCEEDED(shell.file->Save(wide, FALSE));
}

bool LoadLink(ShellLink& shell, const std::string& path, DWORD mode) {
    WCHAR wide[MAX_PATH];
    if (!ToWide(path, wide) || SystemCallRefused(SystemCall::LoadShellLink)) {
        return false;
    }
    return SUCCEEDED(shell.file->Load(wide, mode));
}

bool EndsWithLnk(const std::string& path) {
    return path.size() >= 4 && ::lstrcmpiA(path.c_str() + path.size() - 4, ".lnk") == 0;
}

struct LinkProperties {
    std::string target;
    std::string arguments;
    std::string workingDirectory;
    bool withIcon = false;
    int showCommand = SW_SHOWNORMAL;
    std::string iconPath;
    int iconIndex = 0;
};

bool CreateLink(const std::string& path, const LinkProperties& properties, Transaction* transaction,
                ErrorList& errors) {
    std::string link = FullPath(path);
    if (link.empty()) {
        errors.Add(Message(10019, path));
        return false;
    }
    if (!EndsWithLnk(link)) {
        link += ".lnk";
    }
    ShellLink shell;
    if (!NewShellLink(shell) || FAILED(shell.link->SetPath(properties.target.c_str())) ||
        FAILED(shell.link->SetArguments(properties.arguments.c_str())) ||
        FAILED(shell.link->SetWorkingDirectory(properties.workingDirectory.c_str()))) {
        errors.Add(Message(10019, link));
        return false;
    }
    if (properties.withIcon &&
        (FAILED(shell.link->SetShowCmd(properties.showCommand)) ||
         FAILED(shell.link->SetIconLocation(properties.iconPath.c_str(), properties.iconIndex)))) {
        errors.Add(Message(10019, link));
        return false;
    }
    if (PathExists(link) && !RemoveFile(link, transaction, errors)) {
        return false;
    }
    std::size_t before = errors.Count();
    if (!EnsureDirectory(DirectoryOf(link), transaction, errors)) {
        // A file in the way of the folder is reported as the shortcut that could not be made.
        if (errors.Count() == before) {
            errors.Add(Message(10019, link));
        }
        return false;
    }
    if (!RecordAhead(transaction, std::make_unique<UndoCreateFile>(link), errors)) {
        return false;
    }
    if (!SaveLink(shell, link)) {
        // Whatever a failed save left there is no longer recorded, so it would outlive a rollback.
        WithdrawRecord(transaction);
        if (PathExists(link)) {
            ::DeleteFileA(link.c_str());
        }
        errors.Add(Message(10019, link));
        return false;
    }
    return true;
}

} // namespace

bool CreateShortcut(const std::string& path, const std::string& target,
                    const std::string& arguments, Transaction* transaction, ErrorList& errors) {
    LinkProperties properties;
    properties.target = FullPath(target);
    properties.arguments = arguments;
    properties.workingDirectory = DirectoryOf(properties.target);
    return CreateLink(path, properties, transaction, errors);
}

bool CreateShortcutWithIcon(const std::string& path, const std::string& target,
                            const std::string& arguments, const std::string& workingDirectory,
                            int showCommand, const std::string& iconPath, int iconIndex,
                            Transaction* transaction, ErrorList& errors) {
    LinkProperties properties;
    properties.target = FullPath(target);
    properties.arguments = arguments;
    properties.workingDirectory = FullPath(workingDirectory);
    properties.withIcon = true;
    properties.showCommand = showCommand;
    properties.iconPath = FullPath(iconPath);
    properties.iconIndex = iconIndex;
    return CreateLink(path, properties, transaction, errors);
}

bool ReadShortcut(const std::string& path, std::string& target, std::string& arguments,
                  std::string& workingDirectory) {
    std::string link = FullPath(path);
    ShellLink shell;
    if (link.empty() || !NewShellLink(shell) || !LoadLink(shell, link, STGM_READ)) {
        return false;
    }
    char targetBuffer[PathBufferSize] = {};
    std::vector<char> argumentsBuffer(ArgumentsBufferSize);
    char directoryBuffer[PathBufferSize] = {};
    if (FAILED(shell.link->GetPath(targetBuffer, PathBufferSize, nullptr, 0)) ||
        FAILED(shell.link->GetArguments(argumentsBuffer.data(), ArgumentsBufferSize)) ||
        FAILED(shell.link->GetWorkingDirectory(directoryBuffer, PathBufferSize))) {
        return false;
    }
    target = targetBuffer;
    arguments = argumentsBuffer.data();
    workingDirectory = directoryBuffer;
    return true;
}

bool UpdateShortcut(const std::string& path, const std::string& target,
                    const std::string& arguments, const std::string& workingDirectory,
                    Transaction* transaction, ErrorList& errors) {
    std::string link = FullPath(path);
    if (link.empty()) {
        errors.Add(Message(10020, path));
        return false;
    }
    if (!BackupFile(link, transaction, errors)) {
        return false;
    }
    ShellLink shell;
    if (!NewShellLink(shell) || !LoadLink(shell, link, STGM_READ) ||
        FAILED(shell.link->SetPath(target.c_str())) ||
        FAILED(shell.link->SetArguments(arguments.c_str())) ||
        FAILED(shell.link->SetWorkingDirectory(workingDirectory.c_str()))) {
        errors.Add(Message(10020, link));
        return false;
    }
    // The rewritten link is deleted first at a rollback, then the backup comes back over it.
    if (!RecordAhead(transaction, std::make_unique<UndoCreateFile>(link), errors)) {
        return false;
    }
    if (!SaveLink(shell, link)) {
        WithdrawRecord(transaction);
        errors.Add(Message(10020, link));
        return false;
    }
    return true;
}

ShortcutCollector::ShortcutCollector(const std::string& directory) : prefix_(directory) {
    if (prefix_.empty() || (prefix_.back() != '\\' && prefix_.back() != '/')) {
        prefix_ += '\\';
    }
}

bool ShortcutCollector::VisitFile(const std::string& path) {
    if (!EndsWithLnk(path)) {
        return true;
    }
    std::string target, arguments, workingDirectory;
    if (ReadShortcut(path, target, arguments, workingDirectory) &&
        target.size() >= prefix_.size() &&
        ::lstrcmpiA(target.substr(0, prefix_.size()).c_str(), prefix_.c_str()) == 0) {
        std::string identity = path;
        std::replace(identity.begin(), identity.end(), '\\', '/');
        shortcuts_.emplace(PathIdentity(identity), path);
    }
    return true;
}

bool ShortcutCollector::VisitUnreachable(const std::string& path, bool directory) {
    // Only a folder or a link can hide a shortcut.
    if (directory || EndsWithLnk(path)) {
        const std::string message = Message(directory ? 13070 : 13071, path);
        if (reported_.insert(message).second) { // a folder inside another is met twice
            unsearched_.Add(message);
        }
    }
    return true;
}

std::vector<std::string> ShortcutCollector::ShortcutList() const {
    std::vector<std::string> list;
    for (const auto& [identity, path] : shortcuts_) {
        list.push_back(path);
    }
    return list;
}

bool ShortcutCollector::ReportUnsearched(ErrorList& errors) const {
    errors.Append(unsearched_);
    return !unsearched_.Empty();
}

} // namespace nebcm
