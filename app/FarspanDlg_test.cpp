// The main dialog under Wine on the simulated machine: what it lists, which buttons it
// allows, and the capacity panel read back as texts and pixels.
#include "app/FarspanDlg.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/demo/BuiltInScenario.h"
#include "app/testing/DialogFixture.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Capture.h"
#include "win32ui/Window.h"

namespace app {
namespace {

constexpr COLORREF kBlue = 0xFF0000, kSilver = 0xC0C0C0, kWhite = 0xFFFFFF;
constexpr COLORREF kLightGrey = 0xD1D1D1, kGrey = 0x808080;

// The dialog with its capacity frame given a chosen width before the panel is measured.
class TestDialog : public CFarspanDlg {
public:
    TestDialog(platform::DeviceIo& io, int frameWidth = 0)
        : CFarspanDlg(io), frameWidth_(frameWidth) {}
    using CFarspanDlg::Item;

protected:
    BOOL OnInitDialog() override {
        if (frameWidth_ > 0) {
            HWND frame = GetDlgItem(Handle(), IDC_CAPACITY_FRAME);
            RECT r{};
            GetWindowRect(frame, &r);
            SetWindowPos(frame, nullptr, 0, 0, frameWidth_, r.bottom - r.top,
                         SWP_NOMOVE | SWP_NOZORDER);
        }
        return CFarspanDlg::OnInitDialog();
    }

private:
    int frameWidth_;
};

// The system's window colour for as long as it lives. Bitmaps loaded with LR_LOADTRANSPARENT
// take it into their first pixel's palette entry.
class WindowColour {
public:
    explicit WindowColour(COLORREF colour) : previous_(GetSysColor(COLOR_WINDOW)) { Set(colour); }
    ~WindowColour() { Set(previous_); }
    WindowColour(const WindowColour&) = delete;
    WindowColour& operator=(const WindowColour&) = delete;

private:
    static void Set(COLORREF colour) {
        const INT element = COLOR_WINDOW;
        SetSysColors(1, &element, &colour);
    }
    COLORREF previous_;
};

class FarspanDlgTest : public testing::DialogFixture<TestDialog> {
protected:
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
    RECT ClientRectOf(int id) const {
        RECT r{};
        GetWindowRect(Item(id), &r);
        MapWindowPoints(nullptr, dialog->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // A control's pixels as the dialog shows them, top row first.
    ui::Pixels PixelsOf(int id) {
        const RECT r = ClientRectOf(id);
        const ui::Pixels all = ui::CaptureClient(dialog->Handle());
        ui::Pixels part;
        part.width = r.right - r.left;
        part.height = r.bottom - r.top;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) part.rows.push_back(all.At(x, y));
        return part;
    }
    // Puts the mouse on a button, as the system would when the user moves there.
    void Hover(int id) {
        RECT r{};
        GetWindowRect(Item(id), &r);
        SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(Item(id), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        Repaint();
    }
    COLORREF PixelIn(int id, int dx, int dy) {
        const RECT r = ClientRectOf(id);
        return ui::CaptureClient(dialog->Handle()).At(r.left + dx, r.top + dy);
    }
};

// Lines of the built-in machine: 0 has a plugged-in virtual drive, 1 none, 2 one that is
// not plugged in.
TEST_F(FarspanDlgTest, ListsTheQualifyingDrivesUnderItsCaption) {
    Open();
    EXPECT_EQ(L"Overreach", dialog->Text());
    EXPECT_EQ(L"Available Drives (> 2048GB)", TextOf(IDC_LIST_CAPTION));
    EXPECT_EQ(L"B11.0919.1", TextOf(IDC_BUILD_LABEL));
    HWND list = Item(IDC_LIST_DRIVE);
    ASSERT_EQ(3, SendMessageW(list, LB_GETCOUNT, 0, 0));
    const wchar_t* lines[] = {L"ST3000DM008-2DM166 - 2794.52GB",
                              L"WDC WD30EZRX-00D8PB0 - 2794.52GB",
                              L"TOSHIBA MD04ACA400 - 3726.02GB"};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[128] = L"";
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(lines[i], text);
        EXPECT_EQ(20, SendMessageW(list, LB_GETITEMHEIGHT, static_cast<WPARAM>(i), 0));
    }
    EXPECT_EQ(0, SendMessageW(list, LB_GETCURSEL, 0, 0));
    EXPECT_TRUE(GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_TRUE(GetWindowLongW(dialog->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST_F(FarspanDlgTest, ButtonsAndTextsFollowTheSelectedDrive) {
    Open();
    EXPECT_EQ("011", Buttons());  // plugged in: no Create
    EXPECT_EQ(L"Create", TextOf(IDC_BTN_CREATE));

    Select(1);  // no virtual drive
    EXPECT_EQ("100", Buttons());
    EXPECT_EQ(L"Create", TextOf(IDC_BTN_CREATE));
    EXPECT_EQ(L"Create a virtual drive on the storage space beyond 2048 GB.",
              TextOf(IDC_CREATE_DESCRIPTION));

    machine().ClearRecords();
    Select(2);  // not plugged in: Rescan, and it can be used
    EXPECT_EQ("111", Buttons());
    EXPECT_EQ(L"Rescan", TextOf(IDC_BTN_CREATE));
    EXPECT_EQ(L"Rescan the virtual drive.", TextOf(IDC_CREATE_DESCRIPTION));
    ASSERT_EQ(1u, machine().DebugLines().size());
    EXPECT_EQ(L"ChangeCreateButtonText Set Rescan TEXT.\n", machine().DebugLines()[0]);

    Select(2);  // the same state again writes nothing
    EXPECT_EQ(1u, machine().DebugLines().size());
    Select(1);
    EXPECT_EQ(L"Create", TextOf(IDC_BTN_CREATE));
    EXPECT_EQ(L"Create a virtual drive on the storage space beyond 2048 GB.",
              TextOf(IDC_CREATE_DESCRIPTION));
    EXPECT_EQ(L"ChangeCreateButtonText Set Create TEXT.\n", machine().DebugLines().back());

    // No line selected offers no operation.
    Select(-1);
    EXPECT_EQ("000", Buttons());
    EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine().Outstanding());
}

TEST_F(FarspanDlgTest, AtStartUpTheTextsFollowADriveInTheRescanState) {
    Open(
        "bus present\n"
        "drive 1 size=4000787030016 product=\"TOSHIBA MD04ACA400\"\n"
        "virtual 2 drive=1 mounted=0\n");
    EXPECT_EQ(L"Rescan", TextOf(IDC_BTN_CREATE));
    EXPECT_EQ(L"Rescan the virtual drive.", TextOf(IDC_CREATE_DESCRIPTION));
    EXPECT_EQ("111", Buttons());
    // The panel shows the virtual drive as not plugged in, as a selection of it would.
    EXPECT_EQ(kBlue, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_EQ(kSilver, PixelIn(IDC_CAPACITY_BAR_1, 4, 4));
}

TEST_F(FarspanDlgTest, ARebuildWithoutTheSelectedDriveSelectsNoLine) {
    Open();
    Select(2);
    machine().RemoveDrive(3);
    dialog->RefreshDriveList();
    Repaint();
    EXPECT_EQ(2, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCOUNT, 0, 0));
    EXPECT_EQ(-1, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(-1, dialog->SelectedIndex());
    EXPECT_EQ("000", Buttons());
    EXPECT_EQ(L"Create", TextOf(IDC_BTN_CREATE));
    EXPECT_EQ(kSilver, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_CAPACITY_BAR_1)));
    EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine().Outstanding());
}

TEST_F(FarspanDlgTest, AnEmptyListDisablesEveryOperation) {
    Open("bus present\ndrive 0 size=500107862016 product=\"small\"\n");
    EXPECT_EQ(0, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCOUNT, 0, 0));
    EXPECT_EQ("000", Buttons());
    EXPECT_FALSE(Enabled(IDC_CAPACITY_BAR_0));
    EXPECT_FALSE(Enabled(IDC_CAPACITY_VALUE_0));
    EXPECT_TRUE(Visible(IDC_CAPACITY_BAR_0));  // one silver segment without text
    EXPECT_FALSE(Visible(IDC_CAPACITY_BAR_1));
    EXPECT_EQ(L"", TextOf(IDC_CAPACITY_BAR_0));
    EXPECT_EQ(kSilver, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_FALSE(dialog->RetryPending());  // a scan that finished is not tried again
}

// A drive still spinning up when the program starts: what was read is shown, and a moment
// later, with no device change, the rest.
TEST_F(FarspanDlgTest, AStartUpScanStoppedByAFailingDriveIsTriedAgain) {
    const std::string spinningUp =
        std::string(demo::kBuiltInScenario) + "fault DeviceIoControl drive=2 nth=1 error=21\n";
    Open(spinningUp.c_str());
    EXPECT_EQ(1, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCOUNT, 0, 0));
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RetryPending(); }, 3000));
    EXPECT_EQ(3, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
}

TEST_F(FarspanDlgTest, ThePanelSplitsThePlugInDriveInTenths) {
    // A frame 383 pixels wide leaves an inner width of 377.
    Open(demo::kBuiltInScenario, 383);
    const RECT frame = ClientRectOf(IDC_CAPACITY_FRAME);
    EXPECT_EQ(frame.left, dialog->PanelRect().left);  // client coordinates, not screen ones
    EXPECT_EQ(frame.top, dialog->PanelRect().top);

    const RECT physical = ClientRectOf(IDC_CAPACITY_BAR_0),
               virtualPart = ClientRectOf(IDC_CAPACITY_BAR_1);
    EXPECT_EQ(266, physical.right - physical.left);
    EXPECT_EQ(111, virtualPart.right - virtualPart.left);
    EXPECT_EQ(frame.left + 3, physical.left);
    EXPECT_EQ(physical.right, virtualPart.left);
    EXPECT_EQ(frame.top + 3, physical.top);
    EXPECT_EQ(30, physical.bottom - physical.top);
    const RECT value = ClientRectOf(IDC_CAPACITY_VALUE_0);
    EXPECT_EQ(frame.top + 33, value.top);
    EXPECT_EQ((frame.bottom - frame.top) - 36, value.bottom - value.top);

    EXPECT_EQ(2, dialog->Chart().count);
    EXPECT_EQ(L"Physical", TextOf(IDC_CAPACITY_BAR_0));
    EXPECT_EQ(L"Virtual", TextOf(IDC_CAPACITY_BAR_1));
    EXPECT_EQ(L"2048GB", TextOf(IDC_CAPACITY_VALUE_0));
    EXPECT_EQ(L"Corvane\n746.52GB", TextOf(IDC_CAPACITY_VALUE_1));
    EXPECT_EQ(kBlue, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_EQ(kBlue, PixelIn(IDC_CAPACITY_BAR_1, 4, 4));
    EXPECT_EQ(kWhite, PixelIn(IDC_CAPACITY_VALUE_0, 4, 4));
    EXPECT_TRUE(Enabled(IDC_CAPACITY_VALUE_0));
    EXPECT_TRUE(Enabled(IDC_CAPACITY_VALUE_1));
    EXPECT_FALSE(Visible(IDC_CAPACITY_BAR_2));

    Select(2);  // the virtual drive is not plugged in: silver, and its value not selectable
    EXPECT_EQ(kBlue, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_EQ(kSilver, PixelIn(IDC_CAPACITY_BAR_1, 4, 4));
    EXPECT_TRUE(Enabled(IDC_CAPACITY_VALUE_0));
    EXPECT_FALSE(Enabled(IDC_CAPACITY_VALUE_1));

    Select(1);  // no virtual drive: one full silver segment without text
    EXPECT_TRUE(Visible(IDC_CAPACITY_BAR_0));
    EXPECT_FALSE(Visible(IDC_CAPACITY_BAR_1));
    EXPECT_FALSE(Visible(IDC_CAPACITY_VALUE_1));
    EXPECT_EQ(377, ClientRectOf(IDC_CAPACITY_BAR_0).right - ClientRectOf(IDC_CAPACITY_BAR_0).left);
    EXPECT_EQ(L"", TextOf(IDC_CAPACITY_BAR_0));
    EXPECT_EQ(L"", TextOf(IDC_CAPACITY_VALUE_0));
    EXPECT_EQ(kSilver, PixelIn(IDC_CAPACITY_BAR_0, 4, 4));
    EXPECT_FALSE(Enabled(IDC_CAPACITY_VALUE_0));
}

// Every image button is drawn by the skin, and the texts keep their colours: white on the bars,
// black on the value labels, the skin's ink on the operation buttons.
TEST_F(FarspanDlgTest, TheSkinDrawsEveryButtonInItsColours) {
    Open();
    for (int id : {IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION, IDC_BTN_CLOSE,
                   IDC_BTN_MINIMIZE, IDC_BTN_LIVEUPDATE, IDC_BTN_HELP})
        EXPECT_EQ(BS_OWNERDRAW, GetWindowLongW(Item(id), GWL_STYLE) & 0xF) << id;
    auto has = [](const ui::Pixels& pixels, COLORREF colour) {
        return std::find(pixels.rows.begin(), pixels.rows.end(), colour) != pixels.rows.end();
    };
    EXPECT_TRUE(has(PixelsOf(IDC_CAPACITY_BAR_0), kWhite));
    EXPECT_TRUE(has(PixelsOf(IDC_CAPACITY_VALUE_0), RGB(0, 0, 0)));
    EXPECT_TRUE(has(PixelsOf(IDC_BTN_RECOVER), RGB(24, 48, 84)));
}

// The close button's images are palette bitmaps, which LR_LOADTRANSPARENT recolours: their
// key pixels take the window colour. Idle and hovered, the button looks the same whatever
// that colour is, and hovered it shows its red backdrop.
TEST_F(FarspanDlgTest, TheCloseButtonLooksTheSameUnderAnyWindowColour) {
    struct Looks {
        ui::Pixels idle, hovered;
    };
    auto closeButtonUnder = [&](COLORREF windowColour) {
        const WindowColour colour(windowColour);
        SetCursorPos(5, 1000);  // away from the dialog
        Open();
        Looks looks;
        looks.idle = PixelsOf(IDC_BTN_CLOSE);
        Hover(IDC_BTN_CLOSE);
        looks.hovered = PixelsOf(IDC_BTN_CLOSE);
        SetCursorPos(5, 1000);
        Close();
        return looks;
    };
    const COLORREF red = RGB(200, 50, 50);
    auto share = [](const ui::Pixels& pixels, COLORREF colour) {
        return static_cast<double>(std::count(pixels.rows.begin(), pixels.rows.end(), colour)) /
               static_cast<double>(pixels.rows.size());
    };

    const COLORREF slate = RGB(32, 36, 48);
    const Looks white = closeButtonUnder(RGB(255, 255, 255)), dark = closeButtonUnder(slate);
    ASSERT_GT(white.idle.width, 20);
    const int midY = white.idle.height / 2;
    for (const Looks* looks : {&white, &dark}) {
        EXPECT_EQ(0.0, share(looks->idle, red));
        EXPECT_GT(share(looks->hovered, red), 0.5);
        // Where the images have key pixels (a cut corner, left of the cross), the skin.
        EXPECT_EQ(white.idle.At(0, 0), looks->hovered.At(0, 0));
        EXPECT_EQ(white.idle.At(2, midY), looks->idle.At(2, midY));
    }
    EXPECT_NE(red, white.idle.At(2, midY));
    EXPECT_EQ(0.0, share(dark.idle, slate));  // no box in the window colour
    EXPECT_EQ(0.0, share(dark.hovered, slate));
}

TEST_F(FarspanDlgTest, ClickingAValueLabelMovesTheSelection) {
    Open();
    auto click = [&](int id) {
        SendMessageW(Item(id), BM_CLICK, 0, 0);
        Repaint();
    };
    click(IDC_CAPACITY_VALUE_1);
    EXPECT_EQ(4, dialog->Chart().currentSelection);
    EXPECT_EQ(kLightGrey, PixelIn(IDC_CAPACITY_VALUE_1, 6, 6));
    EXPECT_EQ(kGrey, PixelIn(IDC_CAPACITY_VALUE_1, 1, 6));  // the frame, inside the label
    EXPECT_EQ(kWhite, PixelIn(IDC_CAPACITY_VALUE_0, 6, 6));

    click(IDC_CAPACITY_VALUE_0);
    EXPECT_EQ(2, dialog->Chart().currentSelection);
    EXPECT_EQ(2, dialog->Chart().previousSelection);
    EXPECT_EQ(kLightGrey, PixelIn(IDC_CAPACITY_VALUE_0, 6, 6));
    EXPECT_EQ(kGrey, PixelIn(IDC_CAPACITY_VALUE_0, 1, 6));
    EXPECT_EQ(kWhite, PixelIn(IDC_CAPACITY_VALUE_1, 6, 6));
    EXPECT_NE(kGrey, PixelIn(IDC_CAPACITY_VALUE_1, 1, 6));

    const ui::Pixels before = ui::CaptureClient(dialog->Handle());
    click(IDC_CAPACITY_VALUE_0);  // again: nothing changes
    EXPECT_EQ(2, dialog->Chart().currentSelection);
    EXPECT_EQ(before.rows, ui::CaptureClient(dialog->Handle()).rows);

    // A refresh makes the label's idle background white again; the selection stays.
    Select(0);
    EXPECT_EQ(2, dialog->Chart().currentSelection);
    EXPECT_EQ(kWhite, PixelIn(IDC_CAPACITY_VALUE_0, 6, 6));
}

// The selection stays, but a label that is blank or disabled shows no frame for it.
TEST_F(FarspanDlgTest, NoSelectionFrameOnABlankOrDisabledValueLabel) {
    Open();
    SendMessageW(Item(IDC_CAPACITY_VALUE_0), BM_CLICK, 0, 0);
    Repaint();
    ASSERT_EQ(kGrey, PixelIn(IDC_CAPACITY_VALUE_0, 1, 6));

    Select(1);  // no virtual drive: value label 0 is blank and disabled
    ASSERT_TRUE(Visible(IDC_CAPACITY_VALUE_0));
    EXPECT_FALSE(Enabled(IDC_CAPACITY_VALUE_0));
    EXPECT_EQ(2, dialog->Chart().currentSelection);
    EXPECT_EQ(kWhite, PixelIn(IDC_CAPACITY_VALUE_0, 1, 6));

    Select(0);  // back to the drive with values: the frame with them
    EXPECT_EQ(kGrey, PixelIn(IDC_CAPACITY_VALUE_0, 1, 6));

    SendMessageW(Item(IDC_CAPACITY_VALUE_1), BM_CLICK, 0, 0);
    Repaint();
    ASSERT_EQ(kGrey, PixelIn(IDC_CAPACITY_VALUE_1, 1, 6));
    Select(2);  // not plugged in: value label 1 keeps its text but is disabled
    EXPECT_EQ(L"Corvane\n1678.02GB", TextOf(IDC_CAPACITY_VALUE_1));
    EXPECT_FALSE(Enabled(IDC_CAPACITY_VALUE_1));
    EXPECT_EQ(4, dialog->Chart().currentSelection);
    EXPECT_NE(kGrey, PixelIn(IDC_CAPACITY_VALUE_1, 1, 6));
}

}  // namespace
}  // namespace app
