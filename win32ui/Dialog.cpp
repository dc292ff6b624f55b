#include "Dialog.h"

namespace ui {

Dialog::Dialog(UINT templateId, Window* parent) : templateId_(templateId), parent_(parent) {}

const MessageMap& Dialog::ClassMap() {
    static const MessageEntry entries[] = {
        OnCommand<&Dialog::OnOK>(IDOK),
        OnCommand<&Dialog::OnCancel>(IDCANCEL),
    };
    static const MessageMap map{&Window::ClassMap(), entries};
    return map;
}

bool Dialog::CreateModeless() {
    ended_ = false;
    HWND owner = parent_ ? parent_->Handle() : nullptr;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                              DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR Dialog::DoModal() {
    modal_ = true;
    if (!CreateModeless()) {
        modal_ = false;
        return -1;
    }
    HWND owner = parent_ ? parent_->Handle() : nullptr;
    const bool ownerWasEnabled = owner && !EnableWindow(owner, FALSE);
    if (!ended_ && !IsWindowVisible(Handle())) ShowWindow(Handle(), SW_SHOWNORMAL);

    MSG message;
    while (!ended_ && Handle()) {  // a dialog destroyed from outside ends the loop as well
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // let the outer loop see it
            break;
        }
        if (got == -1) break;
        ProcessQueuedMessage(message, Handle());
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (owner) SetActiveWindow(owner);
    DestroyWindow();
    modal_ = false;
    return result_;
}

void Dialog::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (!modal_)
        DestroyWindow();
    else
        PostMessageW(Handle(), WM_NULL, 0, 0);  // wake the loop
}

BOOL Dialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

bool Dialog::Bind(Window& control, int id) {
    return control.Subclass(Item(id));
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
    // Everything after WM_INITDIALOG reaches the object through its bound window procedure;
    // the dialog manager's own processing then ends here with "not handled".
    if (message != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<Dialog*>(lParam);
    self->BindDialog(window);
    return self->OnInitDialog();
}

}  // namespace ui
