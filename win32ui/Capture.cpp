#include "Capture.h"

#include <algorithm>
#include <cstdio>

#include "Gdi.h"

namespace ui {
namespace {

Pixels CaptureFrom(HDC source, int left, int top, int width, int height) {
    Pixels pixels;
    if (!source || width <= 0 || height <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap section(CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDc memory(source);
    if (!section || !memory) return pixels;
    {
        Selection select(memory.Get(), section.Get());
        BitBlt(memory.Get(), 0, 0, width, height, source, left, top, SRCCOPY);
    }
    GdiFlush();
    pixels.width = width;
    pixels.height = height;
    pixels.rows.resize(static_cast<size_t>(width) * height);
    const auto* bgrx = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < pixels.rows.size(); ++i)
        pixels.rows[i] = RGB(bgrx[4 * i + 2], bgrx[4 * i + 1], bgrx[4 * i]);
    return pixels;
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& body) {
    PutBigEndian(out, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    PutBigEndian(out, Crc32(typed.data(), typed.size()));
}

// A zlib stream of stored (uncompressed) blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out{0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t length = std::min<size_t>(raw.size() - offset, 65535);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<uint8_t>(length));
        out.push_back(static_cast<uint8_t>(length >> 8));
        out.push_back(static_cast<uint8_t>(~length));
        out.push_back(static_cast<uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + length);
        offset += length;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(out, (b << 16) | a);
    return out;
}

}  // namespace

Pixels CaptureClient(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    WindowDc dc(window);
    return CaptureFrom(dc.Get(), 0, 0, client.right, client.bottom);
}

Pixels CaptureWindow(HWND window) {
    RECT frame{};
    GetWindowRect(window, &frame);
    HDC dc = GetWindowDC(window);
    Pixels pixels = CaptureFrom(dc, 0, 0, frame.right - frame.left, frame.bottom - frame.top);
    if (dc) ReleaseDC(window, dc);
    return pixels;
}

Pixels CaptureScreen(const RECT& area) {
    HDC screen = GetDC(nullptr);
    Pixels pixels =
        CaptureFrom(screen, area.left, area.top, area.right - area.left, area.bottom - area.top);
    if (screen) ReleaseDC(nullptr, screen);
    return pixels;
}

bool SavePng(const Pixels& pixels, const std::wstring& path) {
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(pixels.height) * (1 + 3 * pixels.width));
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF c = pixels.At(x, y);
            raw.insert(raw.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
    }
    std::vector<uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(pixels.width));
    PutBigEndian(header, static_cast<uint32_t>(pixels.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutChunk(file, "IHDR", header);
    PutChunk(file, "IDAT", StoredZlib(raw));
    PutChunk(file, "IEND", {});

    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    const bool written = fwrite(file.data(), 1, file.size(), out) == file.size();
    return fclose(out) == 0 && written;
}

}  // namespace ui
