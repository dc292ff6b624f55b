#include "CButtonST.h"

#include <commctrl.h>

#include "platform/StoreRounding.h"
#include "win32ui/Gdi.h"

namespace skin {
namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const UINT kCaptionFormat = DT_WORDBREAK | DT_CENTER;

bool IsDerivation(HBITMAP idle) {
    return idle == CButtonST::AutoDarker || idle == CButtonST::AutoGrayscale;
}

bool ReadSize(HBITMAP bitmap, int* width, int* height) {
    BITMAP header{};
    if (GetObjectW(bitmap, sizeof(header), &header) == 0) return false;
    *width = header.bmWidth;
    *height = header.bmHeight;
    return true;
}

}  // namespace

CButtonST::CButtonST() {
    ResetColours();
}

CButtonST::~CButtonST() = default;

const ui::MessageMap& CButtonST::ClassMap() {
    static const ui::MessageEntry entries[] = {
        ui::OnMouse<&CButtonST::OnMouseMove>(WM_MOUSEMOVE),
        ui::OnMessage<&CButtonST::OnMouseLeave>(WM_MOUSELEAVE),
        ui::OnMessage<&CButtonST::OnKillFocus>(WM_KILLFOCUS),
        ui::OnMessage<&CButtonST::OnLoseHover>(WM_CANCELMODE),
        ui::OnMessage<&CButtonST::OnActivate>(WM_ACTIVATE),
        ui::OnMessage<&CButtonST::OnEnable>(WM_ENABLE),
        ui::OnMessage<&CButtonST::OnSysColorChange>(WM_SYSCOLORCHANGE),
        ui::OnMessage<&CButtonST::OnUpdateUiState>(WM_UPDATEUISTATE),
        ui::OnMessage<&CButtonST::OnGetDlgCode>(WM_GETDLGCODE),
        ui::OnMessage<&CButtonST::OnSetStyle>(BM_SETSTYLE),
        ui::OnMessage<&CButtonST::OnSetCheck>(BM_SETCHECK),
        ui::OnMessage<&CButtonST::OnGetCheck>(BM_GETCHECK),
        ui::OnReflectedCommand<&CButtonST::OnClicked>(BN_CLICKED),
        ui::OnReflectedCtlColor<&CButtonST::OnCtlColor>(),
    };
    static const ui::MessageMap map{&ui::Button::ClassMap(), entries};
    return map;
}

// --- configuration -----------------------------------------------------------------------

void CButtonST::ResetColours() {
    const COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_BTNTEXT);
    for (int slot = ActiveBackground; slot <= FocusText; slot += 2) {
        colours_[slot] = face;
        colours_[slot + 1] = text;
    }
}

void CButtonST::SetStateColor(ColorSlot slot, COLORREF colour) {
    if (slot < ActiveBackground || slot > FocusText) return;
    colours_[slot] = colour;
    Invalidate();
}

void CButtonST::FitToImage() {
    if (!active_.bitmap) return;
    marginX_ = marginY_ = 0;
    SetWindowPos(Handle(), nullptr, 0, 0, active_.width, active_.height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CButtonST::UseParentBackground(BOOL use) {
    parentBackground_ = use;
    background_.Reset();
}

void CButtonST::SetImageOnly(BOOL imageOnly) {
    imageOnly_ = imageOnly;
    Invalidate();
}

void CButtonST::SetTooltipText(const std::wstring& text) {
    tooltip_.SetText(Handle(), text);
}

void CButtonST::FreeImages() {
    active_ = Image{};
    idle_ = Image{};
}

int CButtonST::SetStateBitmaps(HBITMAP active, COLORREF activeKey, HBITMAP idle, COLORREF idleKey) {
    FreeImages();
    // Both bitmaps are the button's from here on, so every early return below deletes
    // them. One handle given twice is held once: a second owner would delete it again.
    ui::Bitmap activeBitmap(active);
    ui::Bitmap idleBitmap(IsDerivation(idle) || idle == active ? nullptr : idle);
    if (!active) {
        Invalidate();
        return BitmapsSet;
    }
    Image first, second;
    first.key = activeKey;
    if (!ReadSize(active, &first.width, &first.height)) return BitmapUnreadable;
    if (IsDerivation(idle)) {
        // Derived before the mask turns the key pixels of the source black.
        idleBitmap.Reset(idle == AutoDarker
                             ? MakeDarker(active, first.width, first.height, activeKey)
                             : MakeGrayscale(active, first.width, first.height, activeKey));
        idleKey = activeKey;
    }
    first.mask.Reset(MakeMask(active, first.width, first.height, activeKey));
    if (!first.mask) return MaskFailed;
    first.bitmap = std::move(activeBitmap);
    if (idleBitmap) {
        second.key = idleKey;
        if (!ReadSize(idleBitmap.Get(), &second.width, &second.height)) return BitmapUnreadable;
        second.mask.Reset(MakeMask(idleBitmap.Get(), second.width, second.height, idleKey));
        if (!second.mask) return MaskFailed;
        second.bitmap = std::move(idleBitmap);
    }
    active_ = std::move(first);
    idle_ = std::move(second);
    Invalidate();
    return BitmapsSet;
}

void CButtonST::OnSubclass() {
    const DWORD style = Style() & 0xFFFF;
    if (style & 0x2) checkBoxMode_ = TRUE;  // the check-box types, group box and owner draw
    if ((style & 0xF) == BS_DEFPUSHBUTTON) defaultButton_ = TRUE;
    ModifyStyle(0xF, BS_OWNERDRAW, SWP_FRAMECHANGED);
    ui::Button::OnSubclass();
}

bool CButtonST::PreTranslateMessage(MSG& message) {
    if (message.hwnd != Handle() || message.message != WM_LBUTTONDBLCLK) return false;
    // Dropped, the press leaves its release without a press, and so without a click.
    if (ignoreDoubleClicks_) return true;
    // An owner-drawn button would report a double click instead of a second click.
    message.message = WM_LBUTTONDOWN;
    return false;
}

// --- messages ------------------------------------------------------------------------------

void CButtonST::ClearHover() {
    if (!hovered_) return;
    hovered_ = FALSE;
    Invalidate();
}

void CButtonST::OnMouseMove(UINT flags, POINT point) {
    Default();
    POINT screen = point;
    ClientToScreen(Handle(), &screen);
    HWND under = WindowFromPoint(screen);
    if ((flags & MK_LBUTTON) && !hovered_) return;  // dragging in from elsewhere
    if (under == Handle()) {
        if (hovered_) return;
        hovered_ = TRUE;
        Invalidate();
        TRACKMOUSEEVENT leave{sizeof(leave), TME_LEAVE, Handle(), 0};
        _TrackMouseEvent(&leave);
    } else {
        ClearHover();
    }
}

LRESULT CButtonST::OnMouseLeave(WPARAM, LPARAM) {
    ClearHover();
    return 0;
}

LRESULT CButtonST::OnLoseHover(WPARAM, LPARAM) {
    const LRESULT result = Default();
    ClearHover();
    return result;
}

LRESULT CButtonST::OnActivate(WPARAM state, LPARAM) {
    const LRESULT result = Default();
    if (LOWORD(state) == WA_INACTIVE) ClearHover();
    return result;
}

// The system takes the focus from a window it disables before telling the window, and gives
// it to nobody: a keyboard user would be left with no focus at all.
LRESULT CButtonST::OnKillFocus(WPARAM next, LPARAM) {
    lostFocusToDisabling_ = next == 0 && !IsWindowEnabled(Handle());
    const LRESULT result = Default();
    ClearHover();
    return result;
}

LRESULT CButtonST::OnEnable(WPARAM enabled, LPARAM) {
    const LRESULT result = Default();
    // Only the button that had the focus hands it on: moving it from elsewhere would throw
    // a user out of the control they are working in.
    const bool hadFocus = lostFocusToDisabling_ || GetFocus() == Handle();
    lostFocusToDisabling_ = false;
    if (!enabled && hadFocus) {
        HWND parent = Parent();
        HWND next = focusHeir_ && IsWindowEnabled(focusHeir_)
                        ? focusHeir_
                        : GetNextDlgTabItem(parent, Handle(), FALSE);
        SetFocus(next && next != Handle() ? next : parent);
    }
    ClearHover();
    return result;
}

LRESULT CButtonST::OnUpdateUiState(WPARAM, LPARAM) {
    // The focus cue follows the keyboard-cue state, which this message has just changed.
    const LRESULT result = Default();
    Invalidate();
    return result;
}

LRESULT CButtonST::OnSysColorChange(WPARAM, LPARAM) {
    const LRESULT result = Default();
    background_.Reset();
    ResetColours();
    Invalidate();
    return result;
}

LRESULT CButtonST::OnGetDlgCode(WPARAM, LPARAM) {
    return Default() | (defaultButton_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

LRESULT CButtonST::OnSetStyle(WPARAM style, LPARAM redraw) {
    // The dialog manager switches push buttons between default and normal as the focus
    // moves; the button follows that, but must stay owner-drawn.
    const WPARAM type = style & 0xF;
    if (type == BS_DEFPUSHBUTTON)
        defaultButton_ = TRUE;
    else if (type == BS_PUSHBUTTON)
        defaultButton_ = FALSE;
    return DefaultWith(BM_SETSTYLE, (style & ~static_cast<WPARAM>(0x4)) | BS_OWNERDRAW, redraw);
}

LRESULT CButtonST::OnSetCheck(WPARAM state, LPARAM) {
    if (checkBoxMode_) {
        check_ = state == BST_CHECKED || state == BST_INDETERMINATE;
        Invalidate();
    }
    return 0;
}

bool CButtonST::OnClicked() {
    SetFocus(Handle());
    if (checkBoxMode_) {
        check_ = !check_;
        Invalidate();
    }
    return false;  // the parent hears of the click too
}

HBRUSH CButtonST::OnCtlColor(HDC, UINT) {
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

// --- painting ------------------------------------------------------------------------------

void CButtonST::DrawItem(const DRAWITEMSTRUCT& item) {
    pressed_ = (item.itemState & ODS_SELECTED) != 0;
    if (checkBoxMode_) pressed_ = pressed_ || check_;
    focused_ = (item.itemState & ODS_FOCUS) != 0;
    disabled_ = (item.itemState & ODS_DISABLED) != 0;

    HDC dc = item.hDC;
    const ui::SavedDcState keep(dc);  // the system's DC goes back as it came
    const RECT rect = item.rcItem;
    SetBkMode(dc, TRANSPARENT);
    if (parentBackground_)
        PaintParentBackground(dc);
    else
        PaintFace(dc, rect);
    PaintFrame(dc, rect);

    const std::wstring caption = imageOnly_ ? std::wstring() : Text();
    RECT captionRect = rect;
    if (active_.bitmap) {
        SetBkColor(dc, kWhite);
        PaintImage(dc, !caption.empty(), rect, captionRect, pressed_, disabled_);
    }
    if (!caption.empty()) PaintCaption(dc, caption, rect, captionRect, pressed_, disabled_);
    if (focused_ && !(item.itemState & ODS_NOFOCUSRECT)) PaintFocusCue(dc, rect);
}

void CButtonST::PaintFocusCue(HDC dc, const RECT& rect) {
    // Hidden until the keyboard is used, as on every other button.
    if (Send(WM_QUERYUISTATE) & UISF_HIDEFOCUS) return;
    RECT cue = rect;
    InflateRect(&cue, -2, -2);
    if (cue.right <= cue.left || cue.bottom <= cue.top) cue = rect;
    // The dotted rectangle inverts what is under it, so it shows on any image and in any
    // colour scheme. Its colours come from the DC, which the system's text colours set.
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    DrawFocusRect(dc, &cue);
}

void CButtonST::PaintFace(HDC dc, const RECT& rect) {
    const COLORREF colour = hovered_ || pressed_ ? colours_[ActiveBackground]
                            : focused_           ? colours_[FocusBackground]
                                                 : colours_[IdleBackground];
    ui::Brush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void CButtonST::PaintFrame(HDC dc, const RECT& rect) {
    if (!hoverFrame_) return;
    if (pressed_)
        ui::Draw3dRect(dc, rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    else if (hovered_)
        ui::Draw3dRect(dc, rect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
}

RECT CButtonST::PlaceImage(const RECT& item, RECT& caption, bool hasCaption, BOOL pressed,
                           const Image& image) const {
    RECT r = item;
    const int iw = image.width, ih = image.height;
    switch (placement_) {
        case 0:  // left of the caption
            if (hasCaption) {
                r.left += marginX_;
                caption.left += iw + marginX_;
            } else {
                r.left += (r.right - r.left - iw) / 2;
            }
            r.top += (r.bottom - r.top - ih) / 2;
            break;
        case 1:  // above the caption
            r.left += (r.right - r.left - iw) / 2;
            if (hasCaption) {
                r.top = marginY_;
                caption.top += ih;
            } else {
                r.top += (r.bottom - r.top - ih) / 2;
            }
            break;
        case 2:  // right of the caption
            if (hasCaption) {
                caption.right -= caption.left + marginX_ + iw;
                caption.left = marginX_;
                r.left = ClientRect().right - marginX_ - iw;
                r.top += (r.bottom - r.top - ih) / 2;
            } else {
                r.left += (r.right - r.left - iw) / 2;
            }
            break;
        default:  // under the caption, at the item's origin
            break;
    }
    if (pressed && !checkBoxMode_) OffsetRect(&r, pressShiftX_, pressShiftY_);
    return r;
}

void CButtonST::PaintImage(HDC dc, bool hasCaption, const RECT& item, RECT& caption, BOOL pressed,
                           BOOL disabled) {
    const bool showActive = pressed || (hovered_ && !checkBoxMode_);
    const Image& image = showActive || !idle_.bitmap ? active_ : idle_;
    const RECT place = PlaceImage(item, caption, hasCaption, pressed, image);
    const int x = place.left, y = place.top, bw = image.width, bh = image.height;

    ui::MemoryDc imageDc(dc), maskDc(dc);
    if (!imageDc || !maskDc) return;
    ui::Selection imageIn(imageDc.Get(), image.bitmap.Get()),
        maskIn(maskDc.Get(), image.mask.Get());
    if (!disabled) {
        BitBlt(dc, x, y, bw, bh, maskDc.Get(), 0, 0, SRCAND);
        BitBlt(dc, x, y, bw, bh, imageDc.Get(), 0, 0, SRCPAINT);
        return;
    }
    // Disabled: the image composed on white, then embossed by the system.
    const RECT window = WindowRect();
    ui::Bitmap composed(
        CreateCompatibleBitmap(dc, window.right - window.left, window.bottom - window.top));
    ui::MemoryDc composeDc(dc);
    if (!composed || !composeDc) return;
    {
        ui::Selection composedIn(composeDc.Get(), composed.Get());
        ui::FillSolidRect(composeDc.Get(), {0, 0, place.right + 1, place.bottom + 1}, kWhite);
        SetBkColor(composeDc.Get(), kWhite);
        BitBlt(composeDc.Get(), 0, 0, bw, bh, maskDc.Get(), 0, 0, SRCAND);
        BitBlt(composeDc.Get(), 0, 0, bw, bh, imageDc.Get(), 0, 0, SRCPAINT);
    }
    DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(composed.Get()), 0, x, y, bw, bh,
               DST_BITMAP | DSS_DISABLED);
}

void CButtonST::PaintCaption(HDC dc, const std::wstring& caption, const RECT&, RECT c, BOOL pressed,
                             BOOL disabled) {
    if (pressed && !checkBoxMode_) OffsetRect(&c, pressShiftX_, pressShiftY_);
    const RECT c0 = c;
    DrawTextW(dc, caption.c_str(), -1, &c, kCaptionFormat | DT_CALCRECT);
    OffsetRect(&c, ((c0.right - c0.left) - (c.right - c.left)) / 2,
               ((c0.bottom - c0.top) - (c.bottom - c.top)) / 2);
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        // Etched: the highlight one pixel down and right, the shadow on top of it.
        OffsetRect(&c, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, caption.c_str(), -1, &c, kCaptionFormat);
        OffsetRect(&c, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
        DrawTextW(dc, caption.c_str(), -1, &c, kCaptionFormat);
        return;
    }
    const int pair = hovered_ || pressed ? ActiveBackground
                     : focused_          ? FocusBackground
                                         : IdleBackground;
    SetTextColor(dc, colours_[pair + 1]);
    SetBkColor(dc, colours_[pair]);
    DrawTextW(dc, caption.c_str(), -1, &c, kCaptionFormat);
}

void CButtonST::PaintParentBackground(HDC dc) {
    const RECT client = ClientRect();
    const int w = client.right, h = client.bottom;
    if (!background_) {
        // Taken once and reused: each later repaint costs one copy.
        const RECT inParent = RectInParent();
        ui::WindowDc parentDc(Parent());
        if (!background_.Create(parentDc.Get(), w, h)) {
            // Nothing to copy from this time: the face colour instead, and another try
            // at the next draw.
            PaintFace(dc, client);
            return;
        }
        BitBlt(background_.Dc(), 0, 0, w, h, parentDc.Get(), inParent.left, inParent.top, SRCCOPY);
    }
    BitBlt(dc, 0, 0, w, h, background_.Dc(), 0, 0, SRCCOPY);
}

// --- derived images ------------------------------------------------------------------------

HBITMAP MakeMask(HBITMAP source, int width, int height, COLORREF key) {
    ui::Bitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    ui::MemoryDc sourceDc(nullptr), maskDc(nullptr);
    if (!mask || !sourceDc || !maskDc) return nullptr;
    ui::Selection sourceIn(sourceDc.Get(), source), maskIn(maskDc.Get(), mask.Get());
    const COLORREF oldBackground = SetBkColor(sourceDc.Get(), key);
    BitBlt(maskDc.Get(), 0, 0, width, height, sourceDc.Get(), 0, 0, SRCCOPY);  // key → 1
    const COLORREF oldText = SetTextColor(sourceDc.Get(), kWhite);
    SetBkColor(sourceDc.Get(), kBlack);
    BitBlt(sourceDc.Get(), 0, 0, width, height, maskDc.Get(), 0, 0, SRCAND);  // key → black
    SetBkColor(sourceDc.Get(), oldBackground);
    SetTextColor(sourceDc.Get(), oldText);
    return mask.Release();
}

namespace {

template <class Transform>
HBITMAP Derive(HBITMAP source, int width, int height, COLORREF key, Transform transform) {
    ui::WindowDc screen(nullptr);
    ui::MemoryDc from(screen.Get()), to(screen.Get());
    ui::Bitmap result(CreateCompatibleBitmap(screen.Get(), width, height));
    if (!screen || !from || !to || !result) return nullptr;
    {
        ui::Selection sourceIn(from.Get(), source), resultIn(to.Get(), result.Get());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF pixel = GetPixel(from.Get(), x, y);
                SetPixel(to.Get(), x, y, pixel == key ? pixel : transform(pixel));
            }
    }
    return result.Release();
}

}  // namespace

HBITMAP MakeGrayscale(HBITMAP source, int width, int height, COLORREF key) {
    using platform::StoreRounded;
    return Derive(source, width, height, key, [](COLORREF c) {
        const double green = StoreRounded(0.587 * GetGValue(c));
        const double red = StoreRounded(0.299 * GetRValue(c));
        const double blue = StoreRounded(0.114 * GetBValue(c));
        const auto l = static_cast<BYTE>(StoreRounded(StoreRounded(green + red) + blue));
        return RGB(l, l, l);
    });
}

HBITMAP MakeDarker(HBITMAP source, int width, int height, COLORREF key) {
    return Derive(source, width, height, key, [](COLORREF c) {
        auto darker = [](BYTE v) { return static_cast<BYTE>(v - 0.25 * v); };
        return RGB(darker(GetRValue(c)), darker(GetGValue(c)), darker(GetBValue(c)));
    });
}

}  // namespace skin
