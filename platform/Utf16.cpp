#include "Utf16.h"

#include <cstring>

namespace platform {

std::u16string ToUtf16(const std::wstring& text) {
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        const auto c = static_cast<uint32_t>(wc);
        if constexpr (sizeof(wchar_t) > 2) {
            if (c > 0xFFFF) {
                const uint32_t v = c - 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
                continue;
            }
        }
        out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

std::wstring FromUtf16Bytes(const void* bytes, size_t byteCount) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    std::wstring out;
    for (size_t i = 0; i + 1 < byteCount; i += 2) {
        uint32_t unit = p[i] | (p[i + 1] << 8);
        if (unit == 0) break;
        if constexpr (sizeof(wchar_t) > 2) {
            if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < byteCount) {
                const uint32_t low = p[i + 2] | (p[i + 3] << 8);
                if (low >= 0xDC00 && low < 0xE000) {
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

void WriteUtf16z(const std::u16string& text, void* dest) {
    auto* p = static_cast<uint8_t*>(dest);
    for (char16_t unit : text) {
        *p++ = static_cast<uint8_t>(unit & 0xFF);
        *p++ = static_cast<uint8_t>(unit >> 8);
    }
    p[0] = p[1] = 0;
}

}  // namespace platform
