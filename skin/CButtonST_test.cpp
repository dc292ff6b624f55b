// The image button under Wine: real mouse and button messages, pixels read back.
#include "skin/CButtonST.h"

#include <gtest/gtest.h>

#include "skin/testing/SkinTestKit.h"
#include "win32ui/Window.h"

namespace skin {
namespace {

using test::TestDialog;

const COLORREF kRed = RGB(220, 20, 20), kBlue = RGB(20, 40, 220), kGreen = RGB(10, 180, 30);
const COLORREF kMagenta = RGB(255, 0, 255);

HBITMAP Solid(int width, int height, COLORREF colour) {
    return test::MakeBitmap(width, height, [=](int, int) { return colour; });
}

using test::Box;
using test::BoxOf;

// One button on the test dialog, placed at (10, 10) with the given size.
struct OneButton {
    TestDialog dialog;
    CButtonST button;
    ui::Font font{test::CrispFont()};

    explicit OneButton(int id = IDC_BUTTON_A, int width = 40, int height = 24) {
        dialog.bind = [this, id](TestDialog& d) {
            SendMessageW(d.Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
            EXPECT_TRUE(d.Bind(button, id));
        };
        EXPECT_TRUE(dialog.CreateModeless());
        SetFocus(nullptr);  // no focus cue in the pixels
        dialog.SetClientSize(200, 120);
        dialog.Place(id, 10, 10, width, height);
        button.ShowHoverFrame(FALSE);
        for (int slot = CButtonST::ActiveBackground; slot <= CButtonST::FocusText; slot += 2) {
            button.SetStateColor(static_cast<CButtonST::ColorSlot>(slot), kGreen);
            button.SetStateColor(static_cast<CButtonST::ColorSlot>(slot + 1), kBlue);
        }
    }
    ~OneButton() { dialog.DestroyWindow(); }

    ui::Pixels Painted() {
        ui::RepaintNow(dialog.Handle());
        return ui::CaptureClient(button.Handle());
    }
    POINT ScreenCentre() const {
        const RECT r = button.WindowRect();
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

// Waits (at most two seconds) for the system's leave notification to reach the button.
void WaitForColour(OneButton& one, COLORREF colour) {
    const DWORD end = GetTickCount() + 2000;
    while (one.Painted().At(15, 10) != colour && GetTickCount() < end) ui::PumpMessagesFor(20);
}

TEST(CButtonSTTest, KeyColouredPixelsShowTheBackgroundAndAreStoredBlack) {
    OneButton one(IDC_BUTTON_A, 20, 10);
    one.button.SetText(L"");
    HBITMAP image = test::MakeBitmap(20, 10, [](int x, int) { return x < 5 ? kMagenta : kRed; });
    ASSERT_EQ(CButtonST::BitmapsSet, one.button.SetStateBitmaps(image, kMagenta, nullptr, 0));
    EXPECT_EQ(RGB(0, 0, 0), test::PixelOf(image, 2, 2));  // the key pixels, turned black in place
    EXPECT_EQ(kRed, test::PixelOf(image, 12, 2));
    one.button.SetImagePlacement(3);
    one.button.FitToImage();

    ui::Pixels face = one.Painted();
    EXPECT_EQ(kGreen, face.At(2, 5));  // the colour fill behind the key pixels
    EXPECT_EQ(kRed, face.At(12, 5));

    // With the parent's pixels as background, the dialog's skin shows through instead.
    one.dialog.SetBackgroundBitmap(
        test::MakeBitmap(200, 120, [](int x, int y) { return RGB(x, y, 77); }));
    one.button.UseParentBackground(TRUE);
    face = one.Painted();
    EXPECT_EQ(RGB(12, 15, 77), face.At(2, 5));  // the button sits at (10, 10)
    EXPECT_EQ(kRed, face.At(12, 5));
}

TEST(CButtonSTTest, PressingShiftsImageAndCaptionButNotInCheckBoxMode) {
    OneButton one(IDC_BUTTON_A, 60, 30);
    one.button.SetText(L"X");
    one.button.SetStateBitmaps(Solid(10, 10, kRed), RGB(0, 0, 0), nullptr, 0);
    one.button.SetImagePlacement(3);
    one.button.SetPressShift(0, 2);

    const ui::Pixels up = one.Painted();
    one.button.SetState(true);
    const ui::Pixels down = one.Painted();
    one.button.SetState(false);

    const Box imageUp = BoxOf(up, kRed), imageDown = BoxOf(down, kRed);
    ASSERT_FALSE(imageUp.Empty());
    EXPECT_EQ(imageUp.left, imageDown.left);
    EXPECT_EQ(imageUp.top + 2, imageDown.top);
    const Box captionUp = BoxOf(up, kBlue), captionDown = BoxOf(down, kBlue);
    ASSERT_FALSE(captionUp.Empty());
    EXPECT_EQ(captionUp.left, captionDown.left);
    EXPECT_EQ(captionUp.top + 2, captionDown.top);

    // A check box toggles with each click and keeps its image in place.
    OneButton box(IDC_CHECK_BOX, 60, 30);
    box.button.SetText(L"");
    box.button.SetStateBitmaps(Solid(10, 10, kRed), RGB(0, 0, 0), nullptr, 0);
    box.button.SetImagePlacement(3);
    const Box unchecked = BoxOf(box.Painted(), kRed);
    box.button.Send(BM_CLICK);
    EXPECT_EQ(BST_CHECKED, box.button.GetCheck());
    const Box checked = BoxOf(box.Painted(), kRed);
    EXPECT_EQ(unchecked.left, checked.left);
    EXPECT_EQ(unchecked.top, checked.top);
    box.button.Send(BM_CLICK);
    EXPECT_EQ(BST_UNCHECKED, box.button.GetCheck());
    box.button.SetCheck(BST_INDETERMINATE);
    EXPECT_EQ(BST_CHECKED, box.button.GetCheck());
    EXPECT_EQ(BST_UNCHECKED, one.button.GetCheck());  // a push button has no check state
}

TEST(CButtonSTTest, ImagePlacementsPutTheImageBesideAboveOrUnderTheCaption) {
    OneButton one(IDC_BUTTON_A, 60, 30);
    one.button.SetStateBitmaps(Solid(10, 10, kRed), RGB(0, 0, 0), nullptr, 0);
    const struct {
        BYTE placement;
        const wchar_t* caption;
        int imageLeft, imageTop;
    } cases[] = {
        {0, L"X", 3, 10},   // left of the caption, after the margin
        {0, L"", 25, 10},   // alone: centred
        {1, L"X", 25, 3},   // above the caption, at the vertical margin
        {2, L"X", 47, 10},  // right of the caption: client width - margin - image width
        {2, L"", 25, 0},    // alone: centred across, at the top
        {3, L"X", 0, 0},    // under the caption, at the origin
    };
    for (const auto& c : cases) {
        one.button.SetImagePlacement(c.placement);
        one.button.SetText(c.caption);
        const ui::Pixels pixels = one.Painted();
        const Box image = BoxOf(pixels, kRed);
        EXPECT_EQ(c.imageLeft, image.left)
            << int(c.placement) << (*c.caption ? " with caption" : "");
        EXPECT_EQ(c.imageTop, image.top) << int(c.placement);
        const Box caption = BoxOf(pixels, kBlue);
        if (*c.caption == 0) {
            EXPECT_TRUE(caption.Empty());
            continue;
        }
        // The caption is centred in what the image leaves of the button.
        const int centreX = (caption.left + caption.right) / 2,
                  centreY = (caption.top + caption.bottom) / 2;
        const int expected[][2] = {
            {(13 + 60) / 2, -1}, {-1, (10 + 30) / 2}, {(3 + 47) / 2, -1}, {-1, -1}};
        if (expected[c.placement][0] >= 0) {
            EXPECT_NEAR(expected[c.placement][0], centreX, 2) << int(c.placement);
        }
        if (expected[c.placement][1] >= 0) {
            EXPECT_NEAR(expected[c.placement][1], centreY, 2) << int(c.placement);
        }
    }
}

TEST(CButtonSTTest, TheHoverFrameIsRaisedOnHoverAndSunkenWhenPressed) {
    OneButton one(IDC_BUTTON_A, 30, 20);
    one.button.SetText(L"");
    one.button.ShowHoverFrame(TRUE);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
    ui::Pixels pixels = one.Painted();
    EXPECT_EQ(kGreen, pixels.At(0, 0));  // neither hovered nor pressed: no frame

    const POINT centre = one.ScreenCentre();
    SetCursorPos(centre.x, centre.y);
    one.button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(15, 10));
    pixels = one.Painted();
    EXPECT_EQ(light, pixels.At(0, 0));
    EXPECT_EQ(dark, pixels.At(29, 19));

    one.button.SetState(true);
    pixels = one.Painted();
    EXPECT_EQ(dark, pixels.At(0, 0));
    EXPECT_EQ(light, pixels.At(29, 19));
    one.button.SetState(false);
    SetCursorPos(5, 1000);
    ui::PumpMessagesFor(50);
}

TEST(CButtonSTTest, ADisabledButtonEtchesItsCaptionAndEmbossesItsImage) {
    OneButton one(IDC_BUTTON_A, 80, 30);
    one.button.SetText(L"Etched");
    one.button.SetStateBitmaps(Solid(8, 8, kRed), RGB(0, 0, 0), nullptr, 0);
    one.button.SetImagePlacement(3);
    one.button.Enable(false);
    const ui::Pixels pixels = one.Painted();
    const Box highlight = BoxOf(pixels, GetSysColor(COLOR_BTNHIGHLIGHT));
    const Box shadow = BoxOf(pixels, GetSysColor(COLOR_BTNSHADOW));
    ASSERT_FALSE(shadow.Empty());
    ASSERT_FALSE(highlight.Empty());
    EXPECT_EQ(shadow.right + 1, highlight.right);  // the highlight pass lies one pixel down-right
    EXPECT_EQ(shadow.bottom + 1, highlight.bottom);
    EXPECT_TRUE(BoxOf(pixels, kRed).Empty());  // the image is drawn embossed, not in colour
    EXPECT_TRUE(BoxOf(pixels, kBlue).Empty());
}

TEST(CButtonSTTest, HoverFollowsTheMouseButNotADragFromElsewhere) {
    OneButton one(IDC_BUTTON_A, 30, 20);
    one.button.SetText(L"");
    one.button.SetStateBitmaps(Solid(30, 20, kRed), RGB(0, 0, 0), Solid(30, 20, kBlue),
                               RGB(0, 0, 0));
    one.button.SetImagePlacement(3);
    SetForegroundWindow(one.dialog.Handle());
    // The mouse away from the button; a hover from where the cursor was before ends.
    SetCursorPos(5, 1000);
    WaitForColour(one, kBlue);
    EXPECT_EQ(kBlue, one.Painted().At(15, 10));  // idle

    // Moving in with the left button held does not highlight.
    const POINT centre = one.ScreenCentre();
    SetCursorPos(centre.x, centre.y);
    one.button.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(15, 10));
    EXPECT_EQ(kBlue, one.Painted().At(15, 10));

    // A move without the button does, and leaving ends it through the leave notification.
    one.button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(15, 10));
    ui::PumpMessagesFor(50);
    EXPECT_EQ(kRed, one.Painted().At(15, 10));
    SetCursorPos(5, 1000);
    WaitForColour(one, kBlue);
    EXPECT_EQ(kBlue, one.Painted().At(15, 10));

    // Losing the focus also ends the hover.
    SetCursorPos(centre.x, centre.y);
    one.button.Send(WM_MOUSEMOVE, 0, MAKELPARAM(15, 10));
    EXPECT_EQ(kRed, one.Painted().At(15, 10));
    one.button.Send(WM_KILLFOCUS);
    EXPECT_EQ(kBlue, one.Painted().At(15, 10));
    SetCursorPos(5, 1000);
}

TEST(CButtonSTTest, OnlyTheFocusedButtonHandsTheFocusOnWhenDisabled) {
    TestDialog dialog;
    CButtonST a, b;
    dialog.bind = [&](TestDialog& d) {
        d.Bind(a, IDC_BUTTON_A);
        d.Bind(b, IDC_BUTTON_B);
    };
    ASSERT_TRUE(dialog.CreateModeless());
    SetForegroundWindow(dialog.Handle());
    HWND other = dialog.Item(IDC_DEFAULT_BUTTON);
    SetFocus(other);
    a.Enable(false);  // it did not have the focus: the focus stays where the user is
    EXPECT_EQ(other, GetFocus());

    a.Enable(true);
    SetFocus(a.Handle());
    a.Enable(false);  // to the next tab item
    EXPECT_EQ(b.Handle(), GetFocus());

    a.Enable(true);
    a.SetFocusHeir(other);
    SetFocus(a.Handle());
    a.Enable(false);  // to its heir
    EXPECT_EQ(other, GetFocus());
    dialog.DestroyWindow();
}

TEST(CButtonSTTest, TheFocusCueFollowsTheKeyboardCuesAndAnImageOnlyButtonPaintsNoName) {
    OneButton one(IDC_BUTTON_A, 30, 20);
    one.button.SetText(L"X");
    one.button.SetImageOnly(TRUE);
    one.button.SetStateBitmaps(Solid(30, 20, kRed), RGB(0, 0, 0), nullptr, 0);
    one.button.SetImagePlacement(3);
    SetForegroundWindow(one.dialog.Handle());
    SetFocus(one.button.Handle());
    // The dotted frame two pixels inside the edge, counted down its left side.
    auto cue = [&] {
        const ui::Pixels face = one.Painted();
        EXPECT_TRUE(BoxOf(face, kBlue).Empty());  // the name is never painted
        EXPECT_EQ(kRed, face.At(10, 10));         // inside the frame the image is untouched
        int dots = 0;
        for (int y = 2; y < 18; ++y) dots += face.At(2, y) != kRed;
        return dots;
    };
    one.dialog.Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    EXPECT_GT(cue(), 4);
    // Hidden while the system's keyboard cues are (Wine keeps no such state: there they show).
    one.dialog.Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS));
    if (one.button.Send(WM_QUERYUISTATE) & UISF_HIDEFOCUS)
        EXPECT_EQ(0, cue());
    else
        EXPECT_GT(cue(), 4);

    SetFocus(one.dialog.Item(IDC_BUTTON_B));
    EXPECT_EQ(0, cue());
}

TEST(CButtonSTTest, ASystemColourChangeResetsTheColours) {
    OneButton one(IDC_BUTTON_A, 30, 20);
    one.button.SetText(L"");
    EXPECT_EQ(kGreen, one.Painted().At(15, 10));
    one.button.Send(WM_SYSCOLORCHANGE);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), one.Painted().At(15, 10));
}

TEST(CButtonSTTest, SetStyleKeepsOwnerDrawAndTracksTheDefaultFlag) {
    OneButton one(IDC_DEFAULT_BUTTON);
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), one.button.Style() & 0xF);
    EXPECT_TRUE(one.button.Send(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON);

    one.button.Send(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), one.button.Style() & 0xF);
    EXPECT_FALSE(one.button.Send(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON);
    EXPECT_TRUE(one.button.Send(WM_GETDLGCODE) & DLGC_UNDEFPUSHBUTTON);

    one.button.Send(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), one.button.Style() & 0xF);
    EXPECT_TRUE(one.button.Send(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON);
}

TEST(CButtonSTTest, ADoubleClickIsTwoClicks) {
    OneButton one(IDC_BUTTON_A, 30, 20);
    HWND button = one.button.Handle();
    const LPARAM at = MAKELPARAM(5, 5);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(button, WM_LBUTTONUP, 0, at);
    PostMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(button, WM_LBUTTONUP, 0, at);
    ui::PumpWaitingMessages();
    EXPECT_EQ(2, one.dialog.clicksA);
}

TEST(CButtonSTTest, IdleImagesCanBeDerivedDarkerOrGrey) {
    const COLORREF warm = RGB(200, 100, 40), white = RGB(255, 255, 255);
    auto source = [&] {
        return test::MakeBitmap(10, 10, [&](int x, int) { return x < 2 ? white : warm; });
    };
    OneButton one(IDC_BUTTON_A, 10, 10);
    one.button.SetText(L"");
    one.button.SetImagePlacement(3);

    one.button.SetStateBitmaps(source(), white, CButtonST::AutoDarker, 0);
    ui::Pixels idle = one.Painted();
    EXPECT_EQ(RGB(150, 75, 30), idle.At(5, 5));
    EXPECT_EQ(kGreen, idle.At(0, 5));  // key pixels stay see-through in the derived image

    one.button.SetStateBitmaps(source(), white, CButtonST::AutoGrayscale, 0);
    idle = one.Painted();
    EXPECT_EQ(RGB(123, 123, 123), idle.At(5, 5));  // 0.587 G + 0.299 R + 0.114 B, truncated
}

// Colours whose grey level lies a hair below a whole number in extended precision: the 32-bit
// build must give the same levels as the 64-bit one.
TEST(CButtonSTTest, GreyLevelsAreTheSameInEveryBuild) {
    const COLORREF colours[] = {RGB(0, 10, 45), RGB(0, 20, 90), RGB(0, 24, 8)};
    const BYTE levels[] = {11, 22, 15};
    HBITMAP source = test::MakeBitmap(3, 1, [&](int x, int) { return colours[x]; });
    HBITMAP grey = MakeGrayscale(source, 3, 1, RGB(255, 0, 255));
    ASSERT_NE(nullptr, grey);
    for (int x = 0; x < 3; ++x)
        EXPECT_EQ(RGB(levels[x], levels[x], levels[x]), test::PixelOf(grey, x, 0)) << x;
    DeleteObject(grey);
    DeleteObject(source);
}

TEST(CButtonSTTest, FitToImageAndFailedBitmaps) {
    OneButton one(IDC_BUTTON_A, 40, 24);
    one.button.FitToImage();  // no image: nothing changes
    EXPECT_EQ(40, one.button.ClientRect().right);
    EXPECT_EQ(24, one.button.ClientRect().bottom);

    HBITMAP idle = Solid(4, 4, kBlue);
    HRGN notABitmap = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(CButtonST::BitmapUnreadable,
              one.button.SetStateBitmaps(reinterpret_cast<HBITMAP>(notABitmap), 0, idle, 0));
    EXPECT_EQ(0u, GetObjectType(notABitmap));  // both handed over, both gone
    EXPECT_EQ(0u, GetObjectType(idle));
    one.button.FitToImage();
    EXPECT_EQ(40, one.button.ClientRect().right);

    one.button.SetStateBitmaps(Solid(17, 9, kRed), 0, nullptr, 0);
    one.button.FitToImage();
    EXPECT_EQ(17, one.button.ClientRect().right);
    EXPECT_EQ(9, one.button.ClientRect().bottom);
}

TEST(CButtonSTTest, OneBitmapGivenForBothStatesIsKeptAndDeletedOnce) {
    const size_t before = test::GdiObjectCount(), failedBefore = ui::testing::FailedDeletes();
    {
        OneButton one(IDC_BUTTON_A, 30, 20);
        one.button.SetText(L"");
        one.button.SetImagePlacement(3);
        HBITMAP both = Solid(30, 20, kRed);
        ASSERT_EQ(CButtonST::BitmapsSet,
                  one.button.SetStateBitmaps(both, RGB(0, 0, 0), both, RGB(0, 0, 0)));
        EXPECT_EQ(kRed, one.Painted().At(15, 10));  // idle
        one.button.SetState(true);
        EXPECT_EQ(kRed, one.Painted().At(15, 10));  // pressed
        one.button.SetState(false);
        // Replacing the images frees the shared one once; so does the button's end.
        one.button.SetStateBitmaps(Solid(30, 20, kBlue), RGB(0, 0, 0), nullptr, 0);
        EXPECT_EQ(0u, GetObjectType(both));
        HBITMAP again = Solid(30, 20, kRed);
        one.button.SetStateBitmaps(again, RGB(0, 0, 0), again, RGB(0, 0, 0));
    }
    EXPECT_EQ(failedBefore, ui::testing::FailedDeletes());  // nothing deleted twice
    EXPECT_EQ(before, test::GdiObjectCount());
}

TEST(CButtonSTTest, ABackgroundCaptureThatCannotBeMadeLeavesNothingBehind) {
    const size_t before = test::GdiObjectCount();
    {
        OneButton one(IDC_BUTTON_A, 30, 20);
        one.button.SetText(L"");
        one.dialog.SetBackgroundBitmap(Solid(200, 120, kRed));
        one.Painted();
        one.button.UseParentBackground(TRUE);
        // The memory DC for the capture fails once, then its bitmap: each time the button
        // shows its face colour (only the button repaints, so the failure is its own), and
        // the next draw captures the parent after all.
        for (auto call : {ui::testing::GdiCall::CreateCompatibleDC,
                          ui::testing::GdiCall::CreateCompatibleBitmap}) {
            one.button.UseParentBackground(TRUE);
            ui::testing::FailNextCalls(call, 1);
            one.button.Invalidate();
            UpdateWindow(one.button.Handle());
            EXPECT_EQ(0, ui::testing::FailNextCalls(call, 0));  // the button's draw met the failure
            EXPECT_EQ(kGreen, ui::CaptureClient(one.button.Handle()).At(15, 10));
            EXPECT_EQ(kRed, one.Painted().At(15, 10));  // the dialog, then the button over it
        }
    }
    EXPECT_EQ(before, test::GdiObjectCount());
}

TEST(CButtonSTTest, NoGdiObjectOutlivesTheButton) {
    const size_t before = test::GdiObjectCount();
    {
        OneButton one(IDC_BUTTON_A, 30, 20);
        one.dialog.SetBackgroundBitmap(Solid(200, 120, kGreen));
        one.button.SetText(L"Go");
        one.button.SetStateBitmaps(Solid(30, 20, kRed), RGB(0, 0, 0), CButtonST::AutoDarker, 0);
        one.button.UseParentBackground(TRUE);
        one.button.Enable(false);
        one.Painted();
        one.button.Enable(true);
        one.button.SetState(true);
        one.Painted();
        EXPECT_GT(test::GdiObjectCount(), before);  // the count does see what the button holds
    }
    EXPECT_EQ(before, test::GdiObjectCount());
}

}  // namespace
}  // namespace skin
