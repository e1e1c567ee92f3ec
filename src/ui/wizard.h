// Wizard-style property sheets: pages as dialogs, button states, finish and cancel results.
#pragma once

#include <windows.h>

#include <prsht.h>

#include <vector>

#include "ui/dialog.h"

namespace nebcm::ui {

class Wizard;

// One page of a wizard: a dialog template of the resources with the page's handlers.
class PropertyPage : public Dialog {
public:
    explicit PropertyPage(int templateId);

    Wizard* Owner() const { return wizard_; }

protected:
    // The page becomes the current one; return false to skip it.
    virtual bool OnSetActive() { return true; }
    // Next pressed: 0 goes on to the following page, -1 stays, a template id jumps to that page.
    virtual LRESULT OnWizardNext() { return 0; }
    virtual LRESULT OnWizardBack() { return 0; }
    // Finish pressed: false keeps the wizard open.
    virtual bool OnWizardFinish() { return true; }
    // The user asks to cancel: false keeps the wizard open.
    virtual bool OnQueryCancel() { return true; }
    // The page's help context number, 0 for none.
    virtual DWORD HelpContext() const { return 0; }

    // PSWIZB_BACK, PSWIZB_NEXT, PSWIZB_FINISH, PSWIZB_DISABLEDFINISH.
    void SetWizardButtons(DWORD flags);
    HWND Sheet() const { return GetParent(hwnd_); }

    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnHelp() override;

private:
    friend class Wizard;
    static INT_PTR CALLBACK PageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    Wizard* wizard_ = nullptr;
};

// A modal wizard over its pages (not owned). Run returns 12325 when the user finished.
class Wizard {
public:
    static constexpr INT_PTR FinishCode = 12325;

    explicit Wizard(HWND parent) : parent_(parent) {}
    virtual ~Wizard() = default;
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    void AddPage(PropertyPage& page);
    void SetStartPage(unsigned index) { startPage_ = index; }
    INT_PTR Run();
    HWND Handle() const { return sheet_; }
    bool Finished() const { return finished_; }

    // Opens the help file at a context number (0 opens nothing).
    virtual void ShowHelp(DWORD context);

protected:
    // Called at the start of every Run, before the sheet is made: the last moment to add pages.
    virtual void BeforeRun() {}
    // The sheet window exists: the program icon and bringing it to the front.
    virtual void OnSheetCreated();
    // Large icon of the sheet window.
    int iconId_ = 128;

private:
    friend class PropertyPage;
    static int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM lParam);

    HWND parent_;
    HWND sheet_ = nullptr;
    unsigned startPage_ = 0;
    bool finished_ = false;
    std::vector<PropertyPage*> pages_;
};

// Opens the program's help file (beside the program) at a context; the hook lets tests watch.
void OpenHelp(HWND owner, UINT command, DWORD data);

} // namespace nebcm::ui
