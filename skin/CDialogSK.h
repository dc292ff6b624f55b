// A dialog painted from one bitmap: the bitmap fills the client area in one of several
// layouts, one colour can be made see-through so the window takes the bitmap's shape, and a
// press of the left button anywhere on the dialog drags the window.
#pragma once

#include "win32ui/Dialog.h"
#include "win32ui/Gdi.h"

namespace skin {

enum BackgroundLayout : int {
    TopLeft = 0,
    Tile = 1,
    Centre = 2,
    Stretch = 3,
    TopLeftToo = 4,  // painted like TopLeft
};

class CDialogSK : public ui::Dialog {
public:
    CDialogSK(UINT templateId, ui::Window* parent);
    ~CDialogSK() override;

    // The dialog owns the bitmap from this call on, also when it fails (an unreadable
    // bitmap is deleted and FALSE returned). NULL removes the background.
    BOOL SetBackgroundBitmap(HBITMAP bitmap);
    void SetBackgroundLayout(int layout) { layout_ = layout; }
    void EnableDragMove(BOOL enable) { dragMove_ = enable; }
    // Makes pixels of exactly this colour see-through, where the system offers it.
    void SetColorKey(COLORREF colour);

protected:
    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap();

private:
    void OnLButtonDown(UINT flags, POINT point);
    LRESULT OnEraseBkgnd(WPARAM dc, LPARAM);
    LRESULT OnSize(WPARAM, LPARAM);

    BOOL dragMove_ = TRUE;
    ui::Bitmap background_;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    int layout_ = TopLeft;
    // The stretched background at the client size, so that a repaint of a small area copies
    // that area instead of stretching the whole bitmap again.
    ui::BitmapCanvas stretched_;
};

}  // namespace skin
