// The label under Wine: painting read back as pixels, clicks, blinking.
#include "skin/CLabel.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/testing/WindowsTesting.h"
#include "skin/testing/SkinTestKit.h"

namespace skin {
namespace {

using test::TestDialog;

const COLORREF kBlue = RGB(20, 40, 220), kRed = RGB(220, 20, 20), kWhite = RGB(255, 255, 255);

struct Opened {
    std::wstring verb;  // "(default)" for the shell's default verb
    std::wstring file;
};
std::vector<Opened> opened;

HINSTANCE WINAPI RecordOpen(HWND, const wchar_t* verb, const wchar_t* file, const wchar_t*,
                            const wchar_t*, int) {
    opened.push_back({verb ? verb : L"(default)", file ? file : L""});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));
}

using test::Box;
using test::BoxOf;

// One label on the test dialog, at (10, 10) with the given size.
struct OneLabel {
    platform::testing::ScopedCalls calls;
    TestDialog dialog;
    CLabel label;
    ui::Font font{test::CrispFont()};

    OneLabel(int id, int width, int height, const wchar_t* text, int dialogWidth = 300) {
        dialog.bind = [this, id, text](TestDialog& d) {
            SetWindowTextW(d.Item(id), text);
            SendMessageW(d.Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
            EXPECT_TRUE(d.Bind(label, id));
        };
        EXPECT_TRUE(dialog.CreateModeless());
        dialog.SetClientSize(dialogWidth, 120);
        for (int other : {IDC_BUTTON_A, IDC_BUTTON_B, IDC_CHECK_BOX, IDC_DEFAULT_BUTTON,
                          IDC_LEFT_TEXT, IDC_RIGHT_TEXT, IDC_CENTRED_TEXT})
            if (other != id) ShowWindow(dialog.Item(other), SW_HIDE);
        dialog.Place(id, 10, 10, width, height);
        platform::Calls().shellExecute = RecordOpen;
        opened.clear();
    }
    ~OneLabel() { dialog.DestroyWindow(); }
    ui::Pixels Painted() {
        ui::RepaintNow(dialog.Handle());
        return ui::CaptureClient(label.Handle());
    }
};

// Runs of equal colour along one row, as (colour, width).
std::vector<std::pair<COLORREF, int>> Runs(const ui::Pixels& pixels, int y) {
    std::vector<std::pair<COLORREF, int>> runs;
    for (int x = 0; x < pixels.width; ++x) {
        if (runs.empty() || runs.back().first != pixels.At(x, y))
            runs.push_back({pixels.At(x, y), 0});
        ++runs.back().second;
    }
    return runs;
}

TEST(CLabelTest, AGradientHasABandPerPixelUpToAHundredBands) {
    {
        OneLabel narrow(IDC_LEFT_TEXT, 50, 20, L"");
        narrow.label.SetBackground(RGB(0, 0, 0), RGB(250, 0, 0), TRUE);
        const ui::Pixels pixels = narrow.Painted();
        for (int y : {0, 19}) {  // down to the last row
            const auto runs = Runs(pixels, y);
            ASSERT_EQ(50u, runs.size()) << "row " << y;
            EXPECT_EQ(RGB(0, 0, 0), runs.front().first);
            EXPECT_EQ(RGB(245, 0, 0), runs.back().first);
        }
    }
    OneLabel wide(IDC_LEFT_TEXT, 1000, 20, L"", 1100);
    wide.label.SetBackground(RGB(0, 0, 0), RGB(200, 0, 0), TRUE);
    const ui::Pixels pixels = wide.Painted();
    ASSERT_EQ(1000, pixels.width);
    const auto runs = Runs(pixels, 10);
    ASSERT_EQ(100u, runs.size());
    for (const auto& run : runs) EXPECT_EQ(10, run.second);
    EXPECT_EQ(RGB(198, 0, 0), pixels.At(999, 10));  // the last band reaches the edge
}

TEST(CLabelTest, TheShadowPassLiesOnePixelOffOnTopOfTheText) {
    OneLabel one(IDC_LEFT_TEXT, 120, 30, L"Shadow");
    one.label.SetBackground(kWhite).SetForeground(kBlue).SetShadowColor(kRed);
    one.label.ShowTextShadow(TRUE, TRUE);
    ui::Pixels pixels = one.Painted();
    Box text = BoxOf(pixels, kBlue), shadow = BoxOf(pixels, kRed);
    ASSERT_FALSE(text.Empty());
    EXPECT_EQ(text.left + 1, shadow.left);
    EXPECT_EQ(text.top + 1, shadow.top);

    one.label.ShowTextShadow(TRUE, FALSE);
    pixels = one.Painted();
    text = BoxOf(pixels, kBlue);
    shadow = BoxOf(pixels, kRed);
    EXPECT_EQ(text.right - 1, shadow.right);
    EXPECT_EQ(text.bottom - 1, shadow.bottom);
}

TEST(CLabelTest, PaintingOverTheParentLeavesTheParentsPixelsUnderTheText) {
    OneLabel one(IDC_LEFT_TEXT, 120, 30, L"Over");
    auto skinAt = [](int x, int y) { return RGB(x, y, 77); };
    one.dialog.SetBackgroundBitmap(test::MakeBitmap(300, 120, skinAt));
    one.label.SetForeground(kBlue).PaintOverParent(TRUE);
    EXPECT_TRUE(one.label.ExStyle() & WS_EX_TRANSPARENT);

    // The redraw is done when the call returns: no message pumping here.
    one.label.ChangeText(L"Over it");
    const ui::Pixels pixels = ui::CaptureClient(one.label.Handle());
    int text = 0;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
            if (pixels.At(x, y) == kBlue)
                ++text;
            else
                ASSERT_EQ(skinAt(x + 10, y + 10), pixels.At(x, y)) << x << "," << y;
        }
    EXPECT_GT(text, 20);

    one.label.PaintOverParent(FALSE);  // opaque again, but the style stays
    EXPECT_TRUE(one.label.ExStyle() & WS_EX_TRANSPARENT);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), one.Painted().At(1, 1));
}

TEST(CLabelTest, ClicksNotifyTheParentOrOpenTheLink) {
    OneLabel one(IDC_LEFT_TEXT, 120, 20, L"someone@example.com");
    std::vector<NMHDR> notes;
    one.dialog.onLabelClicked = [&](const NMHDR& note) {
        notes.push_back(note);
        return 0;
    };
    one.label.MakeWebLink(TRUE, TRUE);
    EXPECT_TRUE(one.label.Style() & SS_NOTIFY);  // so that the static receives clicks
    one.label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(1u, notes.size());
    EXPECT_EQ(kLabelClicked, notes[0].code);
    EXPECT_EQ(static_cast<UINT_PTR>(IDC_LEFT_TEXT), notes[0].idFrom);
    EXPECT_EQ(one.label.Handle(), notes[0].hwndFrom);
    EXPECT_TRUE(opened.empty());

    one.label.MakeWebLink(TRUE, FALSE);
    one.label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    one.label.SetLinkTarget(L"https://example.com/help");
    one.label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    one.label.MakeMailLink(TRUE, FALSE);
    one.label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));  // the target is not for mail
    ASSERT_EQ(3u, opened.size());
    EXPECT_EQ(L"open", opened[0].verb);
    EXPECT_EQ(L"someone@example.com", opened[0].file);  // an empty target opens the text
    EXPECT_EQ(L"https://example.com/help", opened[1].file);
    EXPECT_EQ(L"(default)", opened[2].verb);
    EXPECT_EQ(L"mailto:someone@example.com", opened[2].file);

    one.label.MakeMailLink(FALSE, FALSE);
    EXPECT_FALSE(one.label.Style() & SS_NOTIFY);
    one.label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(3u, opened.size());
    EXPECT_EQ(1u, notes.size());
}

TEST(CLabelTest, BlinkingWithoutOwnBackgroundAlternatesBlackAndTheTextColour) {
    OneLabel one(IDC_LEFT_TEXT, 120, 20, L"Blink");
    one.label.SetForeground(kRed).BlinkText(TRUE);
    ui::Pixels pixels = one.Painted();
    EXPECT_TRUE(BoxOf(pixels, kRed).Empty());
    EXPECT_FALSE(BoxOf(pixels, RGB(0, 0, 0)).Empty());
    one.label.Send(WM_TIMER, 1);
    pixels = one.Painted();
    EXPECT_FALSE(BoxOf(pixels, kRed).Empty());
    EXPECT_TRUE(BoxOf(pixels, RGB(0, 0, 0)).Empty());
    one.label.BlinkText(FALSE);
    one.label.Send(WM_TIMER, 1);  // phase back to hidden, but no blinking any more
    EXPECT_FALSE(BoxOf(one.Painted(), kRed).Empty());
}

TEST(CLabelTest, AlignmentFollowsTheStaticStyle) {
    {
        // Centred both ways on one line; with a line break only horizontally.
        OneLabel one(IDC_CENTRED_TEXT, 120, 60, L"Mid");
        one.label.SetForeground(kBlue);
        Box text = BoxOf(one.Painted(), kBlue);
        EXPECT_NEAR(30, (text.top + text.bottom) / 2, 3);
        EXPECT_NEAR(60, (text.left + text.right) / 2, 3);
        one.label.ChangeText(L"Mid\r\nline");
        text = BoxOf(one.Painted(), kBlue);
        EXPECT_LT(text.top, 6);
        EXPECT_NEAR(60, (text.left + text.right) / 2, 6);
    }
    {
        // Right-aligned text wraps at word breaks and ends at the right edge.
        OneLabel one(IDC_RIGHT_TEXT, 60, 60, L"wrap these words");
        one.label.SetForeground(kBlue);
        const Box text = BoxOf(one.Painted(), kBlue);
        EXPECT_GT(text.bottom - text.top, 20);  // more than one line
        EXPECT_GT(text.right, 54);
    }
    {
        OneLabel one(IDC_LEFT_TEXT, 60, 60, L"wrap these words");
        one.label.SetForeground(kBlue);
        one.label.ModifyStyle(SS_TYPEMASK, SS_LEFTNOWORDWRAP);
        const Box text = BoxOf(one.Painted(), kBlue);
        EXPECT_LT(text.bottom - text.top, 20);  // one line, cut at the edge
    }
}

TEST(CLabelTest, RotatedTextRunsFromTheCentreInTheFontsDirection) {
    OneLabel one(IDC_LEFT_TEXT, 100, 100, L"Upwards");
    one.label.SetForeground(kBlue).SetBackground(kWhite);
    one.label.RotateText(90, TRUE);
    const Box text = BoxOf(one.Painted(), kBlue);
    ASSERT_FALSE(text.Empty());
    EXPECT_GT(text.bottom - text.top, 2 * (text.right - text.left));
    EXPECT_NEAR(50, text.bottom, 3);  // the baseline starts at the centre and goes up
}

TEST(CLabelTest, NoGdiObjectOutlivesTheLabel) {
    const size_t before = test::GdiObjectCount();
    {
        OneLabel one(IDC_LEFT_TEXT, 100, 30, L"Counted");
        one.label.SetBackground(kWhite).MakeBold(TRUE).ChangePointSize(12).MakeItalic(TRUE);
        one.label.SetBackground(kRed, kBlue, TRUE);
        one.label.Send(WM_SYSCOLORCHANGE);
        one.Painted();
        one.label.SetBackground(kBlue);
        one.label.PaintOverParent(TRUE);
        one.Painted();
    }
    EXPECT_EQ(before, test::GdiObjectCount());
}

}  // namespace
}  // namespace skin
