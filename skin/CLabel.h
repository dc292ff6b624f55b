// The self-painted static text: its own font and colours, an opaque background (solid or a
// horizontal gradient, drawn off-screen and copied in one piece) or the parent's pixels, and
// blinking, a one-pixel shadow pass, rotated text and clicks that open a link or notify the
// parent.
#pragma once

#include <string>

#include "win32ui/Controls.h"
#include "win32ui/Gdi.h"

namespace skin {

// The notification code a notify-parent label sends with WM_NOTIFY when clicked.
constexpr UINT kLabelClicked = 0x8200;

class CLabel : public ui::Static {
public:
    enum LinkKind { NoLink = 0, WebLink = 1, MailLink = 2 };
    enum BlinkMode { NoBlink = 0, BlinkingText = 1, BlinkingBackground = 2 };

    CLabel();
    ~CLabel() override;

    virtual CLabel& SetBackground(COLORREF colour, COLORREF gradientEnd = 0, BOOL gradient = FALSE);
    virtual CLabel& SetForeground(COLORREF colour);
    virtual CLabel& ChangeText(const std::wstring& text);
    virtual CLabel& MakeBold(BOOL bold);
    virtual CLabel& ChangeFace(const std::wstring& face, BYTE charSet = DEFAULT_CHARSET);
    virtual CLabel& MakeUnderlined(BOOL underlined);
    virtual CLabel& MakeItalic(BOOL italic);
    virtual CLabel& ChangePointSize(int points);
    virtual CLabel& ShowStaticEdge(BOOL show);
    virtual CLabel& ShowBorder(BOOL show);
    virtual CLabel& PaintOverParent(BOOL over);
    virtual CLabel& BlinkText(BOOL blink);
    virtual CLabel& BlinkBackground(BOOL blink);
    virtual CLabel& MakeWebLink(BOOL link, BOOL notifyParent = FALSE);
    virtual CLabel& SetHoverCursor(HCURSOR cursor);
    virtual CLabel& ShowTextShadow(BOOL shadow, BOOL downRight = TRUE);
    virtual CLabel& RotateText(int degrees, BOOL rotated);
    virtual CLabel& SetShadowColor(COLORREF colour);
    virtual CLabel& ApplyFontDescription(LOGFONTW font);
    virtual CLabel& MakeMailLink(BOOL mail, BOOL notifyParent = FALSE);
    virtual CLabel& SetLinkTarget(const std::wstring& target);

    void OnSubclass() override;
    // Repaints the label at once, then the parent's area under it.
    void RedrawLabel();

protected:
    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap();

private:
    void RecreateFont();
    void RestartBlinking(int mode);
    void SetLink(int kind, BOOL notifyParent);
    void PaintGradient(HDC dc, const RECT& rect, COLORREF from, COLORREF to) const;
    void Paint(HDC target, const RECT& rect);

    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnEraseBkgnd(WPARAM, LPARAM) { return TRUE; }
    LRESULT OnTimer(WPARAM, LPARAM);
    LRESULT OnSetCursor(WPARAM, LPARAM);
    void OnLButtonDown(UINT flags, POINT point);
    LRESULT OnSysColorChange(WPARAM, LPARAM);

    COLORREF textColour_;
    COLORREF shadowColour_ = RGB(255, 255, 255);
    ui::Brush defaultBrush_;
    ui::Brush ownBrush_;
    LOGFONTW fontDescription_{};
    ui::Font font_;
    BOOL blinkPhase_ = FALSE;
    BOOL blinkTimerRunning_ = FALSE;
    int linkKind_ = NoLink;
    BOOL paintOverParent_ = FALSE;
    BOOL shadow_ = FALSE;
    BOOL notifyParent_ = FALSE;
    BOOL rotated_ = FALSE;
    int blinkMode_ = NoBlink;
    HCURSOR hoverCursor_ = nullptr;
    BOOL shadowDownRight_ = FALSE;
    BOOL gradient_ = FALSE;
    COLORREF gradientEnd_ = 0;
    COLORREF backgroundColour_ = 0;
    std::wstring linkTarget_;
};

}  // namespace skin
