// The whole cycle in the demonstration build, driven from another process by control ids
// only: Create, the list after the machine's own broadcasts, Recover answered No and Yes.
// Screenshots of the window before and after the Create are left in the working folder.
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

class DemoCycle {
public:
    explicit DemoCycle(HWND dialog) : dialog_(dialog) {}
    HWND Item(int id) const { return app::testing::Item(dialog_, id); }
    std::string Buttons() const { return app::testing::Buttons(dialog_); }
    std::wstring Text(int id) const { return app::testing::TextOf(dialog_, id); }
    void Select(int line) const { app::testing::Select(dialog_, line); }
    // Posted: the click may open a box whose answer this process has to give.
    void Click(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }
    // Waits until the program has handled everything sent or posted so far.
    void Settle() const {
        DWORD_PTR ignored = 0;
        for (int k = 0; k < 3; ++k) {
            SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
            Sleep(100);
        }
    }
    template <class Condition>
    bool WaitFor(Condition condition, DWORD milliseconds) const {
        for (DWORD waited = 0; waited < milliseconds; waited += 50) {
            if (condition()) return true;
            Sleep(50);
        }
        return condition();
    }
    bool SaveScreenshot(const std::wstring& path) const {
        RECT box{};
        GetWindowRect(dialog_, &box);
        return ui::SavePng(ui::CaptureScreen(box), path);
    }

private:
    HWND dialog_;
};

// The Notice box: answered by pressing its button with the given id.
bool AnswerNotice(DWORD processId, int answer) {
    HWND box = WaitForWindow(processId, L"Notice", 10000);
    if (!box) return false;
    HWND button = GetDlgItem(box, answer);
    if (!button) return false;
    PostMessageW(button, BM_CLICK, 0, 0);
    for (int k = 0; k < 100 && IsWindow(box); ++k) Sleep(50);
    return !IsWindow(box);
}

TEST(DemoCycleTest, CreateThenRecoverNoAndYesFromAnotherProcess) {
    OtherProcess demo;
    ASSERT_TRUE(demo.Start(L"OverreachDemo.exe")) << GetLastError();
    HWND dialog = WaitForWindow(
        demo.Id(), [](HWND window) { return GetDlgItem(window, IDC_LIST_DRIVE) != nullptr; },
        30000);
    ASSERT_NE(nullptr, dialog);
    const DemoCycle ui(dialog);
    SetForegroundWindow(dialog);
    const std::vector<std::wstring> lines = ListLines(ui.Item(IDC_LIST_DRIVE));
    ASSERT_EQ(3u, lines.size());

    // Create on the drive without a virtual drive.
    ui.Select(1);
    ui.Settle();
    EXPECT_EQ("100", ui.Buttons());
    EXPECT_TRUE(ui.SaveScreenshot(L"overreach-demo-before-create.png"));
    ui.Click(IDC_BTN_CREATE);
    ui.Settle();
    EXPECT_EQ("011", ui.Buttons());
    EXPECT_EQ(L"Create", ui.Text(IDC_BTN_CREATE));
    // The broadcasts have come and gone: the bus driver's new drive is not offered, and
    // nothing else changed.
    ui.Settle();
    EXPECT_EQ(lines, ListLines(ui.Item(IDC_LIST_DRIVE)));
    EXPECT_EQ(1, SendMessageW(ui.Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
    EXPECT_EQ("011", ui.Buttons());
    EXPECT_TRUE(ui.SaveScreenshot(L"overreach-demo-after-create.png"));

    // Recover on the drive whose virtual drive is not plugged in, answered No: nothing.
    ui.Select(2);
    ui.Settle();
    ASSERT_EQ(L"Rescan", ui.Text(IDC_BTN_CREATE));
    ASSERT_EQ("111", ui.Buttons());
    ui.Click(IDC_BTN_RECOVER);
    ASSERT_TRUE(AnswerNotice(demo.Id(), IDNO));
    ui.Settle();
    EXPECT_EQ(L"Rescan", ui.Text(IDC_BTN_CREATE));
    EXPECT_EQ("111", ui.Buttons());

    // Answered Yes: the virtual drive goes, and once the broadcasts are in, the line reads as
    // a drive without one.
    ui.Click(IDC_BTN_RECOVER);
    ASSERT_TRUE(AnswerNotice(demo.Id(), IDYES));
    EXPECT_TRUE(ui.WaitFor([&] { return ui.Text(IDC_BTN_CREATE) == L"Create"; }, 10000));
    ui.Settle();
    EXPECT_EQ("100", ui.Buttons());
    EXPECT_EQ(L"Create a virtual drive on the storage space beyond 2048 GB.",
              ui.Text(IDC_CREATE_DESCRIPTION));
    EXPECT_EQ(lines, ListLines(ui.Item(IDC_LIST_DRIVE)));
    EXPECT_EQ(2, SendMessageW(ui.Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, demo.WaitForExit(30000));
}

}  // namespace
