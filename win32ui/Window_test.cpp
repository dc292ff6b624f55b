// Real windows and messages under Wine: how a message finds its handler.
#include "win32ui/Window.h"

#include <gtest/gtest.h>

#include <vector>

#include "win32ui/Capture.h"
#include "win32ui/Controls.h"
#include "win32ui/Dialog.h"
#include "win32ui/Gdi.h"
#include "win32ui/testing/WindowTestIds.h"

namespace ui {
namespace {

std::vector<std::wstring> calls;

class BaseWindow : public Window {
protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap() {
        static const MessageEntry entries[] = {
            OnMessage<&BaseWindow::OnUser>(WM_USER),
            OnMessage<&BaseWindow::OnUser1>(WM_USER + 1),
        };
        static const MessageMap map{&Window::ClassMap(), entries};
        return map;
    }
    LRESULT OnUser(WPARAM, LPARAM) {
        calls.push_back(L"base user");
        return 1;
    }
    LRESULT OnUser1(WPARAM, LPARAM) {
        calls.push_back(L"base user+1");
        return 11;
    }
};

const UINT kRegistered = RegisterWindowMessageW(L"Overreach.Test.Registered");

class DerivedWindow : public BaseWindow {
protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap() {
        static const MessageEntry entries[] = {
            OnMessage<&DerivedWindow::OnUser>(WM_USER),
            OnMouse<&DerivedWindow::OnMouseMove>(WM_MOUSEMOVE),
            OnRegistered<&DerivedWindow::OnRegisteredMessage>(kRegistered),
            OnCommand<&DerivedWindow::OnClicked>(10),
            OnCommandRange<&DerivedWindow::OnRange>(20, 29),
            OnCommand<&DerivedWindow::OnSelChange>(12, LBN_SELCHANGE),
            OnMessage<&DerivedWindow::OnSetText>(WM_SETTEXT),
        };
        static const MessageMap map{&BaseWindow::ClassMap(), entries};
        return map;
    }

public:
    POINT lastPoint{};
    UINT lastFlags = 0;

private:
    LRESULT OnUser(WPARAM w, LPARAM) {
        calls.push_back(L"derived user " + std::to_wstring(w));
        return 2;
    }
    void OnMouseMove(UINT flags, POINT point) {
        lastFlags = flags;
        lastPoint = point;
    }
    LRESULT OnRegisteredMessage(WPARAM, LPARAM) {
        calls.push_back(L"registered");
        return 7;
    }
    void OnClicked() { calls.push_back(L"clicked 10"); }
    void OnRange(UINT id) { calls.push_back(L"range " + std::to_wstring(id)); }
    void OnSelChange() { calls.push_back(L"selchange 12"); }
    LRESULT OnSetText(WPARAM w, LPARAM l) {
        calls.push_back(L"settext");
        return DefaultWith(WM_SETTEXT, w, l);  // the default stores the text
    }
};

RECT Box(int x, int y, int w, int h) {
    return {x, y, x + w, y + h};
}

TEST(MessageMapTest, EntriesOfTheClassComeFirstThenItsBasesThenDefault) {
    calls.clear();
    DerivedWindow window;
    ASSERT_TRUE(window.Create(0, L"map", WS_OVERLAPPEDWINDOW, Box(10, 10, 200, 100), nullptr));
    EXPECT_EQ(Window::FromHandle(window.Handle()), &window);

    EXPECT_EQ(2, window.Send(WM_USER, 5));    // the derived entry hides the base one
    EXPECT_EQ(11, window.Send(WM_USER + 1));  // reached through the base table
    EXPECT_EQ(7, window.Send(kRegistered));
    window.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-3, 40));
    EXPECT_EQ(-3, window.lastPoint.x);  // unpacked as signed client coordinates
    EXPECT_EQ(40, window.lastPoint.y);
    EXPECT_EQ(static_cast<UINT>(MK_LBUTTON), window.lastFlags);

    window.Send(WM_COMMAND, MAKEWPARAM(10, BN_CLICKED));
    window.Send(WM_COMMAND, MAKEWPARAM(10, BN_DBLCLK));  // other code: no entry
    window.Send(WM_COMMAND, MAKEWPARAM(23, BN_CLICKED));
    window.Send(WM_COMMAND, MAKEWPARAM(30, BN_CLICKED));  // outside the range
    window.Send(WM_COMMAND, MAKEWPARAM(12, LBN_SELCHANGE));
    window.SetText(L"new title");
    EXPECT_EQ(L"new title", window.Text());

    const std::vector<std::wstring> expected{L"derived user 5", L"base user+1", L"registered",
                                             L"clicked 10",     L"range 23",    L"selchange 12",
                                             L"settext"};
    EXPECT_EQ(expected, calls);

    // Unknown messages get the default window procedure: WM_GETTEXTLENGTH answers.
    EXPECT_EQ(9, window.Send(WM_GETTEXTLENGTH));
}

TEST(MessageMapTest, TheObjectLetsGoOfItsWindowWhenEitherEnds) {
    HWND handle;
    {
        DerivedWindow window;
        ASSERT_TRUE(window.Create(0, L"gone", WS_OVERLAPPEDWINDOW, Box(10, 10, 100, 50), nullptr));
        handle = window.Handle();
    }
    EXPECT_FALSE(IsWindow(handle));  // a window this layer created goes with its object

    DerivedWindow window;
    ASSERT_TRUE(window.Create(0, L"gone", WS_OVERLAPPEDWINDOW, Box(10, 10, 100, 50), nullptr));
    handle = window.Handle();
    DestroyWindow(handle);
    EXPECT_EQ(nullptr, window.Handle());
    EXPECT_EQ(nullptr, Window::FromHandle(handle));
}

// A control that settles some notifications itself.
class ReflectingButton : public Button {
public:
    bool settleClicks = false;
    int clicks = 0;
    int draws = 0;
    std::vector<std::wstring> hookSaw;

    void OnSubclass() override {
        // The window is known, its own window procedure still in place.
        hookSaw.push_back(Handle() ? L"window" : L"no window");
        hookSaw.push_back(FromHandle(Handle()) == this ? L"bound" : L"unbound");
    }

protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap() {
        static const MessageEntry entries[] = {
            OnReflectedCommand<&ReflectingButton::OnClicked>(BN_CLICKED),
            OnReflectedCtlColor<&ReflectingButton::OnCtlColor>(),
        };
        static const MessageMap map{&Button::ClassMap(), entries};
        return map;
    }
    void DrawItem(const DRAWITEMSTRUCT& item) override {
        ++draws;
        FillSolidRect(item.hDC, item.rcItem, RGB(0, 128, 255));
    }

private:
    bool OnClicked() {
        ++clicks;
        return settleClicks;
    }
    HBRUSH OnCtlColor(HDC, UINT message) {
        return message == WM_CTLCOLORBTN ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))
                                         : nullptr;
    }
};

class TestDialog : public Dialog {
public:
    TestDialog() : Dialog(IDD_WINDOW_TEST, nullptr) {}
    ReflectingButton button;
    ListBox list;
    Static label;
    int parentClicks = 0;
    int initCalls = 0;
    bool cancelOnInit = false;

protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap() {
        static const MessageEntry entries[] = {OnCommand<&TestDialog::OnButton>(IDC_PRESS)};
        static const MessageMap map{&Dialog::ClassMap(), entries};
        return map;
    }
    void DoDataExchange() override {
        Bind(button, IDC_PRESS);
        Bind(list, IDC_LIST);
        Bind(label, IDC_LABEL);
    }
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        ++initCalls;
        button.ModifyStyle(0xF, BS_OWNERDRAW);
        if (cancelOnInit) PostMessageW(Handle(), WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }

private:
    void OnButton() { ++parentClicks; }
};

TEST(DialogTest, ControlsAreBoundByIdAndNotificationsReflected) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.CreateModeless());
    EXPECT_EQ(1, dialog.initCalls);
    EXPECT_EQ((std::vector<std::wstring>{L"window", L"bound"}), dialog.button.hookSaw);
    EXPECT_EQ(GetDlgItem(dialog.Handle(), IDC_LIST), dialog.list.Handle());
    EXPECT_EQ(L"label", dialog.label.Text());

    // A click the button does not settle reaches the dialog as well.
    dialog.button.Send(BM_CLICK);
    EXPECT_EQ(1, dialog.button.clicks);
    EXPECT_EQ(1, dialog.parentClicks);
    dialog.button.settleClicks = true;
    dialog.button.Send(BM_CLICK);
    EXPECT_EQ(2, dialog.button.clicks);
    EXPECT_EQ(1, dialog.parentClicks);

    // Owner draw and control colour come back to the button.
    UpdateWindow(dialog.Handle());
    dialog.button.Invalidate();
    UpdateWindow(dialog.button.Handle());
    EXPECT_GT(dialog.button.draws, 0);
    const Pixels face = CaptureClient(dialog.button.Handle());
    ASSERT_GT(face.width, 0);
    EXPECT_EQ(RGB(0, 128, 255), face.At(face.width / 2, face.height / 2));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)),
              dialog.Send(WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(dialog.button.Handle())));

    dialog.list.AddString(L"first");
    dialog.list.AddString(L"second");
    dialog.list.SetCurSel(1);
    EXPECT_EQ(2, dialog.list.GetCount());
    EXPECT_EQ(1, dialog.list.GetCurSel());
    EXPECT_EQ(L"second", dialog.list.GetText(1));
    EXPECT_EQ(L"", dialog.list.GetText(5));

    HWND button = dialog.button.Handle();
    dialog.DestroyWindow();
    EXPECT_EQ(nullptr, dialog.button.Handle());
    EXPECT_FALSE(IsWindow(button));
}

TEST(DialogTest, AModalDialogEndsWithCancelAndReturnsIt) {
    TestDialog dialog;
    dialog.cancelOnInit = true;
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(nullptr, dialog.Handle());
}

// The modal loop offers queued messages to the hooks of the target and its parents.
class RewritingButton : public Button {
public:
    int downs = 0;
    bool PreTranslateMessage(MSG& message) override {
        if (message.message == WM_LBUTTONDBLCLK) message.message = WM_LBUTTONDOWN;
        return false;
    }
};

TEST(DialogTest, PreTranslationSeesQueuedMessagesBeforeDispatch) {
    class Counting : public Dialog {
    public:
        Counting() : Dialog(IDD_WINDOW_TEST, nullptr) {}
        RewritingButton button;
        int downsSeen = 0;
        void DoDataExchange() override { Bind(button, IDC_PRESS); }
        bool PreTranslateMessage(MSG& message) override {
            if (message.message == WM_LBUTTONDOWN && message.hwnd == button.Handle()) ++downsSeen;
            if (message.message == WM_APP) {
                EndDialog(42);
                return true;
            }
            return false;
        }
        BOOL OnInitDialog() override {
            Dialog::OnInitDialog();
            PostMessageW(button.Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(2, 2));
            PostMessageW(button.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            PostMessageW(button.Handle(), WM_APP, 0, 0);
            return TRUE;
        }
    } dialog;
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(1, dialog.downsSeen);  // the parent saw the rewritten message
}

TEST(CaptureTest, PaintedPixelsAreReadBackAndSavedAsPng) {
    class Painted : public Window {
    protected:
        const MessageMap& GetMessageMap() const override { return ClassMap(); }
        static const MessageMap& ClassMap() {
            static const MessageEntry entries[] = {OnMessage<&Painted::OnPaint>(WM_PAINT)};
            static const MessageMap map{&Window::ClassMap(), entries};
            return map;
        }
        LRESULT OnPaint(WPARAM, LPARAM) {
            PaintDc dc(Handle());
            FillSolidRect(dc.Get(), {0, 0, 20, 10}, RGB(200, 10, 30));
            FillSolidRect(dc.Get(), {20, 0, 40, 10}, RGB(5, 250, 60));
            return 0;
        }
    } window;
    ASSERT_TRUE(window.Create(0, L"", WS_POPUP | WS_VISIBLE, Box(30, 30, 40, 10), nullptr));
    UpdateWindow(window.Handle());
    const Pixels pixels = CaptureClient(window.Handle());
    ASSERT_EQ(40, pixels.width);
    ASSERT_EQ(10, pixels.height);
    EXPECT_EQ(RGB(200, 10, 30), pixels.At(0, 0));
    EXPECT_EQ(RGB(5, 250, 60), pixels.At(39, 9));

    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"capture_test.png";
    ASSERT_TRUE(SavePng(pixels, path));
    FILE* file = _wfopen(path.c_str(), L"rb");
    ASSERT_NE(nullptr, file);
    unsigned char head[24] = {};
    EXPECT_EQ(24u, fread(head, 1, 24, file));
    fclose(file);
    DeleteFileW(path.c_str());
    EXPECT_EQ(0, memcmp(head, "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(40, head[19]);  // width, big-endian
    EXPECT_EQ(10, head[23]);
}

}  // namespace
}  // namespace ui
