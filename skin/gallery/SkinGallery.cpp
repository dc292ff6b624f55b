// A window that shows each skinned control in its main states, for a person to look at.
//   SkinGallery.exe                        runs until closed
//   SkinGallery.exe --screenshot file.png  saves what it shows and ends
#include <windows.h>

#include <string>

#include "skin/CButtonST.h"
#include "skin/CDialogSK.h"
#include "skin/CLabel.h"
#include "skin/gallery/GalleryIds.h"
#include "win32ui/Capture.h"
#include "win32ui/Window.h"

namespace {

const COLORREF kInk = RGB(24, 48, 84);
const COLORREF kHeadingInk = RGB(255, 255, 255);

// The gallery's own bitmaps, at the given size (0: their own).
HBITMAP LoadGalleryBitmap(int id, int width = 0, int height = 0) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                           IMAGE_BITMAP, width, height, 0));
}

class GalleryDialog : public skin::CDialogSK {
public:
    GalleryDialog() : CDialogSK(IDD_GALLERY, nullptr) {}

    void ShowStates() {
        // The hover state comes from the mouse itself.
        const RECT hover = buttons_[1].WindowRect();
        SetCursorPos((hover.left + hover.right) / 2, (hover.top + hover.bottom) / 2);
        buttons_[1].Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        buttons_[2].SetState(true);
    }

protected:
    void DoDataExchange() override {
        const int buttonIds[] = {IDC_IDLE, IDC_HOVER, IDC_PRESSED,  IDC_DISABLED, IDC_CHECKED,
                                 IDC_GREY, IDC_CLOSE, IDC_MINIMIZE, IDC_UPDATE,   IDC_HELP_BUTTON};
        for (size_t i = 0; i < std::size(buttonIds); ++i) Bind(buttons_[i], buttonIds[i]);
        const int labelIds[] = {
            IDC_HEADING,       IDC_BUILD,        IDC_IDLE_NOTE, IDC_HOVER_NOTE, IDC_PRESSED_NOTE,
            IDC_DISABLED_NOTE, IDC_CHECKED_NOTE, IDC_GREY_NOTE, IDC_GRADIENT,   IDC_SOLID,
            IDC_LINK,          IDC_RIGHT,        IDC_ROTATED,   IDC_CENTRED};
        for (size_t i = 0; i < std::size(labelIds); ++i) Bind(labels_[i], labelIds[i]);
    }

    BOOL OnInitDialog() override {
        CDialogSK::OnInitDialog();
        SetText(L"Skinned controls");
        SetBackgroundBitmap(LoadGalleryBitmap(IDB_GALLERY_BACKGROUND));
        SetBackgroundLayout(skin::Stretch);
        SetColorKey(RGB(255, 0, 255));
        EnableDragMove(TRUE);

        struct Look {
            int active, idle;
            COLORREF key;
        };
        const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
        const Look looks[] = {
            {IDB_ACTION_ACTIVE, IDB_ACTION_IDLE, black},
            {IDB_ACTION_ACTIVE, IDB_ACTION_IDLE, black},
            {IDB_ACTION_ACTIVE, IDB_ACTION_IDLE, black},
            {IDB_ACTION_ACTIVE, IDB_ACTION_IDLE, black},
            {IDB_ACTION_ACTIVE, IDB_ACTION_IDLE, black},
            {IDB_ACTION_ACTIVE, 0, black},
            {IDB_CLOSE_ACTIVE, IDB_CLOSE_IDLE, white},
            {IDB_MINIMIZE_ACTIVE, IDB_MINIMIZE_IDLE, white},
            {IDB_UPDATE_ACTIVE, IDB_UPDATE_IDLE, white},
            {IDB_HELP_ACTIVE, IDB_HELP_IDLE, white},
        };
        for (size_t i = 0; i < std::size(looks); ++i) {
            skin::CButtonST& button = buttons_[i];
            const RECT size = button.ClientRect();
            HBITMAP idle = looks[i].idle ? LoadGalleryBitmap(looks[i].idle, size.right, size.bottom)
                                         : skin::CButtonST::AutoGrayscale;
            button.SetStateBitmaps(LoadGalleryBitmap(looks[i].active, size.right, size.bottom),
                                   looks[i].key, idle, looks[i].key);
            button.SetImagePlacement(3);
            button.SetStateColor(skin::CButtonST::IdleText, kInk);
            button.SetStateColor(skin::CButtonST::ActiveText, RGB(255, 255, 255));
            button.FitToImage();
            button.ShowHoverFrame(FALSE);
            button.UseParentBackground(TRUE);
            if (i < 6) button.SetPressShift(0, 2);
        }
        buttons_[3].Enable(false);
        buttons_[4].SetCheck(BST_CHECKED);

        labels_[0].SetForeground(kHeadingInk).SetShadowColor(RGB(0, 0, 0));
        labels_[0].ChangePointSize(10).MakeBold(TRUE).PaintOverParent(TRUE);
        labels_[1].SetForeground(RGB(200, 220, 240)).PaintOverParent(TRUE);
        for (int i = 2; i <= 7; ++i)
            labels_[i].SetForeground(RGB(90, 100, 115)).PaintOverParent(TRUE);
        labels_[8]
            .SetBackground(RGB(22, 78, 140), RGB(200, 225, 250), TRUE)
            .SetForeground(kHeadingInk);
        labels_[9]
            .SetBackground(RGB(226, 234, 244))
            .SetForeground(kInk)
            .SetShadowColor(RGB(160, 180, 210));
        labels_[9].ShowTextShadow(TRUE, TRUE);
        labels_[10].SetForeground(RGB(0, 90, 200)).MakeUnderlined(TRUE).PaintOverParent(TRUE);
        labels_[10].MakeWebLink(TRUE).SetHoverCursor(LoadCursorW(nullptr, IDC_HAND));
        labels_[11].SetForeground(kInk).PaintOverParent(TRUE);
        labels_[12].SetForeground(kInk).ChangeFace(L"Tahoma").ChangePointSize(14).RotateText(90,
                                                                                             TRUE);
        labels_[12].PaintOverParent(TRUE);
        labels_[13].SetBackground(RGB(255, 255, 255)).SetForeground(kInk);
        return TRUE;
    }

private:
    void OnClose() { EndDialog(IDCANCEL); }
    void OnMinimize() { Show(SW_MINIMIZE); }

    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap() {
        static const ui::MessageEntry entries[] = {
            ui::OnCommand<&GalleryDialog::OnClose>(IDC_CLOSE),
            ui::OnCommand<&GalleryDialog::OnMinimize>(IDC_MINIMIZE),
        };
        static const ui::MessageMap map{&CDialogSK::ClassMap(), entries};
        return map;
    }

    skin::CButtonST buttons_[10];
    skin::CLabel labels_[14];
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring screenshot =
        count == 3 && std::wstring(arguments[1]) == L"--screenshot" ? arguments[2] : L"";
    LocalFree(arguments);

    GalleryDialog gallery;
    if (screenshot.empty()) return gallery.DoModal() == -1 ? 1 : 0;

    if (!gallery.CreateModeless()) return 1;
    SetWindowPos(gallery.Handle(), HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ui::PumpMessagesFor(200);
    gallery.ShowStates();
    ui::PumpMessagesFor(300);
    const bool saved = ui::SavePng(ui::CaptureWindow(gallery.Handle()), screenshot);
    gallery.DestroyWindow();
    return saved ? 0 : 1;
}
