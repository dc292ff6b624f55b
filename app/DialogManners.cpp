// What every Windows program does and a skinned window has to do by hand: names for its
// image-only buttons, an icon, a place in the middle of the screen, a minimise box the taskbar
// and the system menu can use, and texts that stay readable whatever the system's colours.
#include <algorithm>

#include "app/FarspanDlg.h"
#include "app/UiText.h"
#include "res/resource.h"
#include "win32ui/Window.h"

namespace app {
namespace {

// The dark ink of texts drawn on the skin's light body.
const COLORREF kSkinInk = RGB(24, 48, 84);

}  // namespace

void CFarspanDlg::NameImageButtons() {
    const std::pair<skin::CButtonST*, UINT> names[] = {{&btnClose_, IDS_CLOSE_NAME},
                                                       {&btnMinimize_, IDS_MINIMIZE_NAME},
                                                       {&btnLiveUpdate_, IDS_LIVEUPDATE_NAME},
                                                       {&btnHelp_, IDS_HELP_NAME}};
    for (const auto& [button, id] : names) {
        // The window text is what a screen reader says; the picture is what the eye sees.
        const std::wstring name = LoadUiString(id);
        button->SetImageOnly(TRUE);
        button->SetText(name);
        button->SetTooltipText(name);
    }
}

void CFarspanDlg::SetUpWindowManners() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto icon = [instance](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_OVERREACH), IMAGE_ICON,
                                             GetSystemMetrics(widthMetric),
                                             GetSystemMetrics(heightMetric), 0));
    };
    bigIcon_.Reset(icon(SM_CXICON, SM_CYICON));
    smallIcon_.Reset(icon(SM_CXSMICON, SM_CYSMICON));
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));

    // Only a window with a minimise box is minimised by its taskbar button and by Win+M, and
    // only then does its system menu offer Minimize.
    ModifyStyle(0, WS_MINIMIZEBOX);

    // A second press of a double click would start the program a second time.
    for (skin::CButtonST* tool : {&btnPartition_, &btnLiveUpdate_, &btnHelp_})
        tool->IgnoreDoubleClicks(TRUE);

    // In the middle of the work area (the screen less the taskbar) of the monitor the window
    // opens on.
    MONITORINFO monitor{sizeof(monitor)};
    RECT area{};
    if (GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT box = WindowRect();
    const LONG w = box.right - box.left, h = box.bottom - box.top;
    // A work area smaller than the window keeps its top-left corner, where the skin's own
    // buttons are, on the screen.
    const LONG x = std::max(area.left, area.left + (area.right - area.left - w) / 2);
    const LONG y = std::max(area.top, area.top + (area.bottom - area.top - h) / 2);
    SetWindowPos(Handle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFarspanDlg::ApplySkinInks() {
    // Texts drawn on the skin take the skin's colours, not the system's: under a high-contrast
    // scheme the system's window text is white, and the skin's body stays light.
    for (skin::CLabel* label :
         {&listCaption_, &createDescription_, &recoverDescription_, &partitionDescription_})
        label->SetForeground(kSkinInk);
    for (int k = 0; k < kSegmentSlots; ++k) {
        capacityBars_[k].SetStateColor(skin::CButtonST::ActiveText, RGB(255, 255, 255));
        capacityBars_[k].SetStateColor(skin::CButtonST::IdleText, RGB(255, 255, 255));
        capacityLabels_[k].SetStateColor(skin::CButtonST::ActiveText, RGB(0, 0, 0));
        capacityLabels_[k].SetStateColor(skin::CButtonST::IdleText, RGB(0, 0, 0));
    }
}

LRESULT CFarspanDlg::OnSysColorChange(WPARAM wParam, LPARAM lParam) {
    // Only top-level windows hear of a colour change; the controls hear it from their dialog.
    for (HWND child = GetWindow(Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SYSCOLORCHANGE, wParam, lParam);
    emptyListNote_.FollowSystemColours();
    // The controls went back to the system's colours: the skin's come back on top of them.
    SetUpImageButtons();
    ApplySkinInks();
    RefreshCapacityPanel(Created(selectedIndex_) ? 1 : 0, Mounted(selectedIndex_) ? 1 : 0);
    ui::RepaintNow(Handle());
    return 0;
}

}  // namespace app
