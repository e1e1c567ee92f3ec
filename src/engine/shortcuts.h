// Shell shortcuts (".lnk" files): creating, reading and rewriting them inside a transaction, and
// the visitor that finds the shortcuts that point into a directory.
#pragma once

#include <map>
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
// regard to letter case). A link met again under another spelling of its path (a shell folder
// walked twice, or reported in other letter case) counts once, under the first spelling.
class ShortcutCollector : public DirectoryVisitor {
public:
    explicit ShortcutCollector(const std::string& directory);
    bool Begin() override { return true; }
    bool VisitDirectory(const std::string&) override { return true; }
    bool VisitFile(const std::string& path) override;
    // Noted, and the walk goes on with the rest.
    bool VisitUnreachable(const std::string& path, bool directory) override;
    bool End() override { return true; }

    const std::string& Prefix() const { return prefix_; }
    // In the order of their paths, letter case ignored.
    std::vector<std::string> ShortcutList() const;
    // Appends 13070 for each folder and 13071 for each link that the walks could not search;
    // true if there was any.
    bool ReportUnsearched(ErrorList& errors) const;

private:
    std::string prefix_;
    std::map<std::string, std::string> shortcuts_; // identity -> first spelling met
    ErrorList unsearched_;
    std::set<std::string> reported_;
};

} // namespace nebcm
