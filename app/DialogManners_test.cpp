// The main dialog as a Windows user meets it: the empty list's reason, the place and minimise
// box of the window, one program per double click, the skin's texts under a high-contrast scheme
// and the wait cursor. The keyboard is tested from outside (tools/keyboard-test.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/testing/DialogFixture.h"
#include "platform/SystemCalls.h"
#include "res/resource.h"
#include "win32ui/Capture.h"
#include "win32ui/WaitCursor.h"

namespace app {
namespace {

using DialogMannersTest = testing::DialogFixture<>;

// The system's own words for a Win32 code, without the line end.
std::wstring SystemText(DWORD code) {
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, 512, nullptr);
    std::wstring s = text;
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r')) s.pop_back();
    return s;
}

TEST_F(DialogMannersTest, TheEmptyListSaysWhyOverTheListAndNotInIt) {
    struct Case {
        const char* scenario;
        std::wstring text;  // empty: the note is hidden
    };
    const Case cases[] = {
        {"bus absent\ndrive 1 size=3000592982016\n",
         L"The virtual disk bus driver is not installed."},
        {"bus present\ndrive 0 size=500107862016\n", L"No drive larger than 2048 GB was found."},
        {"bus present\ndrive 1 size=3000592982016\nfault DeviceIoControl ioctl=0x2A4014 error=31\n",
         L"The drive scan stopped at drive 1: " + SystemText(31)},
        {demo::kBuiltInScenario, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        Open(c.scenario);
        const HWND note = dialog->EmptyList().Handle();
        ASSERT_NE(nullptr, note);
        EXPECT_EQ(Item(IDC_LIST_DRIVE), GetParent(note));
        EXPECT_EQ(c.text, dialog->EmptyList().Text());
        EXPECT_EQ(!c.text.empty(), IsWindowVisible(note) != FALSE);
        if (!c.text.empty()) {
            wchar_t shown[256] = L"";
            GetWindowTextW(note, shown, 256);  // what a screen reader reads
            EXPECT_EQ(c.text, shown);
            EXPECT_EQ(0, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCOUNT, 0, 0));
        }
        Close();
    }
}

TEST_F(DialogMannersTest, TheWindowHasAMinimiseBoxAndOpensCentred) {
    CFarspanDlg own(machine());
    ASSERT_TRUE(own.CreateModeless());
    RECT box{}, area{};
    GetWindowRect(own.Handle(), &box);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((box.left + box.right) - (area.left + area.right)), 1);
    EXPECT_LE(std::abs((box.top + box.bottom) - (area.top + area.bottom)), 1);
    EXPECT_TRUE(GetWindowLongW(own.Handle(), GWL_STYLE) & WS_MINIMIZEBOX);
    // The menu of Alt+Space offers Minimize.
    HMENU menu = GetSystemMenu(own.Handle(), FALSE);
    EXPECT_FALSE(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    own.DestroyWindow();
}

// The programs the tool buttons would start, counted instead of started.
int starts = 0;
BOOL WINAPI CountProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                         LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    ++starts;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
HINSTANCE WINAPI CountShellExecute(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT) {
    ++starts;
    return reinterpret_cast<HINSTANCE>(33);
}
int WINAPI AnswerBox(HWND, LPCWSTR, LPCWSTR, UINT) {
    return IDOK;
}

TEST_F(DialogMannersTest, ADoubleClickOnAToolButtonStartsItsProgramOnce) {
    Open(demo::kBuiltInScenario);
    const platform::SystemCalls real = platform::Calls();
    platform::Calls().createProcess = CountProcess;
    platform::Calls().shellExecute = CountShellExecute;
    platform::Calls().messageBox = AnswerBox;
    for (int id : {IDC_BTN_PARTITION, IDC_BTN_LIVEUPDATE, IDC_BTN_HELP}) {
        starts = 0;
        const LPARAM at = MAKELPARAM(3, 3);
        PostMessageW(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(Item(id), WM_LBUTTONUP, 0, at);
        PostMessageW(Item(id), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(Item(id), WM_LBUTTONUP, 0, at);
        ui::PumpWaitingMessages();
        EXPECT_EQ(1, starts) << "button " << id;
    }
    platform::Calls() = real;
}

// The system's colours for as long as it lives.
class SystemColours {
public:
    SystemColours(std::vector<INT> elements, std::vector<COLORREF> colours) : elements_(elements) {
        for (INT e : elements) previous_.push_back(GetSysColor(e));
        SetSysColors(static_cast<int>(elements.size()), elements.data(), colours.data());
    }
    ~SystemColours() {
        SetSysColors(static_cast<int>(elements_.size()), elements_.data(), previous_.data());
    }

private:
    std::vector<INT> elements_;
    std::vector<COLORREF> previous_;
};

TEST_F(DialogMannersTest, UnderHighContrastTheSkinsTextsKeepTheSkinsInk) {
    auto darkPixels = [&](int id) {
        RECT r{};
        GetWindowRect(Item(id), &r);
        MapWindowPoints(nullptr, dialog->Handle(), reinterpret_cast<POINT*>(&r), 2);
        const ui::Pixels all = ui::CaptureClient(dialog->Handle());
        int dark = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = all.At(x, y);
                dark += GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
            }
        return dark;
    };
    {
        // High Contrast Black: white text on black.
        const SystemColours black(
            {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT},
            {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255)});
        // Started under the scheme, and told of a change while running.
        Open(demo::kBuiltInScenario);
        SendMessageW(dialog->Handle(), WM_SYSCOLORCHANGE, 0, 0);
        Repaint();
        for (int id : {IDC_LIST_CAPTION, IDC_CREATE_DESCRIPTION, IDC_RECOVER_DESCRIPTION,
                       IDC_BTN_RECOVER, IDC_BTN_PARTITION})
            EXPECT_GT(darkPixels(id), 20) << "control " << id;
        // For a person to look at, beside the test program.
        ui::SavePng(ui::CaptureClient(dialog->Handle()), L"overreach-high-contrast.png");
    }
    SendMessageW(dialog->Handle(), WM_SYSCOLORCHANGE, 0, 0);
}

TEST_F(DialogMannersTest, TheWaitCursorShowsOverTheWindowAndGoesAway) {
    Open(demo::kBuiltInScenario);
    const RECT box = dialog->WindowRect();
    SetCursorPos((box.left + box.right) / 2, box.top + 120);
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    {
        const ui::WaitCursor wait(dialog->Handle());
        EXPECT_TRUE(wait.Shown());
        EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), GetCursor());
    }
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), GetCursor());
    SetCursor(before);
}

}  // namespace
}  // namespace app
