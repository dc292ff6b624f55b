#include "CDialogSK.h"

#include "win32ui/Gdi.h"

namespace skin {
namespace {

// Looked up at run time: the function is missing before Windows 2000.
using SetLayeredWindowAttributesFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
SetLayeredWindowAttributesFunction setLayeredWindowAttributes = nullptr;

}  // namespace

CDialogSK::CDialogSK(UINT templateId, ui::Window* parent) : ui::Dialog(templateId, parent) {
    setLayeredWindowAttributes =
        reinterpret_cast<SetLayeredWindowAttributesFunction>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"USER32.DLL"), "SetLayeredWindowAttributes")));
}

CDialogSK::~CDialogSK() = default;

const ui::MessageMap& CDialogSK::ClassMap() {
    static const ui::MessageEntry entries[] = {
        ui::OnMouse<&CDialogSK::OnLButtonDown>(WM_LBUTTONDOWN),
        ui::OnMessage<&CDialogSK::OnEraseBkgnd>(WM_ERASEBKGND),
        ui::OnMessage<&CDialogSK::OnSize>(WM_SIZE),
    };
    static const ui::MessageMap map{&ui::Dialog::ClassMap(), entries};
    return map;
}

BOOL CDialogSK::SetBackgroundBitmap(HBITMAP bitmap) {
    stretched_.Reset();
    background_.Reset(bitmap);
    if (bitmap) {
        BITMAP header{};
        if (GetObjectW(bitmap, sizeof(header), &header) == 0) {
            background_.Reset();
            return FALSE;
        }
        bitmapWidth_ = header.bmWidth;
        bitmapHeight_ = header.bmHeight;
    }
    if (Handle() && IsWindow(Handle())) InvalidateRect(Handle(), nullptr, TRUE);
    return TRUE;
}

void CDialogSK::SetColorKey(COLORREF colour) {
    if (!setLayeredWindowAttributes) return;
    SetWindowLongW(Handle(), GWL_EXSTYLE, GetWindowLongW(Handle(), GWL_EXSTYLE) | WS_EX_LAYERED);
    setLayeredWindowAttributes(Handle(), colour, 0, LWA_COLORKEY);
}

void CDialogSK::OnLButtonDown(UINT, POINT point) {
    // The system's caption drag loop moves the window until the button is released.
    if (dragMove_)
        PostMessageW(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    Default();
}

LRESULT CDialogSK::OnEraseBkgnd(WPARAM wParam, LPARAM) {
    const LRESULT erased = Default();
    if (!background_) return erased;
    HDC dc = reinterpret_cast<HDC>(wParam);
    const RECT client = ClientRect();
    const int w = client.right - client.left, h = client.bottom - client.top;
    ui::MemoryDc memory(dc);
    if (!memory) return erased;
    ui::Selection select(memory.Get(), background_.Get());
    switch (layout_) {
        case TopLeft:
        case TopLeftToo:
            BitBlt(dc, 0, 0, w, h, memory.Get(), 0, 0, SRCCOPY);
            break;
        case Tile:
            if (h > 0 && bitmapWidth_ > 0 && bitmapHeight_ > 0)
                for (int y = 0; y < h; y += bitmapHeight_)
                    for (int x = 0; x < w; x += bitmapWidth_)
                        BitBlt(dc, x, y, w, h, memory.Get(), 0, 0, SRCCOPY);
            break;
        case Centre:
            // The bitmap's own extent: one larger than the client area then covers all of it.
            BitBlt(dc, (w - bitmapWidth_) / 2, (h - bitmapHeight_) / 2, bitmapWidth_, bitmapHeight_,
                   memory.Get(), 0, 0, SRCCOPY);
            break;
        case Stretch: {
            if (!stretched_ || stretched_.Size().cx != w || stretched_.Size().cy != h) {
                if (!stretched_.Create(dc, w, h)) {
                    // No memory for the cache: stretch straight onto the screen this time.
                    StretchBlt(dc, 0, 0, w, h, memory.Get(), 0, 0, bitmapWidth_, bitmapHeight_,
                               SRCCOPY);
                    break;
                }
                StretchBlt(stretched_.Dc(), 0, 0, w, h, memory.Get(), 0, 0, bitmapWidth_,
                           bitmapHeight_, SRCCOPY);
            }
            RECT dirty{};
            GetClipBox(dc, &dirty);
            BitBlt(dc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top,
                   stretched_.Dc(), dirty.left, dirty.top, SRCCOPY);
            break;
        }
        default:
            break;
    }
    return erased;
}

LRESULT CDialogSK::OnSize(WPARAM, LPARAM) {
    const LRESULT result = Default();
    if (background_) InvalidateRect(Handle(), nullptr, TRUE);
    return result;
}

}  // namespace skin
