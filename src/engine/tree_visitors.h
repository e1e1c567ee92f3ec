// Directory-walk visitors of the platform procedures: counting a tree, and deleting it with
// progress, either stopping at the first failure or going on past every failure.
#pragma once

#include <string>
#include <vector>

#include "engine/file_actions.h"
#include "engine/progress.h"

namespace nebcm {

// Counts what a walk visits; the walked directory itself counts as one directory.
class TreeCounter : public DirectoryVisitor {
public:
    bool Begin() override;
    bool VisitDirectory(const std::string& path) override;
    bool VisitFile(const std::string& path) override;
    // Counted too: the deleting walk that follows stops at it, and the count paces that walk.
    bool VisitUnreachable(const std::string& path, bool directory) override;
    bool End() override { return true; }

    int Directories() const { return directories_; }
    int Files() const { return files_; }
    int Total() const { return directories_ + files_; }

private:
    int directories_ = 0;
    int files_ = 0;
};

// Counts the tree at path; zero entries when it is not a directory.
TreeCounter CountTree(const std::string& path);

// Deletes a tree (walk it DirectoriesLast) inside the transaction, one unit of progress per entry
// out of `total`. The first failed removal stops the walk, and so does a cancel.
class ProgressDeleteTreeVisitor : public DeleteTreeVisitor {
public:
    ProgressDeleteTreeVisitor(Transaction* transaction, ProgressReporter& progress, int total)
        : DeleteTreeVisitor(transaction), progress_(progress), total_(total > 0 ? total : 1) {}
    bool Begin() override;
    bool VisitDirectory(const std::string& path) override;
    bool VisitFile(const std::string& path) override;

    int Removed() const { return count_; }

protected:
    // Counts one entry, paces and reports; false when the user cancelled.
    bool Advance();

    ProgressReporter& progress_;
    int total_;
    int count_ = 0;
};

// As above, but an entry that cannot be removed only leaves its message and the walk goes on;
// only a cancel stops it.
class BestEffortDeleteTreeVisitor : public ProgressDeleteTreeVisitor {
public:
    using ProgressDeleteTreeVisitor::ProgressDeleteTreeVisitor;
    bool VisitDirectory(const std::string& path) override;
    bool VisitFile(const std::string& path) override;
    bool VisitUnreachable(const std::string& path, bool directory) override;
};

// RemoveFile, then the directories above the file for as long as they are empty and lie below
// one of the stop directories, but never a stop directory itself: a shortcut's emptied folders go,
// the shell folders that held them stay. Outside every stop directory only the file goes.
bool RemoveFileAndEmptyFolders(const std::string& path, const std::vector<std::string>& stops,
                               Transaction* transaction, ErrorList& errors);

// The six shell folders that can be determined (Start menus, programs folders, desktops).
std::vector<std::string> ShellFolderPaths();

// The shortcuts in the Start menus and on the desktops (of the user and of all users) whose
// target lies inside the directory, in a stable order; one link found under two spellings (a
// shell folder inside another, a folder reported in other letter case) is listed once. Given a
// list, every folder or link that could not be searched adds 13070 or 13071 to it.
std::vector<std::string> CollectShortcutsInto(const std::string& directory,
                                              ErrorList* unsearched = nullptr);

// EnsureDirectory that always explains a failure: a file in the directory's place gets 10001.
bool MakeSureDirectoryExists(const std::string& path, Transaction* transaction, ErrorList& errors);

// The directory with a backslash behind it, unless it ends with a slash or backslash already: the
// prefix that the paths inside it begin with.
std::string DirectoryPrefix(const std::string& directory);
// Letters compared without regard to case, as the file system compares names.
bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix);

} // namespace nebcm
