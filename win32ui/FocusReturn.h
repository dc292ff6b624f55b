// Puts the keyboard focus back on the control that had it when the scope began, if that
// control can still take it: an operation that disables its own button moves the focus away,
// and its error box hands it back to wherever it went.
#pragma once

#include <windows.h>

namespace ui {

class FocusReturn {
public:
    explicit FocusReturn(HWND dialog) : dialog_(dialog) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus)) focus_ = focus;
    }
    ~FocusReturn() {
        if (!focus_ || !IsWindow(focus_) || !IsWindowEnabled(focus_) || !IsWindowVisible(focus_))
            return;
        // Only while the focus is in the dialog: the user may have gone to another program.
        HWND now = GetFocus();
        if (!now || now == focus_ || (now != dialog_ && !IsChild(dialog_, now))) return;
        SetFocus(focus_);
    }
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

private:
    HWND dialog_;
    HWND focus_ = nullptr;
};

}  // namespace ui
