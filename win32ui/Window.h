// The window base: a C++ object bound to an HWND, either a window this layer creates or a
// control it subclasses. How a message reaches its handler:
//
//   window procedure ──► Window::Dispatch
//       1. a notification from a bound child (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
//          WM_CTLCOLOR*) is first offered to that child's table as a reflected entry;
//          if the child settles it, that is the result
//       2. the first matching entry of this class's table, then of its bases' tables
//       3. no entry: Default(), the window's own processing (the original window
//          procedure of a subclassed control, the dialog manager for a dialog)
//
// A handler that wants the default behaviour as well calls Default() itself, before or after
// its own work.
#pragma once

#include <windows.h>

#include <string>

#include "MessageMap.h"

namespace ui {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }
    static Window* FromHandle(HWND window);

    // Creates a window of this layer's own class, bound to this object from its first
    // message on.
    bool Create(DWORD exStyle, const wchar_t* title, DWORD style, const RECT& rect, HWND parent,
                UINT id = 0);
    // Binds an existing window (a dialog's control): the subclass hook runs, then the
    // window procedure is replaced; unhandled messages go to the original one.
    bool Subclass(HWND window);
    // Undoes Subclass and forgets the window without destroying it.
    void Detach();
    void DestroyWindow();

    // The hook of an object that adopts a control: the window is known, the window
    // procedure not yet replaced.
    virtual void OnSubclass() {}
    // Runs for every queued message bound for this window or one of its children, before
    // the message is dispatched. True means the message is consumed.
    virtual bool PreTranslateMessage(MSG& message);

    // One-line forwards to the system, so that handlers read like what they do.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(hwnd_, message, wParam, lParam);
    }
    std::wstring Text() const;
    void SetText(const std::wstring& text) const { SetWindowTextW(hwnd_, text.c_str()); }
    void Enable(bool enable) const { EnableWindow(hwnd_, enable); }
    bool IsEnabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    void Show(int command) const { ShowWindow(hwnd_, command); }
    bool IsVisible() const { return IsWindowVisible(hwnd_) != FALSE; }
    bool Exists() const { return hwnd_ && IsWindow(hwnd_); }
    void Invalidate(bool erase = true) const { InvalidateRect(hwnd_, nullptr, erase); }
    RECT ClientRect() const;
    RECT WindowRect() const;  // screen coordinates
    // The window rectangle in the client coordinates of the parent.
    RECT RectInParent() const;
    HWND Parent() const { return GetParent(hwnd_); }
    int ControlId() const { return GetDlgCtrlID(hwnd_); }
    DWORD Style() const { return static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)); }
    DWORD ExStyle() const { return static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)); }
    // Removes, then adds style bits; with extra SetWindowPos flags the frame is redone.
    void ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const {
        ChangeStyleBits(GWL_STYLE, remove, add, swpFlags);
    }
    void ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0) const {
        ChangeStyleBits(GWL_EXSTYLE, remove, add, swpFlags);
    }
    HFONT Font() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }

protected:
    virtual const MessageMap& GetMessageMap() const { return ClassMap(); }
    static const MessageMap& ClassMap();

    // The window's own processing of the message being handled, or of a changed one.
    LRESULT Default();
    LRESULT DefaultWith(UINT message, WPARAM wParam, LPARAM lParam);

    // Binds the object to a dialog after the dialog manager created it.
    void BindDialog(HWND dialog);

private:
    void ChangeStyleBits(int index, DWORD remove, DWORD add, UINT swpFlags) const;
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool OfferReflected(const Message& message, LRESULT* result);
    static LRESULT CALLBACK BoundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CreatedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;  // where Default() sends a message
    bool owned_ = false;          // created here, so destroyed with the object
    const Message* current_ = nullptr;
};

// Offers a queued message to the pre-translation hooks of its window and that window's
// parents; true when one of them consumed it.
bool PreTranslate(MSG& message);

// Handles one queued message as a modal loop does: pre-translation, the dialog's keyboard
// navigation (when a dialog is given), then translation and dispatch.
void ProcessQueuedMessage(MSG& message, HWND dialog);

// Handles every message that is waiting now, for programs that drive windows themselves.
void PumpWaitingMessages();

// Handles messages as they arrive for the given time, so that the system's own (mouse
// moves, leave notifications, timers) reach their windows.
void PumpMessagesFor(DWORD milliseconds);

// Repaints a window and all its children, background included, before returning.
void RepaintNow(HWND window);

}  // namespace ui
