// Owners for device contexts and GDI objects, so that every drawing path gives back what it
// took: a selection is undone, a memory DC deleted, a window DC released, an object deleted.
#pragma once

#include <windows.h>

#include <utility>

namespace ui {

// A GDI object (bitmap, brush, pen, font) that is deleted with its owner.
template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(other.Release()) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Handle Release() { return std::exchange(handle_, nullptr); }
    void Reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Font = GdiObject<HFONT>;

// An icon loaded at a chosen size (not shared), destroyed with its owner.
class Icon {
public:
    Icon() = default;
    explicit Icon(HICON icon) : icon_(icon) {}
    ~Icon() { Reset(); }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;

    HICON Get() const { return icon_; }
    explicit operator bool() const { return icon_ != nullptr; }
    void Reset(HICON icon = nullptr) {
        if (icon_) DestroyIcon(icon_);
        icon_ = icon;
    }

private:
    HICON icon_ = nullptr;
};

// A memory device context, deleted with its owner.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() { Reset(); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset() {
        if (dc_) DeleteDC(std::exchange(dc_, nullptr));
    }

private:
    HDC dc_;
};

// The client-area DC of a window (or of the screen for a null window), released with its
// owner.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDc() { EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC Get() const { return dc_; }
    const PAINTSTRUCT& Paint() const { return paint_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a DC and puts the displaced one back at the end of the scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory DC with a bitmap of its own selected into it, for drawing off-screen or keeping
// pixels for later. The displaced bitmap is put back before the bitmap and the DC are
// deleted, so neither is deleted while the other still holds it.
class BitmapCanvas {
public:
    BitmapCanvas() = default;
    ~BitmapCanvas() { Reset(); }
    BitmapCanvas(const BitmapCanvas&) = delete;
    BitmapCanvas& operator=(const BitmapCanvas&) = delete;

    // Both compatible with the given DC, width x height pixels. When either cannot be made,
    // nothing is kept and the result is false.
    bool Create(HDC compatibleWith, int width, int height) {
        Reset();
        HDC dc = CreateCompatibleDC(compatibleWith);
        if (!dc) return false;
        Bitmap bitmap(CreateCompatibleBitmap(compatibleWith, width, height));
        if (!bitmap) {
            DeleteDC(dc);
            return false;
        }
        displaced_ = SelectObject(dc, bitmap.Get());
        dc_ = dc;
        bitmap_ = std::move(bitmap);
        size_ = {width, height};
        return true;
    }
    void Reset() {
        if (dc_ && displaced_) SelectObject(dc_, displaced_);
        displaced_ = nullptr;
        bitmap_.Reset();
        if (dc_) DeleteDC(std::exchange(dc_, nullptr));
        size_ = {};
    }

    HDC Dc() const { return dc_; }
    SIZE Size() const { return size_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_ = nullptr;
    Bitmap bitmap_;
    HGDIOBJ displaced_ = nullptr;
    SIZE size_{};
};

// Keeps a DC's state (selected objects, colours, modes, alignment, origins) and puts all of
// it back at the end of the scope, so a paint routine leaves the DC as it found it.
class SavedDcState {
public:
    explicit SavedDcState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~SavedDcState() {
        if (saved_) RestoreDC(dc_, saved_);
    }
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// Fills a rectangle with one colour without keeping a brush.
inline void FillSolidRect(HDC dc, const RECT& rect, COLORREF colour) {
    const COLORREF previous = SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

// A one-pixel frame: top and left edges in one colour, right and bottom in the other.
inline void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    const LONG w = r.right - r.left, h = r.bottom - r.top;
    FillSolidRect(dc, {r.left, r.top, r.left + w - 1, r.top + 1}, topLeft);
    FillSolidRect(dc, {r.left, r.top, r.left + 1, r.top + h - 1}, topLeft);
    FillSolidRect(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    FillSolidRect(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

}  // namespace ui
