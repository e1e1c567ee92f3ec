// The dialog framework under Wine: handlers by id, the selective message pump, wizard results.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "ui/dialog.h"
#include "ui/tree_view.h"
#include "ui/wizard.h"

namespace nebcm::ui {
namespace {

class PressingDialog : public Dialog {
public:
    PressingDialog() : Dialog(100, nullptr) {
        OnCommand(1001, [this] {
            ++presses;
            label = ItemText(1000);
            EndDialog(1001);
        });
    }
    int presses = 0;
    std::string label;

protected:
    bool OnInitDialog() override {
        SetItemText(1000, "changed");
        PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
        return true;
    }
};

TEST(DialogFramework, NamedHandlerEndsTheModalRunWithItsId) {
    PressingDialog dialog;
    EXPECT_EQ(dialog.DoModal(), 1001);
    EXPECT_EQ(dialog.presses, 1);
    EXPECT_EQ(dialog.label, "changed");
    EXPECT_EQ(dialog.Handle(), nullptr) << "the window is gone after the run";
}

class CountingDialog : public Dialog {
public:
    CountingDialog() : Dialog(100, nullptr) {}
    int userMessages = 0;

protected:
    INT_PTR OnMessage(UINT message, WPARAM, LPARAM, bool& handled) override {
        if (message == WM_USER + 7) {
            ++userMessages;
            handled = true;
        }
        return 0;
    }
};

int g_otherWindowMessages = 0;
LRESULT CALLBACK OtherProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) {
        ++g_otherWindowMessages;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(DialogFramework, PumpDispatchesOnlyToTheDialogAndItsChildren) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OtherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "NebCMTestOther";
    RegisterClassA(&wc);
    HWND other = CreateWindowA("NebCMTestOther", "other", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, wc.hInstance, nullptr);
    ASSERT_NE(other, nullptr);

    CountingDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless());
    PumpMessagesFor(dialog.Handle());
    g_otherWindowMessages = 0;
    PostMessageA(dialog.Handle(), WM_USER + 7, 0, 0);
    PostMessageA(other, WM_USER + 7, 0, 0);
    PostMessageA(dialog.Handle(), WM_USER + 7, 0, 0);
    PumpMessagesFor(dialog.Handle());
    EXPECT_EQ(dialog.userMessages, 2);
    EXPECT_EQ(g_otherWindowMessages, 0) << "messages for other windows are dropped";
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE))
        << "the queue is emptied";
    dialog.Destroy();
    EXPECT_TRUE(IsWindow(other)) << "the other window was left alone";
    DestroyWindow(other);
}

// A page that presses a wizard button as soon as it is shown.
class AutoPage : public PropertyPage {
public:
    AutoPage(int id, int button, bool refuseNextOnce = false)
        : PropertyPage(id), button_(button), refuseNext_(refuseNextOnce) {}
    int shown = 0;
    int nexts = 0;

protected:
    bool OnSetActive() override {
        ++shown;
        SetWizardButtons(PSWIZB_NEXT | PSWIZB_FINISH | PSWIZB_BACK);
        PostMessageA(Sheet(), PSM_PRESSBUTTON, button_, 0);
        return true;
    }
    LRESULT OnWizardNext() override {
        ++nexts;
        if (refuseNext_) {
            refuseNext_ = false;
            PostMessageA(Sheet(), PSM_PRESSBUTTON, PSBTN_NEXT, 0);
            return -1;
        }
        return 0;
    }
    DWORD HelpContext() const override { return 1006; }

private:
    int button_;
    bool refuseNext_;
};

TEST(DialogFramework, WizardFinishesThroughItsPages) {
    AutoPage first(101, PSBTN_NEXT, true);
    AutoPage second(102, PSBTN_FINISH);
    Wizard wizard(nullptr);
    wizard.AddPage(first);
    wizard.AddPage(second);
    EXPECT_EQ(wizard.Run(), Wizard::FinishCode);
    EXPECT_EQ(first.shown, 1);
    EXPECT_EQ(first.nexts, 2) << "a refused Next stays on the page";
    EXPECT_EQ(second.shown, 1);
    EXPECT_TRUE(wizard.Finished());
}

TEST(DialogFramework, CancelledWizardAndStartPage) {
    AutoPage first(101, PSBTN_NEXT);
    AutoPage second(102, PSBTN_CANCEL);
    Wizard wizard(nullptr);
    wizard.AddPage(first);
    wizard.AddPage(second);
    wizard.SetStartPage(1);
    EXPECT_EQ(wizard.Run(), IDCANCEL);
    EXPECT_EQ(first.shown, 0);
    EXPECT_EQ(second.shown, 1);
    EXPECT_FALSE(wizard.Finished());
}

class TreeDialog : public Dialog {
public:
    TreeDialog() : Dialog(100, nullptr) {}
    TreeView tree;

protected:
    bool OnInitDialog() override {
        tree.Attach(Item(1002));
        tree.EnableCheckBoxes();
        return true;
    }
};

TEST(DialogFramework, TreeItemsCarryTextValuesAndChecks) {
    TreeDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless());
    TreeView& t = dialog.tree;
    HTREEITEM root = t.Insert(nullptr, "root", 0, 0, 1);
    HTREEITEM b = t.Insert(root, "b", 0, 0, 2);
    HTREEITEM a = t.Insert(root, "a", 0, 0, 3);
    t.SortChildren(root);
    EXPECT_EQ(t.FirstChild(root), a);
    EXPECT_EQ(t.NextSibling(a), b);
    EXPECT_EQ(t.ParentOf(b), root);
    EXPECT_EQ(t.Text(b), "b");
    EXPECT_EQ(t.Value(a), 3);
    t.SetChecked(b, true);
    EXPECT_TRUE(t.IsChecked(b));
    EXPECT_FALSE(t.IsChecked(a));
    t.SetChecked(b, false);
    EXPECT_FALSE(t.IsChecked(b));
    t.DeleteAll();
    EXPECT_EQ(t.Root(), nullptr);
    dialog.Destroy();
}

} // namespace
} // namespace nebcm::ui

// The framework needs the common controls before any dialog uses them.
static const bool g_controls = [] {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    return true;
}();
