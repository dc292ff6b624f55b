// Reading and writing little-endian fields of a raw request at their offsets, so that the
// stand-in decodes what the client really sent instead of sharing the client's structs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim::wire {

using Bytes = std::vector<uint8_t>;

inline uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

inline void PutU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void PutU64(Bytes& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A zero-terminated UTF-16LE text inside [at, at + maxBytes); false when no terminator lies
// inside the field.
inline bool Text(const Bytes& b, size_t at, size_t maxBytes, std::u16string& out) {
    out.clear();
    for (size_t i = at; i + 1 < at + maxBytes && i + 1 < b.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
        if (unit == 0) return true;
        out.push_back(unit);
    }
    return false;
}

// Writes text and its terminator into a field of maxBytes, cutting it to fit.
inline void PutText(Bytes& b, size_t at, size_t maxBytes, const std::u16string& text) {
    size_t i = 0;
    for (; i < text.size() && 2 * (i + 1) < maxBytes; ++i) {
        b[at + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        b[at + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    b[at + 2 * i] = b[at + 2 * i + 1] = 0;
}

}  // namespace sim::wire
