#include "app/EmptyListNote.h"

#include "app/DriveListRules.h"

#include "app/SystemError.h"
#include "app/UiText.h"
#include "res/resource.h"

namespace app {
namespace {

std::wstring TrimmedEnd(std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

std::wstring ReasonText(EmptyListReason reason, const disk::ScanOutcome& outcome) {
    switch (reason) {
        case EmptyListReason::NoBusDriver:
            return LoadUiString(IDS_NO_BUS_DRIVER);
        case EmptyListReason::NoQualifyingDrive:
            return LoadUiString(IDS_NO_LARGE_DRIVE);
        case EmptyListReason::ScanStopped:
            return FillPlaceholders(LoadUiString(IDS_SCAN_STOPPED),
                                    {std::to_wstring(outcome.stoppedAtDrive),
                                     TrimmedEnd(SystemErrorText(
                                         HResultFromWin32(static_cast<int32_t>(outcome.result))))});
        case EmptyListReason::NotEmpty:
            break;
    }
    return {};
}

}  // namespace

void EmptyListNote::Attach(HWND list) {
    RECT client{};
    GetClientRect(list, &client);
    // The list paints around the note, not over it.
    SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | WS_CLIPCHILDREN);
    // Below the first line, where an empty list still draws its focus cue.
    const int margin = 6;
    const int top = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)) + 4;
    HWND note = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_CENTER | SS_NOPREFIX, margin, top,
                                client.right - 2 * margin, client.bottom - top - margin, list,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!note) return;
    SendMessageW(note, WM_SETFONT, SendMessageW(list, WM_GETFONT, 0, 0), FALSE);
    label_.Subclass(note);
    FollowSystemColours();
    Show();
}

void EmptyListNote::FollowSystemColours() {
    if (!label_.Exists()) return;
    label_.SetBackground(GetSysColor(COLOR_WINDOW));
    label_.SetForeground(GetSysColor(COLOR_WINDOWTEXT));
}

void EmptyListNote::DriveFinished(const disk::DriveFindings& findings) {
    if (findings.verdict == disk::Verdict::Offered) ++offered_;
}

void EmptyListNote::ScanFinished(const disk::ScanOutcome& outcome) {
    scanned_ = ReasonForEmptyList(offered_, outcome);
    scannedText_ = ReasonText(scanned_, outcome);
    offered_ = 0;  // the next scan counts afresh
}

void EmptyListNote::Adopt() {
    reason_ = scanned_;
    text_ = scannedText_;
    Show();
}

void EmptyListNote::Show() {
    if (!label_.Exists()) return;
    if (label_.Text() != text_) label_.SetText(text_);
    label_.Show(text_.empty() ? SW_HIDE : SW_SHOWNA);
    if (!text_.empty()) label_.Invalidate();
}

}  // namespace app
