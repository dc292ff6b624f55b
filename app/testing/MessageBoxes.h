// Answers the message boxes that this thread shows, as a user would, and remembers what each
// one said. A box runs its own modal loop; a thread timer reaches into it from there.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace app::testing {

struct ShownBox {
    std::wstring caption;
    std::wstring text;
    bool exclamationIcon = false;
    bool hasIcon = false;
    int defaultButton = 0;  // what Enter presses
};

class MessageBoxAnswerer {
public:
    // answer: the button id to press (IDOK, IDYES, IDNO); ignore: a window that is not a box.
    MessageBoxAnswerer(int answer, HWND ignore) : answer_(answer), ignore_(ignore) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 15, Tick);
    }
    ~MessageBoxAnswerer() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void SetAnswer(int answer) { answer_ = answer; }
    // Runs inside the box's own message loop before the box is answered, with the box already
    // in Boxes(): what happens to the machine while the user reads the box.
    void SetBeforeAnswer(std::function<void()> beforeAnswer) {
        beforeAnswer_ = std::move(beforeAnswer);
    }
    const std::vector<ShownBox>& Boxes() const { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    static BOOL CALLBACK Visit(HWND window, LPARAM) {
        MessageBoxAnswerer* self = current_;
        wchar_t className[16] = L"";
        GetClassNameW(window, className, 16);
        if (!self || window == self->ignore_ || std::wstring(className) != L"#32770" ||
            !IsWindowVisible(window) || self->answered_ == window)
            return TRUE;
        ShownBox box;
        wchar_t text[1024] = L"";
        GetWindowTextW(window, text, 1024);
        box.caption = text;
        const HICON exclamation = LoadIconW(nullptr, IDI_EXCLAMATION);
        for (HWND child = GetWindow(window, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            GetClassNameW(child, className, 16);
            if (_wcsicmp(className, L"Button") == 0 &&
                (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                box.defaultButton = GetDlgCtrlID(child);
            if (_wcsicmp(className, L"Static") != 0) continue;
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                const HICON icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                box.hasIcon = box.hasIcon || (icon && IsWindowVisible(child));
                box.exclamationIcon = box.exclamationIcon || icon == exclamation;
                continue;
            }
            GetWindowTextW(child, text, 1024);
            if (text[0]) box.text = text;
        }
        self->boxes_.push_back(box);
        self->answered_ = window;
        if (self->beforeAnswer_) self->beforeAnswer_();
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(self->answer_, BN_CLICKED), 0);
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current_ && current_->answered_ && !IsWindow(current_->answered_))
            current_->answered_ = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), Visit, 0);
    }

    static inline MessageBoxAnswerer* current_ = nullptr;
    int answer_;
    HWND ignore_;
    HWND answered_ = nullptr;
    UINT_PTR timer_ = 0;
    std::vector<ShownBox> boxes_;
    std::function<void()> beforeAnswer_;
};

}  // namespace app::testing
