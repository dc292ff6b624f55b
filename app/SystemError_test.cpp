// The error box: the system's text for the code, or the code itself when the system has no
// words for it, always in the same exclamation box captioned with the program's name.
#include "app/SystemError.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/testing/ToolTestKit.h"

namespace app {
namespace {

using testing::RecordBoxes;
using testing::RecordedBoxes;
using testing::ScopedCalls;

constexpr UINT kExclamationBox = MB_OK | MB_ICONEXCLAMATION;

TEST(SystemErrorTest, ShowsTheSystemsTextOrTheCodeInOneExclamationBox) {
    ScopedCalls calls;
    RecordBoxes();
    HWND owner = GetDesktopWindow();
    ShowSystemError(0x80070005, owner);
    ShowSystemError(0x8007FFFF);  // no system text for this one
    ASSERT_EQ(2u, RecordedBoxes().size());

    const testing::ShownBox& known = RecordedBoxes()[0];
    EXPECT_EQ(owner, known.owner);
    EXPECT_EQ(L"Overreach", known.caption);
    EXPECT_EQ(kExclamationBox, known.type);
    EXPECT_EQ(SystemErrorText(0x80070005), known.text);
    EXPECT_EQ(std::wstring::npos, known.text.find(L"0x")) << known.text;
    EXPECT_FALSE(known.text.empty());

    const testing::ShownBox& unknown = RecordedBoxes()[1];
    EXPECT_EQ(nullptr, unknown.owner);
    EXPECT_EQ(L"Overreach", unknown.caption);
    EXPECT_EQ(kExclamationBox, unknown.type);
    EXPECT_EQ(L"Error 0x8007FFFF", unknown.text);
}

TEST(SystemErrorTest, AMessageWithPlaceholdersIsShownAsTheSystemWroteIt) {
    // "Bad EXE format for %1.": a start can fail with it, and formatting it against arguments
    // nobody passed fails (or worse) instead of giving the text.
    const std::wstring text = SystemErrorText(HResultFromWin32(ERROR_BAD_EXE_FORMAT));
    EXPECT_NE(std::wstring::npos, text.find(L"%1")) << text;
    EXPECT_NE(L"Error 0x800700C1", text);
}

// The real box, found and read from another thread while it blocks this one.
TEST(SystemErrorTest, TheRealBoxCarriesTheTextAndTheExclamationIcon) {
    struct Seen {
        std::wstring text;
        bool exclamation = false;
        int boxes = 0;
    } seen;
    std::thread watcher([&seen] {
        const DWORD end = GetTickCount() + 20000;
        while (static_cast<LONG>(GetTickCount() - end) < 0) {
            HWND box = FindWindowW(L"#32770", L"Overreach");
            DWORD process = 0;
            if (box) GetWindowThreadProcessId(box, &process);
            if (box && process == GetCurrentProcessId() && IsWindowVisible(box)) {
                ++seen.boxes;
                wchar_t text[512] = L"";
                GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message text's static
                seen.text = text;
                // The icon's static has no fixed id across systems: look for it by style.
                const HICON exclamation = LoadIconW(nullptr, IDI_EXCLAMATION);
                for (HWND child = GetWindow(box, GW_CHILD); child;
                     child = GetWindow(child, GW_HWNDNEXT))
                    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                        seen.exclamation =
                            seen.exclamation || reinterpret_cast<HICON>(SendMessageW(
                                                    child, STM_GETICON, 0, 0)) == exclamation;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    ShowSystemError(0x8007FFFF);
    watcher.join();
    EXPECT_EQ(1, seen.boxes);
    EXPECT_EQ(L"Error 0x8007FFFF", seen.text);
    EXPECT_TRUE(seen.exclamation);
}

}  // namespace
}  // namespace app
