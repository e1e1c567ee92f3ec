// Counting and deleting directory trees for the platform procedures, with progress and pacing.
#include "engine/tree_visitors.h"

#include <set>

#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/machine_environment.h"
#include "engine/shortcuts.h"
#include "engine/system_calls_win32.h"
#include "model/validator.h"

namespace nebcm {

bool TreeCounter::Begin() {
    directories_ = 0;
    files_ = 0;
    return true;
}

bool TreeCounter::VisitDirectory(const std::string&) {
    ++directories_;
    return true;
}

bool TreeCounter::VisitFile(const std::string&) {
    ++files_;
    return true;
}

bool TreeCounter::VisitUnreachable(const std::string&, bool directory) {
    ++(directory ? directories_ : files_);
    return true;
}

TreeCounter CountTree(const std::string& path) {
    TreeCounter counter;
    counter.Begin();
    WalkDirectory(path, counter, WalkOrder::DirectoriesFirst);
    return counter;
}

bool ProgressDeleteTreeVisitor::Begin() {
    count_ = 0;
    return DeleteTreeVisitor::Begin();
}

bool ProgressDeleteTreeVisitor::Advance() {
    ++count_;
    progress_.Pause(static_cast<unsigned>(2000 / total_));
    progress_.SetActivityPercent(count_ * 100 / total_);
    return !progress_.IsCancelled();
}

bool ProgressDeleteTreeVisitor::VisitDirectory(const std::string& path) {
    return DeleteTreeVisitor::VisitDirectory(path) && Advance();
}

bool ProgressDeleteTreeVisitor::VisitFile(const std::string& path) {
    return DeleteTreeVisitor::VisitFile(path) && Advance();
}

bool BestEffortDeleteTreeVisitor::VisitDirectory(const std::string& path) {
    DeleteTreeVisitor::VisitDirectory(path);
    return Advance();
}

bool BestEffortDeleteTreeVisitor::VisitFile(const std::string& path) {
    DeleteTreeVisitor::VisitFile(path);
    return Advance();
}

bool BestEffortDeleteTreeVisitor::VisitUnreachable(const std::string& path, bool directory) {
    DeleteTreeVisitor::VisitUnreachable(path, directory);
    return Advance();
}

bool MakeSureDirectoryExists(const std::string& path, Transaction* transaction, ErrorList& errors) {
    std::size_t before = errors.Count();
    if (EnsureDirectory(path, transaction, errors)) {
        return true;
    }
    if (errors.Count() == before) {
        errors.Add(Message(10001, path));
    }
    return false;
}

std::string DirectoryPrefix(const std::string& directory) {
    if (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) {
        return directory;
    }
    return directory + "\\";
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool RemoveFileAndEmptyFolders(const std::string& path, const std::vector<std::string>& stops,
                               Transaction* transaction, ErrorList& errors) {
    if (!RemoveFile(path, transaction, errors)) {
        return false;
    }
    std::vector<std::string> prefixes;
    for (const std::string& stop : stops) {
        std::string full = WithoutTrailingBackslash(FullPath(stop));
        if (!full.empty()) {
            prefixes.push_back(DirectoryPrefix(full));
        }
    }
    auto removable = [&prefixes](const std::string& directory) {
        bool below = false;
        for (const std::string& prefix : prefixes) {
            if (EqualIgnoringCase(DirectoryPrefix(directory), prefix)) {
                return false;
            }
            below = below ||
                    (directory.size() > prefix.size() && StartsWithIgnoringCase(directory, prefix));
        }
        return below;
    };
    std::string directory = DirectoryOf(FullPath(path));
    while (removable(directory) && IsDirectory(directory) && IsEmptyDirectory(directory)) {
        if (!RecordAhead(transaction, std::make_unique<UndoDeleteDirectory>(directory), errors)) {
            return false;
        }
        if (!sys::RemoveDirectory(directory)) {
            WithdrawRecord(transaction);
            break;
        }
        directory = DirectoryOf(directory);
    }
    return true;
}

std::vector<std::string> ShellFolderPaths() {
    std::vector<std::string> folders;
    for (ShellFolder folder : AllShellFolders) {
        std::string path;
        if (Machine().FindShellFolder(folder, path) && !path.empty()) {
            folders.push_back(path);
        }
    }
    return folders;
}

std::vector<std::string> CollectShortcutsInto(const std::string& directory, ErrorList* unsearched) {
    const ShellFolder roles[] = {
        ShellFolder::StartMenu,
        ShellFolder::CommonStartMenu,
        ShellFolder::Desktop,
        ShellFolder::CommonDesktop,
    };
    ShortcutCollector collector(directory);
    for (ShellFolder role : roles) {
        std::string folder;
        if (Machine().FindShellFolder(role, folder) && IsDirectory(folder)) {
            WalkDirectory(folder, collector, WalkOrder::DirectoriesFirst);
        }
    }
    if (unsearched != nullptr) {
        collector.ReportUnsearched(*unsearched);
    }
    return collector.ShortcutList();
}

} // namespace nebcm
