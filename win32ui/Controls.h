// Typed wrappers for the standard controls a dialog binds.
#pragma once

#include <windows.h>
// windows.h first: the common controls header needs its types.
#include <commctrl.h>

#include <string>

#include "Window.h"

namespace ui {

class Button : public Window {
public:
    int GetCheck() const { return static_cast<int>(Send(BM_GETCHECK)); }
    void SetCheck(int state) const { Send(BM_SETCHECK, static_cast<WPARAM>(state)); }
    void SetState(bool pressed) const { Send(BM_SETSTATE, pressed); }

protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap() {
        static const MessageEntry entries[] = {OnReflectedDrawItem<&Button::DrawItem>()};
        static const MessageMap map{&Window::ClassMap(), entries};
        return map;
    }
    // The owner-draw request that the parent passes back to an owner-drawn button.
    virtual void DrawItem(const DRAWITEMSTRUCT&) {}
};

class Static : public Window {};

// A tooltip window with one tool, the whole of the window it describes; destroyed with its
// owner object. The tooltip subclasses that window to see its mouse moves.
class ToolTip {
public:
    ToolTip() = default;
    ~ToolTip() { Reset(); }
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;

    // Creates the tooltip on first use; an empty text removes it.
    void SetText(HWND tool, const std::wstring& text) {
        if (text.empty()) return Reset();
        if (!tip_)
            tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, tool, nullptr, nullptr, nullptr);
        if (!tip_) return;
        text_ = text;
        // The size of the structure that Windows XP's common controls know.
        TTTOOLINFOW info{TTTOOLINFOW_V2_SIZE};
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = tool;
        info.uId = reinterpret_cast<UINT_PTR>(tool);
        info.lpszText = text_.data();
        SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    void Reset() {
        if (tip_ && IsWindow(tip_)) ::DestroyWindow(tip_);
        tip_ = nullptr;
    }
    HWND Handle() const { return tip_; }
    const std::wstring& Text() const { return text_; }

private:
    HWND tip_ = nullptr;
    std::wstring text_;
};

class ListBox : public Window {
public:
    int GetCount() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    void ResetContent() const { Send(LB_RESETCONTENT); }
    int AddString(const std::wstring& text) const {
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    void SetItemHeight(int index, int height) const {
        Send(LB_SETITEMHEIGHT, static_cast<WPARAM>(index), MAKELPARAM(height, 0));
    }
    int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    void SetCurSel(int index) const { Send(LB_SETCURSEL, static_cast<WPARAM>(index)); }
    std::wstring GetText(int index) const {
        const LRESULT length = Send(LB_GETTEXTLEN, static_cast<WPARAM>(index));
        if (length == LB_ERR) return {};
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(
            Send(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()))));
        return text;
    }
};

}  // namespace ui
