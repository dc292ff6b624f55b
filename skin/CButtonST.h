// The owner-drawn image button: a bitmap per state with a key colour for transparency, a
// centred caption with colours per state, an optional thin frame on hover and press, and a
// background that can be the parent's own pixels, so the button blends into a skinned dialog.
#pragma once

#include "win32ui/Controls.h"
#include "win32ui/Gdi.h"

namespace skin {

class CButtonST : public ui::Button {
public:
    // Idle-bitmap arguments of SetStateBitmaps that derive the idle image from the active one.
    static inline const HBITMAP AutoDarker = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(-3));
    static inline const HBITMAP AutoGrayscale = reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(-2));

    enum ColorSlot {
        ActiveBackground,  // hovered or pressed
        ActiveText,
        IdleBackground,
        IdleText,
        FocusBackground,  // focused, neither hovered nor pressed
        FocusText,
    };

    enum SetStateBitmapsResult { BitmapsSet = 0, BitmapUnreadable = 1, MaskFailed = 2 };

    CButtonST();
    ~CButtonST() override;

    // The button owns both bitmaps from this call on, also when it fails. The same bitmap
    // given as both is one image, shown in every state.
    int SetStateBitmaps(HBITMAP active, COLORREF activeKey, HBITMAP idle, COLORREF idleKey);
    void SetStateColor(ColorSlot slot, COLORREF colour);
    void SetImagePlacement(BYTE placement) { placement_ = placement; }
    void SetPressShift(int dx, int dy) {
        pressShiftX_ = dx;
        pressShiftY_ = dy;
    }
    void FitToImage();
    void ShowHoverFrame(BOOL show) { hoverFrame_ = show; }
    void UseParentBackground(BOOL use);
    // Where the keyboard focus goes when the button is disabled while it has it; without one,
    // to the next tab item.
    void SetFocusHeir(HWND heir) { focusHeir_ = heir; }
    // The window text names an image-only button to screen readers and in its tooltip; it is
    // never painted as a caption.
    void SetImageOnly(BOOL imageOnly);
    // A tip shown while the mouse rests on the button; an empty text removes it.
    void SetTooltipText(const std::wstring& text);
    // The second press of a double click does nothing, for buttons that start a program.
    void IgnoreDoubleClicks(BOOL ignore) { ignoreDoubleClicks_ = ignore; }

    void OnSubclass() override;
    bool PreTranslateMessage(MSG& message) override;

protected:
    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap();
    void DrawItem(const DRAWITEMSTRUCT& item) override;

    virtual void PaintFace(HDC dc, const RECT& rect);
    virtual void PaintFrame(HDC dc, const RECT& rect);
    virtual void PaintImage(HDC dc, bool hasCaption, const RECT& item, RECT& caption, BOOL pressed,
                            BOOL disabled);
    virtual void PaintCaption(HDC dc, const std::wstring& caption, const RECT& item,
                              RECT captionRect, BOOL pressed, BOOL disabled);

private:
    struct Image {
        ui::Bitmap bitmap;
        int width = 0;
        int height = 0;
        ui::Bitmap mask;
        COLORREF key = 0;
    };

    void FreeImages();
    void ResetColours();
    void PaintParentBackground(HDC dc);
    void ClearHover();
    RECT PlaceImage(const RECT& item, RECT& caption, bool hasCaption, BOOL pressed,
                    const Image& image) const;

    void OnMouseMove(UINT flags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    LRESULT OnLoseHover(WPARAM, LPARAM);
    LRESULT OnActivate(WPARAM state, LPARAM);
    LRESULT OnEnable(WPARAM enabled, LPARAM);
    LRESULT OnSysColorChange(WPARAM, LPARAM);
    LRESULT OnKillFocus(WPARAM next, LPARAM);
    LRESULT OnUpdateUiState(WPARAM, LPARAM);
    void PaintFocusCue(HDC dc, const RECT& rect);
    LRESULT OnGetDlgCode(WPARAM, LPARAM);
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
    LRESULT OnSetCheck(WPARAM state, LPARAM);
    LRESULT OnGetCheck(WPARAM, LPARAM) { return check_; }
    bool OnClicked();
    HBRUSH OnCtlColor(HDC, UINT);

    int marginX_ = 3;
    int marginY_ = 3;
    int pressShiftX_ = 1;
    int pressShiftY_ = 1;
    BOOL hovered_ = FALSE;
    BOOL parentBackground_ = FALSE;
    BOOL pressed_ = FALSE;
    BOOL focused_ = FALSE;
    BOOL disabled_ = FALSE;
    BOOL defaultButton_ = FALSE;
    BOOL checkBoxMode_ = FALSE;
    BYTE placement_ = 0;
    BOOL hoverFrame_ = TRUE;
    COLORREF colours_[6];
    ui::BitmapCanvas background_;  // the parent's pixels under the button, taken once
    BOOL check_ = FALSE;
    Image active_;
    Image idle_;
    HWND focusHeir_ = nullptr;
    bool lostFocusToDisabling_ = false;
    BOOL imageOnly_ = FALSE;
    BOOL ignoreDoubleClicks_ = FALSE;
    ui::ToolTip tooltip_;
};

// Helpers of SetStateBitmaps, usable on their own. MakeMask turns the key-colour pixels of
// the source black in place and returns a monochrome mask with those pixels set.
HBITMAP MakeMask(HBITMAP source, int width, int height, COLORREF key);
HBITMAP MakeGrayscale(HBITMAP source, int width, int height, COLORREF key);
HBITMAP MakeDarker(HBITMAP source, int width, int height, COLORREF key);

}  // namespace skin
