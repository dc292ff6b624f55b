// The main dialog at the keyboard: a tab order from top to bottom, the focus starting in the
// drive list and staying in the dialog when its control is disabled, and an Enter key that
// presses the focused button and never ends the program.
#include "app/FarspanDlg.h"
#include "res/resource.h"

namespace app {

BOOL CFarspanDlg::ArrangeKeyboard() {
    // The tab order is the order of the controls in front of one another, which the template
    // has otherwise. The caption goes just before the list, since screen readers name a list
    // after the text in front of it.
    const int order[] = {IDC_LIST_CAPTION, IDC_LIST_DRIVE,    IDC_BTN_CREATE,
                         IDC_BTN_RECOVER,  IDC_BTN_PARTITION, IDC_BTN_LIVEUPDATE,
                         IDC_BTN_HELP,     IDC_BTN_MINIMIZE,  IDC_BTN_CLOSE};
    HWND after = HWND_TOP;
    for (int id : order) {
        HWND control = Item(id);
        SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = control;
    }
    skin::CButtonST* buttons[] = {&btnCreate_, &btnRecover_,    &btnPartition_, &btnMinimize_,
                                  &btnClose_,  &btnLiveUpdate_, &btnHelp_};
    for (skin::CButtonST* button : buttons) button->SetFocusHeir(listDrive_.Handle());
    // The capacity panel is a picture of the drive, read by its texts: not a stop of its own.
    for (int k = 0; k < kSegmentSlots; ++k) {
        for (skin::CButtonST* part : {&Bar(k), static_cast<skin::CButtonST*>(&ValueLabel(k))}) {
            part->ModifyStyle(WS_TABSTOP, 0);
            part->SetFocusHeir(listDrive_.Handle());
        }
    }
    // Keyboard cues stay hidden until the keyboard is used, as in the system's own dialogs.
    Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL));
    SetFocus(listDrive_.Handle());
    return FALSE;
}

bool CFarspanDlg::PreTranslateMessage(MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    HWND focus = GetFocus();
    if (!focus || (focus != Handle() && !IsChild(Handle(), focus))) return false;
    switch (message.wParam) {
        case VK_RETURN:
            if (message.message != WM_KEYDOWN) return false;
            // The dialog manager would send IDOK, which ends a dialog.
            PressFocusedButton();
            return true;
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_MENU:
            // The keyboard is in use: from now on the focus shows.
            Send(WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
            return false;
        default:
            return false;
    }
}

void CFarspanDlg::OnOK() {
    PressFocusedButton();
}

void CFarspanDlg::PressFocusedButton() {
    HWND focus = GetFocus();
    if (!focus || !IsChild(Handle(), focus) || !IsWindowEnabled(focus)) return;
    const auto code = static_cast<UINT>(SendMessageW(focus, WM_GETDLGCODE, 0, 0));
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) return;
    // As the button's own click reports itself.
    SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                 reinterpret_cast<LPARAM>(focus));
}

}  // namespace app
