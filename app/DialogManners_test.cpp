// The main dialog as a keyboard user, a screen reader and a Windows user meet it: the tab
// order, Enter, where the focus goes, the icon and place of the window, the empty list's reason
// and the skin's texts under a high-contrast scheme.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/testing/DialogFixture.h"
#include "app/testing/MessageBoxes.h"
#include "res/resource.h"
#include "win32ui/Capture.h"
#include "win32ui/WaitCursor.h"

namespace app {
namespace {

// Drive 1 qualifies and has no virtual drive yet; every plug-in is refused with 5.
const char* const kRefusedPlugIn =
    "bus present\n"
    "drive 1 size=3000592982016\n"
    "fault DeviceIoControl ioctl=0x2A4004 error=5\n";

class DialogMannersTest : public testing::DialogFixture<> {
protected:
    void OpenActive(const char* scenario) {
        Open(scenario);
        SetForegroundWindow(dialog->Handle());
        ui::PumpWaitingMessages();
    }
    // A key as the keyboard delivers it, through the dialog's own message handling.
    void Press(UINT key) {
        PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
        PostMessageW(GetFocus(), WM_KEYUP, key, 0xC0000001);
        ui::PumpWaitingMessages();
    }
    std::vector<int> TabOrder() const {
        std::vector<int> ids;
        for (HWND c = GetWindow(dialog->Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) ids.push_back(GetDlgCtrlID(c));
        return ids;
    }
};

TEST_F(DialogMannersTest, TheFocusStartsInTheListTabsTopToBottomAndEnterEndsNothing) {
    OpenActive(demo::kBuiltInScenario);
    EXPECT_EQ(Item(IDC_LIST_DRIVE), GetFocus());
    EXPECT_EQ((std::vector<int>{IDC_LIST_DRIVE, IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION,
                                IDC_BTN_LIVEUPDATE, IDC_BTN_HELP, IDC_BTN_MINIMIZE, IDC_BTN_CLOSE}),
              TabOrder());
    Press(VK_RETURN);
    SendMessageW(dialog->Handle(), WM_COMMAND, IDOK, 0);
    ui::PumpWaitingMessages();
    ASSERT_TRUE(dialog->Exists());
    EXPECT_EQ(Item(IDC_LIST_DRIVE), GetFocus());

    // Arrowing onto a drive whose Create is disabled leaves the focus in the list.
    Select(1);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_BTN_CREATE)));
    Select(0);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_BTN_CREATE)));
    EXPECT_EQ(Item(IDC_LIST_DRIVE), GetFocus());

    // Enter on Create performs it; the button it disables hands the focus to the list.
    Select(1);
    SetFocus(Item(IDC_BTN_CREATE));
    Press(VK_RETURN);
    EXPECT_EQ(1, dialog->Groups()[1].State.Created);
    EXPECT_EQ(Item(IDC_LIST_DRIVE), GetFocus());
    // Escape ends the dialog as it always did.
    Press(VK_ESCAPE);
    EXPECT_FALSE(dialog->Exists());
}

TEST_F(DialogMannersTest, AfterAFailedCreateTheFocusIsBackOnCreate) {
    OpenActive(kRefusedPlugIn);
    testing::MessageBoxAnswerer answerer(IDOK, dialog->Handle());
    SetFocus(Item(IDC_BTN_CREATE));
    for (int attempt = 1; attempt <= 2; ++attempt) {  // so Space tries again
        Press(VK_SPACE);
        testing::PumpMessages();
        ASSERT_EQ(static_cast<size_t>(attempt), answerer.Boxes().size());
        EXPECT_EQ(Item(IDC_BTN_CREATE), GetFocus());
    }
    EXPECT_TRUE(dialog->Exists());
}

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

TEST_F(DialogMannersTest, TheWindowHasItsIconAMinimiseBoxAndOpensCentred) {
    CFarspanDlg own(machine());
    ASSERT_TRUE(own.CreateModeless());
    RECT box{}, area{};
    GetWindowRect(own.Handle(), &box);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((box.left + box.right) - (area.left + area.right)), 1);
    EXPECT_LE(std::abs((box.top + box.bottom) - (area.top + area.bottom)), 1);
    EXPECT_TRUE(GetWindowLongW(own.Handle(), GWL_STYLE) & WS_MINIMIZEBOX);
    for (const auto& [kind, metric] : {std::pair{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
        const auto icon = reinterpret_cast<HICON>(SendMessageW(own.Handle(), WM_GETICON, kind, 0));
        ICONINFO info{};
        ASSERT_TRUE(icon && GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(GetSystemMetrics(metric), colour.bmWidth);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    // The menu of Alt+Space offers Minimize.
    HMENU menu = GetSystemMenu(own.Handle(), FALSE);
    EXPECT_FALSE(GetMenuState(menu, SC_MINIMIZE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    own.DestroyWindow();
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
