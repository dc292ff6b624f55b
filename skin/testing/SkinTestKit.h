// Test helper, not product code. What the skinned-control tests share: bitmaps with known
// pixels, a dialog to put controls on, repainting and reading back, and counting GDI objects.
#pragma once

#include <windows.h>

#include <algorithm>
#include <climits>
#include <functional>

#include "skin/CDialogSK.h"
#include "skin/CLabel.h"
#include "skin/testing/SkinTestIds.h"
#include "win32ui/Capture.h"
#include "win32ui/Gdi.h"
#include "win32ui/Window.h"
#include "win32ui/testing/GdiLedger.h"

namespace skin::test {

// A bitmap compatible with the screen, as LoadImage makes them, with one colour per pixel.
inline HBITMAP MakeBitmap(int width, int height,
                          const std::function<COLORREF(int, int)>& colourAt) {
    ui::WindowDc screen(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), width, height);
    ui::MemoryDc memory(screen.Get());
    ui::Selection into(memory.Get(), bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) SetPixel(memory.Get(), x, y, colourAt(x, y));
    return bitmap;
}

inline COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
    ui::MemoryDc memory(nullptr);
    ui::Selection into(memory.Get(), bitmap);
    return GetPixel(memory.Get(), x, y);
}

inline size_t GdiObjectCount() {
    return ui::testing::LiveGdiObjects();
}

// A font whose glyphs have no blended edge pixels, so text colours can be compared exactly.
inline HFONT CrispFont(int height = -13, int weight = FW_BOLD) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfQuality = NONANTIALIASED_QUALITY;
    wcscpy(font.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&font);
}

// The bounding box of the pixels of one colour; empty when there is none.
struct Box {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    bool Empty() const { return right < 0; }
};

inline Box BoxOf(const ui::Pixels& pixels, COLORREF colour) {
    Box box;
    for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x)
            if (pixels.At(x, y) == colour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// The test dialog: a borderless popup whose controls the tests place in pixels.
class TestDialog : public CDialogSK {
public:
    TestDialog() : CDialogSK(IDD_SKIN_TEST, nullptr) {}
    std::function<void(TestDialog&)> bind;
    std::function<LRESULT(const NMHDR&)> onLabelClicked;  // from the label IDC_LEFT_TEXT
    int clicksA = 0;

    void Place(int id, int x, int y, int width, int height) {
        SetWindowPos(Item(id), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void SetClientSize(int width, int height) {
        SetWindowPos(Handle(), nullptr, 40, 40, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    using CDialogSK::Bind;
    using CDialogSK::Item;

protected:
    const ui::MessageMap& GetMessageMap() const override { return ClassMap(); }
    static const ui::MessageMap& ClassMap() {
        static const ui::MessageEntry entries[] = {
            ui::OnCommand<&TestDialog::OnClickedA>(IDC_BUTTON_A),
            ui::OnNotify<&TestDialog::OnLabelClicked>(IDC_LEFT_TEXT, kLabelClicked),
        };
        static const ui::MessageMap map{&CDialogSK::ClassMap(), entries};
        return map;
    }
    void DoDataExchange() override {
        if (bind) bind(*this);
    }

private:
    void OnClickedA() { ++clicksA; }
    LRESULT OnLabelClicked(const NMHDR& note) { return onLabelClicked ? onLabelClicked(note) : 0; }
};

}  // namespace skin::test
