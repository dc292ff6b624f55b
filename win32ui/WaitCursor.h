// The hourglass for as long as the program blocks its window: what the user pressed is
// painted first, and the cursor they had comes back on every way out of the scope.
#pragma once

#include <windows.h>

namespace ui {

class WaitCursor {
public:
    explicit WaitCursor(HWND window) {
        // Paint what is pending (the released button, a disabled one) before the wait.
        if (window) RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        // The cursor belongs to the window under it: set it only over our own.
        POINT at{};
        if (!window || !GetCursorPos(&at)) return;
        HWND under = WindowFromPoint(at);
        if (!under || GetAncestor(under, GA_ROOT) != GetAncestor(window, GA_ROOT)) return;
        previous_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        active_ = true;
    }
    ~WaitCursor() {
        if (active_) SetCursor(previous_);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    bool Shown() const { return active_; }

private:
    HCURSOR previous_ = nullptr;
    bool active_ = false;
};

}  // namespace ui
