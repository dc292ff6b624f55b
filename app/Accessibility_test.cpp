// What a screen reader hears of the demonstration build: every visible control's name and
// role read from another process through Active Accessibility. OVERREACH_TEST_LANGUAGE
// (en, zh_TW or zh_CN; en when unset) says which names the string tables give under the
// locale the test runs in.
#include <windows.h>
// windows.h first: the accessibility header needs its types.
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/testing/OtherProcess.h"
#include "res/resource.h"

namespace {

using app::testing::OtherProcess;
using app::testing::WaitForWindow;

// Written out: the id in mingw-w64's import libraries is not the one Wine's proxies answer to.
const GUID kAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

struct Heard {
    std::wstring name;
    long role = 0;
};

Heard Read(HWND window) {
    Heard heard;
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kAccessible,
                                          reinterpret_cast<void**>(&object))) ||
        !object)
        return heard;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) heard.name = name;
    SysFreeString(name);
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) heard.role = role.lVal;
    object->Release();
    return heard;
}

// Wine's standard objects answer every window with the client role; Windows' tell the kind
// of control.
bool OnWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring Language() {
    wchar_t value[16] = L"";
    GetEnvironmentVariableW(L"OVERREACH_TEST_LANGUAGE", value, 16);
    return *value ? value : L"en";
}

struct Control {
    int id;
    long role;
    const wchar_t *en, *zhTW, *zhCN;  // null: no name
};

// The built-in machine, its first drive selected: a virtual drive plugged in.
const Control kControls[] = {
    {IDC_BTN_CLOSE, ROLE_SYSTEM_PUSHBUTTON, L"Close", L"關閉", L"关闭"},
    {IDC_BTN_MINIMIZE, ROLE_SYSTEM_PUSHBUTTON, L"Minimize", L"最小化", L"最小化"},
    {IDC_BTN_LIVEUPDATE, ROLE_SYSTEM_PUSHBUTTON, L"Live Update", L"線上更新", L"在线更新"},
    {IDC_BTN_HELP, ROLE_SYSTEM_PUSHBUTTON, L"Help", L"說明", L"帮助"},
    {IDC_BUILD_LABEL, ROLE_SYSTEM_STATICTEXT, L"B11.0919.1", L"B11.0919.1", L"B11.0919.1"},
    {IDC_LIST_CAPTION, ROLE_SYSTEM_STATICTEXT, L"Available Drives (> 2048GB)",
     L"可使用的磁碟 (> 2048GB)", L"可使用的磁盘 (> 2048GB)"},
    // Windows names a list after the caption in front of it; Wine gives it no name.
    {IDC_LIST_DRIVE, ROLE_SYSTEM_LIST, nullptr, nullptr, nullptr},
    {IDC_BTN_CREATE, ROLE_SYSTEM_PUSHBUTTON, L"Create", L"建立", L"建立"},
    {IDC_CREATE_DESCRIPTION, ROLE_SYSTEM_STATICTEXT,
     L"Create a virtual drive on the storage space beyond 2048 GB.",
     L"將超過2048GB以上的磁碟空間建立為虛擬磁碟", L"将超过2048 GB以上的磁盘空间建立为虚拟磁盘"},
    {IDC_BTN_RECOVER, ROLE_SYSTEM_PUSHBUTTON, L"Recover", L"還原", L"还原"},
    {IDC_RECOVER_DESCRIPTION, ROLE_SYSTEM_STATICTEXT,
     L"Delete the virtual drive and restore it to its previous state.",
     L"刪除已建立的虛擬磁碟並將磁碟還原至未建立前的狀態",
     L"删除已建立的虚拟磁盘并将磁盘还原至未建立前的状态"},
    {IDC_BTN_PARTITION, ROLE_SYSTEM_PUSHBUTTON, L"Partition", L"分割", L"分割"},
    {IDC_PARTITION_DESCRIPTION, ROLE_SYSTEM_STATICTEXT,
     L"Open the Disk Management tool to partition or format the hard drive.",
     L"開啟「磁碟管理」工具以進行磁碟分割或格式化", L"开启「磁盘管理」工具以进行磁盘分区或格式化"},
    {IDC_CAPACITY_VALUE_0, ROLE_SYSTEM_PUSHBUTTON, L"2048GB", L"2048GB", L"2048GB"},
    {IDC_CAPACITY_VALUE_1, ROLE_SYSTEM_PUSHBUTTON, L"Corvane\n746.52GB", L"Corvane\n746.52GB",
     L"Corvane\n746.52GB"},
};

TEST(AccessibilityTest, EveryControlHasTheNameAndRoleAScreenReaderNeeds) {
    const std::wstring language = Language();
    ASSERT_TRUE(language == L"en" || language == L"zh_TW" || language == L"zh_CN") << language;
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    {
        OtherProcess demo;
        ASSERT_TRUE(demo.Start(L"OverreachDemo.exe")) << GetLastError();
        HWND dialog = WaitForWindow(
            demo.Id(), [](HWND window) { return GetDlgItem(window, IDC_LIST_DRIVE) != nullptr; },
            30000);
        ASSERT_NE(nullptr, dialog);
        auto role = [](long windows) { return OnWine() ? ROLE_SYSTEM_CLIENT : windows; };
        const Heard window = Read(dialog);
        EXPECT_EQ(L"Overreach", window.name);
        EXPECT_EQ(role(ROLE_SYSTEM_DIALOG), window.role);
        for (const Control& c : kControls) {
            const wchar_t* name = language == L"en" ? c.en : language == L"zh_TW" ? c.zhTW : c.zhCN;
            const Heard heard = Read(GetDlgItem(dialog, c.id));
            EXPECT_EQ(name ? name : L"", heard.name) << "control " << c.id;
            EXPECT_EQ(role(c.role), heard.role) << "control " << c.id;
        }
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(0u, demo.WaitForExit(30000));
    }
    CoUninitialize();
}

}  // namespace
