// The main window: the installed extensions in a tree with its three views, and the commands to
// install and remove extensions, set up Java support, read the help and see the About box.
#pragma once

#include <functional>

#include "common/procedure_result.h"
#include "ui/dialog.h"
#include "ui/extension_tree.h"

namespace nebcm::ui {

// What the main window starts; the program runs the procedures, tests script them. While one
// runs, the main window takes no input and ignores every command that reaches it anyway.
struct MainDialogActions {
    std::function<ProcedureResult(HWND owner, ErrorList& errors)> installExtensions;
    std::function<ProcedureResult(HWND owner, ErrorList& errors)> uninstallExtensions;
};

class MainDialog : public Dialog {
public:
    MainDialog(MainDialogActions actions, HWND parent = nullptr);

    ExtensionTree& Tree() { return tree_; }
    // Reads the installed configuration again into the tree (empty when it cannot be loaded).
    void Reload();

    // Moves a window rectangle's top-left corner to (x, y), then into the work area: right and
    // bottom edges first, then left and top, so a window larger than the area keeps those in view.
    static RECT FitIntoWorkArea(RECT window, int x, int y, const RECT& workArea);

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnHelp() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnDestroy() override;

private:
    // Binds a command that is ignored while another command of the window is still running.
    void Bind(int id, std::function<void()> command);
    void InstallExtensions();
    void UninstallExtensions();
    void SetView(ViewMode mode);
    void SavePosition();

    MainDialogActions actions_;
    ExtensionTree tree_;
    bool initialized_ = false;
    // A command is running (a procedure, a modal dialog opened from the window).
    bool busy_ = false;
};

} // namespace nebcm::ui
