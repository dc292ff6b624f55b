// The demonstration build as a user meets it: started as a process of its own and read from
// outside by control ids only, the way another program (or an accessibility tool) sees it.
// OVERREACH_PROGRAM names the program to start (default: OverreachDemo.exe beside this test);
// OVERREACH_SCREENSHOT, when set, names the PNG file for what the screen shows of its window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/testing/DialogKit.h"
#include "app/testing/OtherProcess.h"
#include "res/resource.h"
#include "win32ui/Capture.h"

namespace {

using app::testing::ListLines;
using app::testing::OtherProcess;
using app::testing::WaitForWindow;
using app::testing::WindowText;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? value : L"";
}

TEST(DemoWindowTest, ShowsTheBuiltInMachineToAnotherProcess) {
    std::wstring program = Environment(L"OVERREACH_PROGRAM");
    if (program.empty()) program = L"OverreachDemo.exe";
    OtherProcess demo;
    ASSERT_TRUE(demo.Start(program)) << GetLastError();
    HWND dialog = WaitForWindow(
        demo.Id(), [](HWND window) { return GetDlgItem(window, IDC_LIST_DRIVE) != nullptr; },
        30000);
    ASSERT_NE(nullptr, dialog);

    EXPECT_EQ(L"Overreach", WindowText(dialog));
    EXPECT_EQ(L"Available Drives (> 2048GB)", WindowText(GetDlgItem(dialog, IDC_LIST_CAPTION)));
    EXPECT_EQ(L"B11.0919.1", WindowText(GetDlgItem(dialog, IDC_BUILD_LABEL)));
    EXPECT_EQ((std::vector<std::wstring>{L"ST3000DM008-2DM166 - 2794.52GB",
                                         L"WDC WD30EZRX-00D8PB0 - 2794.52GB",
                                         L"TOSHIBA MD04ACA400 - 3726.02GB"}),
              ListLines(GetDlgItem(dialog, IDC_LIST_DRIVE)));
    // The first drive is selected and its virtual drive is plugged in.
    EXPECT_EQ(0, SendMessageW(GetDlgItem(dialog, IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"Create", WindowText(GetDlgItem(dialog, IDC_BTN_CREATE)));
    EXPECT_EQ(L"2048GB", WindowText(GetDlgItem(dialog, IDC_CAPACITY_VALUE_0)));
    EXPECT_EQ(L"Corvane\n746.52GB", WindowText(GetDlgItem(dialog, IDC_CAPACITY_VALUE_1)));

    // The skin's pixels reach the screen: the window is neither blank nor one flat colour.
    SetForegroundWindow(dialog);
    Sleep(500);
    RECT box{};
    GetWindowRect(dialog, &box);
    const ui::Pixels pixels = ui::CaptureScreen(box);
    ASSERT_GT(pixels.width, 100);
    ASSERT_GT(pixels.height, 100);
    size_t differing = 0;
    for (COLORREF c : pixels.rows) differing += c != pixels.rows[0];
    EXPECT_GT(differing, pixels.rows.size() / 4);
    const std::wstring screenshot = Environment(L"OVERREACH_SCREENSHOT");
    if (!screenshot.empty()) {
        EXPECT_TRUE(ui::SavePng(pixels, screenshot));
    }

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, demo.WaitForExit(30000));
}

}  // namespace
