// Two copies of the demonstration build under Wine: the second one brings the first one's
// window forward and ends; a block that names no live window gets the message instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/testing/OtherProcess.h"

namespace {

using app::testing::OtherProcess;
using app::testing::WaitForWindow;

TEST(SecondStartTest, TheSecondCopyRestoresTheFirstAndEnds) {
    OtherProcess first;
    ASSERT_TRUE(first.Start(L"OverreachDemo.exe"));
    HWND window = WaitForWindow(first.Id(), L"Overreach", 30000);
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));

    OtherProcess second;
    ASSERT_TRUE(second.Start(L"OverreachDemo.exe"));
    EXPECT_EQ(0u, second.WaitForExit(30000));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, WaitForWindow(second.Id(), L"Error", 200));

    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, first.WaitForExit(30000));
}

TEST(SecondStartTest, ABlockWithoutALiveWindowGetsOneMessage) {
    // Another process's block under the program's name, naming no window.
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                      L"OverreachDemo__akui__");
    ASSERT_NE(nullptr, block);
    auto* slot = static_cast<DWORD*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 4));
    ASSERT_NE(nullptr, slot);
    *slot = 0x0BADF00D;
    UnmapViewOfFile(slot);

    OtherProcess copy;
    ASSERT_TRUE(copy.Start(L"OverreachDemo.exe"));
    HWND box = WaitForWindow(copy.Id(), L"Error", 30000);
    ASSERT_NE(nullptr, box);
    wchar_t text[128] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 128);  // the message box's text control
    EXPECT_STREQ(L"Only one instance is allowed", text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, copy.WaitForExit(30000));
    EXPECT_EQ(nullptr, WaitForWindow(copy.Id(), L"Overreach", 100));
    CloseHandle(block);
}

}  // namespace
