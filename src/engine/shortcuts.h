// Shell shortcuts (".lnk" files): creating, reading and rewriting them inside a transaction, and
// the visitor that finds the shortcuts that point into a directory.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "engine/file_system.h"
#include "engine/transaction.h"

namespace nebcm {

// COM must be initialised on the calling thread by whoever owns the process.

// Creates the link (".lnk" appended unless the name already ends so, in any letter case) to the
// absolute target, working in the target's directory. An existing link is replaced (recoverably)
// and missing folders are made.
bool CreateShortcut(const std::string& path, const std::string& target,
                    const std::string& arguments, Transaction* transaction, ErrorList& errors);
// The same with an explicit working directory, show command (SW_...) and icon.
bool CreateShortcutWithIcon(const std::string& path, const std::string& target,
                            const std::string& arguments, const std::string& workingDirectory,
                            int showCommand, const std::string& iconPath, int iconIndex,
                            Transaction* transaction, ErrorList& errors);
// Never reports: an unreadable link simply reads as false, and the outputs stay untouched.
bool ReadShortcut(const std::string& path, std::string& target, std::string& arguments,
                  std::string& workingDirectory);
// Rewrites target, arguments and working directory of an existing link; a rollback puts the old
// link back.
bool UpdateShortcut(const std::string& path, const std::string& target,
                    const std::string& arguments, const std::string& workingDirectory,
                    Transaction* transaction, ErrorList& errors);

// Collects, during a walk, the links whose target lies inside one directory (compared without
// regard to letter case).
class ShortcutCollector : public DirectoryVisitor {
public:
    explicit ShortcutCollector(const std::string& directory);
    bool Begin() override { return true; }
    bool VisitDirectory(const std::string&) override { return true; }
    bool VisitFile(const std::string& path) override;
    bool End() override { return true; }

    const std::string& Prefix() const { return prefix_; }
    const std::set<std::string>& Shortcuts() const { return shortcuts_; }
    std::vector<std::string> ShortcutList() const {
        return std::vector<std::string>(shortcuts_.begin(), shortcuts_.end());
    }

private:
    std::string prefix_;
    std::set<std::string> shortcuts_;
};

} // namespace nebcm
