// A dialog made from a template resource, run modally with its own message loop (so that the
// pre-translation hooks of its controls see every queued message) or shown modeless.
#pragma once

#include "Window.h"

namespace ui {

class Dialog : public Window {
public:
    Dialog(UINT templateId, Window* parent);

    // Creates the dialog, disables the owner, runs until EndDialog; returns its result.
    INT_PTR DoModal();
    // Creates the dialog without a loop of its own; the caller pumps messages.
    bool CreateModeless();
    // Ends a modal dialog after the current message.
    void EndDialog(INT_PTR result);

protected:
    const MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const MessageMap& ClassMap();

    // WM_INITDIALOG: binds the controls (DoDataExchange); TRUE lets the dialog manager set
    // the focus.
    virtual BOOL OnInitDialog();
    // Binds the dialog's controls to their objects with Bind.
    virtual void DoDataExchange() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    // Subclasses the control with the given id through the object's subclass hook.
    bool Bind(Window& control, int id);
    HWND Item(int id) const { return GetDlgItem(Handle(), id); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    Window* parent_;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

}  // namespace ui
