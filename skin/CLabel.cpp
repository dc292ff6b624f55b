#include "CLabel.h"

#include <cwchar>

#include "platform/SystemCalls.h"
#include "win32ui/Gdi.h"

namespace skin {
namespace {

const UINT_PTR kBlinkTimer = 1;

}  // namespace

CLabel::CLabel()
    : textColour_(GetSysColor(COLOR_WINDOWTEXT)),
      defaultBrush_(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CLabel::~CLabel() = default;

const ui::MessageMap& CLabel::ClassMap() {
    static const ui::MessageEntry entries[] = {
        ui::OnMessage<&CLabel::OnPaint>(WM_PAINT),
        ui::OnMessage<&CLabel::OnEraseBkgnd>(WM_ERASEBKGND),
        ui::OnMessage<&CLabel::OnTimer>(WM_TIMER),
        ui::OnMessage<&CLabel::OnSetCursor>(WM_SETCURSOR),
        ui::OnMouse<&CLabel::OnLButtonDown>(WM_LBUTTONDOWN),
        ui::OnMessage<&CLabel::OnSysColorChange>(WM_SYSCOLORCHANGE),
    };
    static const ui::MessageMap map{&ui::Static::ClassMap(), entries};
    return map;
}

void CLabel::OnSubclass() {
    ui::Static::OnSubclass();
    HFONT current = Font();
    if (!current) current = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    GetObjectW(current, sizeof(fontDescription_), &fontDescription_);
    font_.Reset(CreateFontIndirectW(&fontDescription_));
}

// --- configuration -----------------------------------------------------------------------

void CLabel::RecreateFont() {
    font_.Reset(CreateFontIndirectW(&fontDescription_));
    RedrawLabel();
}

void CLabel::RedrawLabel() {
    if (!Exists()) return;
    RECT area = WindowRect();
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HWND parent = Parent();
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
    UpdateWindow(parent);
}

CLabel& CLabel::SetBackground(COLORREF colour, COLORREF gradientEnd, BOOL gradient) {
    backgroundColour_ = colour;
    gradientEnd_ = gradientEnd;
    gradient_ = gradient;
    ownBrush_.Reset(gradient ? nullptr : CreateSolidBrush(colour));
    RedrawLabel();
    return *this;
}

CLabel& CLabel::SetForeground(COLORREF colour) {
    textColour_ = colour;
    RedrawLabel();
    return *this;
}

CLabel& CLabel::ChangeText(const std::wstring& text) {
    if (Exists()) {
        SetText(text);
        RedrawLabel();
    }
    return *this;
}

CLabel& CLabel::MakeBold(BOOL bold) {
    fontDescription_.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    RecreateFont();
    return *this;
}

CLabel& CLabel::ChangeFace(const std::wstring& face, BYTE charSet) {
    fontDescription_.lfCharSet = charSet;
    // The description holds 31 characters and a terminator; a longer name is cut.
    wcsncpy(fontDescription_.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    fontDescription_.lfFaceName[LF_FACESIZE - 1] = L'\0';
    RecreateFont();
    return *this;
}

CLabel& CLabel::MakeUnderlined(BOOL underlined) {
    fontDescription_.lfUnderline = static_cast<BYTE>(underlined);
    RecreateFont();
    return *this;
}

CLabel& CLabel::MakeItalic(BOOL italic) {
    fontDescription_.lfItalic = static_cast<BYTE>(italic);
    RecreateFont();
    return *this;
}

CLabel& CLabel::ChangePointSize(int points) {
    LOGFONTW point{};
    {
        ui::WindowDc screen(nullptr);
        point.lfHeight = -MulDiv(GetDeviceCaps(screen.Get(), LOGPIXELSY), points * 10, 720);
    }
    point.lfCharSet = DEFAULT_CHARSET;
    wcscpy(point.lfFaceName, fontDescription_.lfFaceName);
    ui::Font temporary(CreateFontIndirectW(&point));
    LOGFONTW created{};
    if (temporary && GetObjectW(temporary.Get(), sizeof(created), &created)) {
        fontDescription_.lfHeight = created.lfHeight;
        fontDescription_.lfWidth = created.lfWidth;
    }
    RecreateFont();
    return *this;
}

CLabel& CLabel::ShowStaticEdge(BOOL show) {
    ModifyStyleEx(show ? 0 : WS_EX_STATICEDGE, show ? WS_EX_STATICEDGE : 0, SWP_FRAMECHANGED);
    return *this;
}

CLabel& CLabel::ShowBorder(BOOL show) {
    ModifyStyle(show ? 0 : WS_BORDER, show ? WS_BORDER : 0, SWP_FRAMECHANGED);
    return *this;
}

CLabel& CLabel::PaintOverParent(BOOL over) {
    paintOverParent_ = over;
    ModifyStyleEx(0, WS_EX_TRANSPARENT);  // kept even when switched off again
    RedrawLabel();
    return *this;
}

// Stops the blink timer; with a mode, starts it again with the text hidden first.
void CLabel::RestartBlinking(int mode) {
    if (blinkTimerRunning_) KillTimer(Handle(), kBlinkTimer);
    if (mode == NoBlink) return;
    blinkPhase_ = FALSE;
    blinkTimerRunning_ = TRUE;
    SetTimer(Handle(), kBlinkTimer, 500, nullptr);
    blinkMode_ = mode;
}

CLabel& CLabel::BlinkText(BOOL blink) {
    RestartBlinking(blink ? BlinkingText : NoBlink);
    if (!blink) blinkMode_ = NoBlink;
    return *this;
}

CLabel& CLabel::BlinkBackground(BOOL blink) {
    RestartBlinking(blink ? BlinkingBackground : NoBlink);  // stopping leaves the mode as it was
    return *this;
}

void CLabel::SetLink(int kind, BOOL notifyParent) {
    linkKind_ = kind;
    notifyParent_ = notifyParent;
    ModifyStyle(kind ? 0 : SS_NOTIFY, kind ? SS_NOTIFY : 0);  // a static hears clicks only with it
}

CLabel& CLabel::MakeWebLink(BOOL link, BOOL notifyParent) {
    SetLink(link ? WebLink : NoLink, notifyParent);
    return *this;
}

CLabel& CLabel::MakeMailLink(BOOL mail, BOOL notifyParent) {
    SetLink(mail ? MailLink : NoLink, notifyParent);
    return *this;
}

CLabel& CLabel::SetHoverCursor(HCURSOR cursor) {
    hoverCursor_ = cursor;
    return *this;
}

CLabel& CLabel::ShowTextShadow(BOOL shadow, BOOL downRight) {
    shadow_ = shadow;
    shadowDownRight_ = downRight;
    RedrawLabel();
    return *this;
}

CLabel& CLabel::RotateText(int degrees, BOOL rotated) {
    fontDescription_.lfEscapement = fontDescription_.lfOrientation = degrees * 10;
    rotated_ = rotated;
    RecreateFont();
    return *this;
}

CLabel& CLabel::SetShadowColor(COLORREF colour) {
    shadowColour_ = colour;
    RedrawLabel();
    return *this;
}

CLabel& CLabel::ApplyFontDescription(LOGFONTW font) {
    fontDescription_ = font;
    RecreateFont();
    return *this;
}

CLabel& CLabel::SetLinkTarget(const std::wstring& target) {
    linkTarget_ = target;
    return *this;
}

// --- messages ------------------------------------------------------------------------------

LRESULT CLabel::OnTimer(WPARAM, LPARAM) {
    blinkPhase_ = !blinkPhase_;
    RedrawLabel();
    return Default();
}

LRESULT CLabel::OnSetCursor(WPARAM, LPARAM) {
    if (!hoverCursor_) return Default();
    SetCursor(hoverCursor_);
    return TRUE;
}

void CLabel::OnLButtonDown(UINT, POINT) {
    if (notifyParent_) {
        NMHDR header{Handle(), static_cast<UINT_PTR>(ControlId()), kLabelClicked};
        SendMessageW(Parent(), WM_NOTIFY, static_cast<WPARAM>(ControlId()),
                     reinterpret_cast<LPARAM>(&header));
    } else if (linkKind_ == WebLink) {
        const std::wstring target = linkTarget_.empty() ? Text() : linkTarget_;
        // Through the program's table of system calls, so that tests see what would open.
        platform::Calls().shellExecute(nullptr, L"open", target.c_str(), nullptr, nullptr,
                                       SW_SHOWNORMAL);
    } else if (linkKind_ == MailLink) {
        const std::wstring address = L"mailto:" + Text();
        platform::Calls().shellExecute(nullptr, nullptr, address.c_str(), nullptr, nullptr,
                                       SW_SHOWNORMAL);
    }
    Default();
}

LRESULT CLabel::OnSysColorChange(WPARAM, LPARAM) {
    defaultBrush_.Reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    RedrawLabel();
    return 0;
}

// --- painting ------------------------------------------------------------------------------

LRESULT CLabel::OnPaint(WPARAM, LPARAM) {
    ui::PaintDc paint(Handle());
    const RECT r = ClientRect();
    if (paintOverParent_) {
        Paint(paint.Get(), r);
        return 0;
    }
    // Off-screen first and copied in one piece, so repeated redraws do not flicker; straight
    // onto the screen when there is no memory for that.
    ui::BitmapCanvas canvas;
    if (!canvas.Create(paint.Get(), r.right, r.bottom)) {
        Paint(paint.Get(), r);
        return 0;
    }
    Paint(canvas.Dc(), r);
    BitBlt(paint.Get(), 0, 0, r.right, r.bottom, canvas.Dc(), 0, 0, SRCCOPY);
    return 0;
}

void CLabel::Paint(HDC dc, const RECT& r) {
    const std::wstring text = Text();
    const int length = static_cast<int>(text.size());
    const ui::SavedDcState keep(dc);  // mode, colours, alignment and origin go back
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour_);
    const ui::Selection fontIn(dc, font_.Get());

    if (!paintOverParent_) {
        if (gradient_)
            PaintGradient(dc, r, backgroundColour_, gradientEnd_);
        else
            FillRect(dc, &r, ownBrush_ ? ownBrush_.Get() : defaultBrush_.Get());
    }

    // Text blinking hides the text in the background brush's colour every other phase.
    LOGBRUSH brush{};
    if (ownBrush_) GetObjectW(ownBrush_.Get(), sizeof(brush), &brush);
    if (!blinkPhase_ && blinkMode_ == BlinkingText) SetTextColor(dc, brush.lbColor);

    const DWORD style = Style();
    UINT format;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            format = DT_CENTER | DT_WORDBREAK;
            break;
        case SS_RIGHT:
            format = DT_RIGHT | DT_WORDBREAK;
            break;
        case SS_LEFTNOWORDWRAP:
            format = DT_LEFT;
            break;
        default:
            format = DT_WORDBREAK;
            break;
    }
    if (text.find(L'\t') != std::wstring::npos) format |= DT_EXPANDTABS;
    if (style & SS_CENTERIMAGE)
        format = text.find(L"\r\n") != std::wstring::npos ? DT_CENTER
                                                          : DT_CENTER | DT_VCENTER | DT_SINGLELINE;

    if (rotated_) {
        // The baseline starts at the label's centre and runs in the font's direction.
        SetTextAlign(dc, TA_BASELINE);
        SetViewportOrgEx(dc, (r.right - r.left) / 2, (r.bottom - r.top) / 2, nullptr);
        TextOutW(dc, 0, 0, text.c_str(), length);
    } else {
        RECT main = r;
        DrawTextW(dc, text.c_str(), length, &main, format);
        if (shadow_) {
            SetTextColor(dc, shadowColour_);
            RECT shadow = r;
            const int offset = shadowDownRight_ ? 1 : -1;
            OffsetRect(&shadow, offset, offset);
            DrawTextW(dc, text.c_str(), length, &shadow, format);
        }
    }
}

void CLabel::PaintGradient(HDC dc, const RECT& r, COLORREF from, COLORREF to) const {
    const int width = r.right - r.left;
    const int n = width < 100 ? width : 100;
    const int d = n > 1 ? n : 1;
    // 8.8 fixed point per channel.
    int red = GetRValue(from) * 256, green = GetGValue(from) * 256, blue = GetBValue(from) * 256;
    const int redStep = ((GetRValue(to) - GetRValue(from)) * 256) / d;
    const int greenStep = ((GetGValue(to) - GetGValue(from)) * 256) / d;
    const int blueStep = ((GetBValue(to) - GetBValue(from)) * 256) / d;
    const int bandWidth = width / d;

    const ui::Selection noPen(dc, GetStockObject(NULL_PEN));
    int left = r.left;
    for (int band = 0; band < n; ++band) {
        const int right = band == n - 1 ? r.right : left + bandWidth;
        ui::Brush fill(
            CreateSolidBrush(RGB(red / 256 & 0xFF, green / 256 & 0xFF, blue / 256 & 0xFF)));
        {
            ui::Selection brushIn(dc, fill.Get());
            // Without a pen, Rectangle leaves out its right and bottom edges: one more
            // pixel each way covers the band to its last row.
            Rectangle(dc, left, r.top, right + 1, r.bottom + 1);
        }
        red += redStep;
        green += greenStep;
        blue += blueStep;
        left = right;
    }
}

}  // namespace skin
