// The skinned dialog under Wine: backgrounds read back as pixels, drag-move and colour key.
#include "skin/CDialogSK.h"

#include <gtest/gtest.h>

#include "skin/testing/SkinTestKit.h"

namespace skin {
namespace {

using test::TestDialog;

// Every pixel of the pattern has a colour of its own, so a read-back pixel tells where in the
// bitmap it came from.
COLORREF Pattern(int x, int y) {
    return RGB(x * 3, y * 4, 200 - x);
}

struct Shown {
    TestDialog dialog;
    explicit Shown(int width = 50, int height = 30) {
        EXPECT_TRUE(dialog.CreateModeless());
        dialog.SetClientSize(width, height);
        for (int id : {IDC_BUTTON_A, IDC_BUTTON_B, IDC_CHECK_BOX, IDC_DEFAULT_BUTTON, IDC_LEFT_TEXT,
                       IDC_RIGHT_TEXT, IDC_CENTRED_TEXT})
            ShowWindow(dialog.Item(id), SW_HIDE);
    }
    ~Shown() { dialog.DestroyWindow(); }
    ui::Pixels Paint(int layout) {
        dialog.SetBackgroundLayout(layout);
        ui::RepaintNow(dialog.Handle());
        return ui::CaptureClient(dialog.Handle());
    }
};

TEST(CDialogSKTest, EachLayoutPlacesTheBitmapAsItSays) {
    Shown shown(50, 30);
    ASSERT_TRUE(shown.dialog.SetBackgroundBitmap(test::MakeBitmap(20, 10, Pattern)));

    const ui::Pixels topLeft = shown.Paint(TopLeft);
    ASSERT_EQ(50, topLeft.width);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(Pattern(x, y), topLeft.At(x, y)) << x << "," << y;

    const ui::Pixels tiled = shown.Paint(Tile);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(Pattern(x % 20, y % 10), tiled.At(x, y)) << x << "," << y;

    // Layout 4 paints like 0; layout 5 leaves the dialog's own erase.
    const ui::Pixels four = shown.Paint(4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(topLeft.At(x, y), four.At(x, y));
    const ui::Pixels five = shown.Paint(5);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int y = 0; y < 30; y += 3)
        for (int x = 0; x < 50; x += 3) ASSERT_EQ(face, five.At(x, y)) << x << "," << y;
}

TEST(CDialogSKTest, CentreShowsTheMiddleOfALargerBitmapAndStretchFollowsTheSize) {
    Shown shown(50, 30);
    ASSERT_TRUE(shown.dialog.SetBackgroundBitmap(test::MakeBitmap(80, 60, Pattern)));
    const ui::Pixels centred = shown.Paint(Centre);
    // Offsets ((50 - 80) / 2, (30 - 60) / 2) = (-15, -15); the whole client area is covered.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(Pattern(x + 15, y + 15), centred.At(x, y)) << x << "," << y;

    ASSERT_TRUE(shown.dialog.SetBackgroundBitmap(test::MakeBitmap(20, 10, Pattern)));
    shown.dialog.SetBackgroundLayout(Stretch);
    // A resize repaints the whole client area at the new size.
    shown.dialog.SetClientSize(40, 20);
    UpdateWindow(shown.dialog.Handle());
    const ui::Pixels stretched = ui::CaptureClient(shown.dialog.Handle());
    ASSERT_EQ(40, stretched.width);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            ASSERT_EQ(Pattern(x, y), stretched.At(2 * x, 2 * y)) << x << "," << y;
            ASSERT_EQ(Pattern(x, y), stretched.At(2 * x + 1, 2 * y + 1)) << x << "," << y;
        }
}

TEST(CDialogSKTest, TheBackgroundCanBeRemovedAndABadHandleIsDeleted) {
    Shown shown(30, 20);
    ASSERT_TRUE(shown.dialog.SetBackgroundBitmap(test::MakeBitmap(30, 20, Pattern)));
    EXPECT_EQ(Pattern(5, 5), shown.Paint(TopLeft).At(5, 5));

    EXPECT_TRUE(shown.dialog.SetBackgroundBitmap(nullptr));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), shown.Paint(TopLeft).At(5, 5));

    // A region is a GDI object whose header cannot be read as a bitmap's.
    HRGN notABitmap = CreateRectRgn(0, 0, 4, 4);
    EXPECT_FALSE(shown.dialog.SetBackgroundBitmap(reinterpret_cast<HBITMAP>(notABitmap)));
    EXPECT_EQ(0u, GetObjectType(notABitmap));  // deleted
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), shown.Paint(TopLeft).At(5, 5));
}

TEST(CDialogSKTest, ABitmapSetBeforeTheWindowExistsIsKeptAndReleasedWithTheDialog) {
    const size_t before = test::GdiObjectCount();
    HBITMAP bitmap = test::MakeBitmap(30, 20, Pattern);
    {
        TestDialog dialog;
        EXPECT_TRUE(dialog.SetBackgroundBitmap(bitmap));
        ASSERT_TRUE(dialog.CreateModeless());
        dialog.SetClientSize(30, 20);
        ui::RepaintNow(dialog.Handle());
        EXPECT_EQ(Pattern(3, 3),
                  ui::CaptureClient(dialog.Handle()).At(3, 3));  // beside the controls
        dialog.DestroyWindow();
    }
    EXPECT_EQ(0u, GetObjectType(bitmap));
    EXPECT_EQ(before, test::GdiObjectCount());
}

TEST(CDialogSKTest, APressOnTheClientAreaStartsACaptionDragUnlessDisabled) {
    Shown shown;
    MSG posted;
    while (PeekMessageW(&posted, shown.dialog.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN,
                        PM_REMOVE)) {
    }

    shown.dialog.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
    ASSERT_TRUE(PeekMessageW(&posted, shown.dialog.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN,
                             PM_REMOVE));
    EXPECT_EQ(static_cast<WPARAM>(HTCAPTION), posted.wParam);
    EXPECT_EQ(MAKELPARAM(7, 9), posted.lParam);  // client coordinates, as received

    shown.dialog.EnableDragMove(FALSE);
    shown.dialog.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
    EXPECT_FALSE(PeekMessageW(&posted, shown.dialog.Handle(), WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN,
                              PM_REMOVE));
}

TEST(CDialogSKTest, TheColourKeyMakesTheWindowLayered) {
    Shown shown;
    EXPECT_FALSE(shown.dialog.ExStyle() & WS_EX_LAYERED);
    shown.dialog.SetColorKey(RGB(255, 0, 255));
    EXPECT_TRUE(shown.dialog.ExStyle() & WS_EX_LAYERED);

    using Query = BOOL(WINAPI*)(HWND, COLORREF*, BYTE*, DWORD*);
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetLayeredWindowAttributes")));
    ASSERT_NE(nullptr, query);
    COLORREF key = 0;
    BYTE alpha = 1;
    DWORD flags = 0;
    ASSERT_TRUE(query(shown.dialog.Handle(), &key, &alpha, &flags));
    EXPECT_EQ(RGB(255, 0, 255), key);
    EXPECT_EQ(static_cast<DWORD>(LWA_COLORKEY), flags & LWA_COLORKEY);
}

}  // namespace
}  // namespace skin
