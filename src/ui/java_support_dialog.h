// The choice of the Java virtual machine that runs the platform's Java software, with a search of
// the disks for the two known launchers.
#pragma once

#include <string>

#include "common/constants.h"
#include "ui/dialog.h"

namespace nebcm::ui {

// Dialog 155, modeless for the length of one search: the directory being searched, the launchers
// found so far; "OK" (only while one is selected) ends it with that one, "Cancel" without.
class JavaSearchDialog : public Dialog {
public:
    explicit JavaSearchDialog(HWND parent);

    bool Open();
    bool Finished() const { return finished_; }
    // The entry chosen with OK; empty otherwise.
    const std::string& Result() const { return result_; }

    void ShowSearching(const std::string& directory);
    void AddFound(const std::string& path);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void UpdateOk();
    bool finished_ = false;
    std::string result_;
};

// Walks every fixed and RAM disk from C: to Z: for a file of that name (compared without regard
// to case), listing each one found, until the user picks one or cancels. Returns the picked path,
// or empty.
std::string SearchDisks(HWND parent, const std::string& fileName);

// Dialog 154: three rows (Microsoft VM, Sun VM, custom command line), each with a radio button,
// an edit and its buttons, enabled only for the checked row. The choice is read from and, on OK,
// written to the platform's Java key; Cancel writes nothing. The key is a parameter so that tests
// can use a key of their own.
class JavaSupportDialog : public Dialog {
public:
    explicit JavaSupportDialog(HWND parent, std::string key = Java20Key);

    // 0 Microsoft, 1 Sun, 2 custom: which radio button is checked.
    int CheckedType() const;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnHelp() override;
    // The disk search behind "Find"; the found path or empty.
    virtual std::string Find(const std::string& fileName);

private:
    void Choose(int type);
    void Browse(int type);
    void FindFor(int type);

    std::string key_;
};

} // namespace nebcm::ui
