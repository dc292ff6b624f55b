// Reads back what a window shows, for tests that check painted pixels and for screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> rows;  // top row first

    COLORREF At(int x, int y) const { return rows[static_cast<size_t>(y) * width + x]; }
};

// The client area of a window as it is on the screen now (children included, since they
// draw into their top-level window's surface).
Pixels CaptureClient(HWND window);
// The whole window, frame included.
Pixels CaptureWindow(HWND window);

// What the screen shows in the area (screen coordinates), whichever process drew it.
Pixels CaptureScreen(const RECT& area);

// Writes an uncompressed PNG file; false when the file cannot be written.
bool SavePng(const Pixels& pixels, const std::wstring& path);

}  // namespace ui
