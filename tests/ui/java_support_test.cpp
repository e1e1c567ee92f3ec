// The Java support dialog under Wine over a registry key of its own: reading the stored choice,
// writing on OK only, the row enabling, and the disk search behind "Find".
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/error_list.h"
#include "dialog_driver.h"
#include "engine/registry.h"
#include "support/scratch_dir.h"
#include "ui/java_support_dialog.h"
#include "ui/resource.h"

namespace nebcm::ui {
namespace {

using nebcm::testing::ScratchDir;
using testing::DialogDriver;
using testing::Press;

const char kKey[] = "HKEY_CURRENT_USER\\Software\\NebCMTest\\Java";

class JavaSupport : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorList errors;
        if (RegistryKeyExists(kKey)) {
            DeleteRegistryKey(kKey, nullptr, errors);
        }
        ASSERT_TRUE(CreateRegistryKey(kKey, nullptr, errors));
    }
    void TearDown() override {
        ErrorList errors;
        DeleteRegistryKey("HKEY_CURRENT_USER\\Software\\NebCMTest", nullptr, errors);
    }
    static void Store(const char* name, const char* text) {
        ErrorList errors;
        WriteRegistryString(kKey, name, text, nullptr, errors);
    }
    static std::string Stored(const char* name) {
        ErrorList errors;
        std::string text = "<none>";
        ReadRegistryString(kKey, name, text, errors);
        return text;
    }
};

TEST_F(JavaSupport, AnUnknownTypeIsTheCustomRowAndOnlyThatRowIsEnabled) {
    Store("Type", "7");
    Store("MSExe", "C:\\ms\\jview.exe");
    Store("CustomCommandLine", "custom -x");
    JavaSupportDialog dialog(nullptr, kKey);
    ASSERT_TRUE(dialog.CreateModeless());
    EXPECT_EQ(dialog.CheckedType(), 2);
    EXPECT_EQ(dialog.ItemText(IDC_MICROSOFT_VM_PATH), "C:\\ms\\jview.exe");
    EXPECT_EQ(dialog.ItemText(IDC_SUN_VM_PATH), "") << "a value that is not there reads empty";
    EXPECT_EQ(dialog.ItemText(IDC_CUSTOM_VM_COMMAND), "custom -x");
    for (int id : {IDC_MICROSOFT_VM_PATH, IDC_MICROSOFT_VM_BROWSE, IDC_MICROSOFT_VM_FIND,
                   IDC_SUN_VM_PATH, IDC_SUN_VM_FIND}) {
        EXPECT_FALSE(IsWindowEnabled(dialog.Item(id))) << id;
    }
    EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDC_CUSTOM_VM_COMMAND)));
    EXPECT_TRUE(IsWindowEnabled(dialog.Item(IDC_CUSTOM_VM_BROWSE)));
}

TEST_F(JavaSupport, OkWritesTheChoiceAndCancelWritesNothing) {
    Store("Type", "0");
    for (int button : {IDCANCEL, IDOK}) {
        JavaSupportDialog dialog(nullptr, kKey);
        bool sunEnabled = false;
        DialogDriver driver;
        driver.Then(testing::WithControl(IDC_SUN_VM), [&](HWND w) {
            SendMessageA(GetDlgItem(w, IDC_SUN_VM), BM_CLICK, 0, 0);
            sunEnabled = IsWindowEnabled(GetDlgItem(w, IDC_SUN_VM_PATH)) &&
                         !IsWindowEnabled(GetDlgItem(w, IDC_MICROSOFT_VM_PATH));
            SetDlgItemTextA(w, IDC_SUN_VM_PATH, "D:\\jdk\\bin\\java.exe");
            Press(w, button);
        });
        driver.Start();
        EXPECT_EQ(dialog.DoModal(), button);
        EXPECT_TRUE(driver.Finish());
        EXPECT_TRUE(sunEnabled);
        if (button == IDCANCEL) {
            EXPECT_EQ(Stored("Type"), "0");
            EXPECT_EQ(Stored("SunExe"), "<none>");
        } else {
            EXPECT_EQ(Stored("Type"), "1");
            EXPECT_EQ(Stored("SunExe"), "D:\\jdk\\bin\\java.exe");
            EXPECT_EQ(Stored("MSExe"), "");
            EXPECT_EQ(Stored("CustomCommandLine"), "");
        }
    }
}

TEST_F(JavaSupport, FindListsTheLaunchersOnTheDisksAndCancelChangesNothing) {
    ScratchDir dir;
    CreateDirectoryA(dir.File("jdk").c_str(), nullptr);
    dir.Write("jdk\\JAVA.EXE", "x");
    std::string wanted = dir.File("jdk\\JAVA.EXE");
    Store("Type", "1");
    Store("SunExe", "before");
    for (int button : {IDCANCEL, IDOK}) {
        JavaSupportDialog dialog(nullptr, kKey);
        std::string result;
        DialogDriver driver;
        driver
            .Then(testing::WithControl(IDC_SUN_VM_FIND), [&](HWND w) { Press(w, IDC_SUN_VM_FIND); })
            .Then(
                [&](HWND w) {
                    HWND list = GetDlgItem(w, IDC_FOUND_LIST);
                    return list != nullptr &&
                           SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(wanted.c_str())) != LB_ERR;
                },
                [&](HWND w) {
                    HWND list = GetDlgItem(w, IDC_FOUND_LIST);
                    LRESULT at = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(wanted.c_str()));
                    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
                    SendMessageA(w, WM_COMMAND, MAKEWPARAM(IDC_FOUND_LIST, LBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(list));
                    Press(w, button);
                })
            .Then(testing::WithControl(IDC_SUN_VM_FIND), [&](HWND w) {
                result = testing::ItemText(w, IDC_SUN_VM_PATH);
                Press(w, IDCANCEL);
            });
        driver.Start();
        dialog.DoModal();
        EXPECT_TRUE(driver.Finish());
        EXPECT_EQ(result, button == IDOK ? wanted : "before");
    }
}

} // namespace
} // namespace nebcm::ui
