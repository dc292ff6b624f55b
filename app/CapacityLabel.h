// A value label of the capacity panel: an image button that, while selected, carries a grey
// frame. The label paints the frame itself, so the frame survives every repaint of the label.
// A label that is disabled or blank shows no frame even while selected: after a drive without
// values is chosen, a frame there would mark nothing. It returns with the values.
#pragma once

#include "skin/CButtonST.h"
#include "win32ui/Gdi.h"

namespace app {

class CapacityLabel : public skin::CButtonST {
public:
    void SetSelected(bool selected) {
        selected_ = selected;
        Invalidate();
    }
    bool Selected() const { return selected_; }

protected:
    void PaintFrame(HDC dc, const RECT& rect) override {
        CButtonST::PaintFrame(dc, rect);
        if (!selected_ || !IsEnabled() || Text().empty()) return;
        // A 3-pixel pen on the rectangle inset by one pixel, interior left alone.
        ui::Pen grey(CreatePen(PS_SOLID, 3, RGB(0x80, 0x80, 0x80)));
        ui::Selection pen(dc, grey.Get());
        ui::Selection brush(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1);
    }

private:
    bool selected_ = false;
};

}  // namespace app
