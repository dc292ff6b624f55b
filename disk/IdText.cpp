#include "disk/IdText.h"

#include <cstring>

namespace disk {

namespace {

// The C locale's classes; bytes from 0x80 up are neither blank nor printable.
bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsPrint(unsigned char c) {
    return c >= 0x20 && c <= 0x7E;
}
unsigned char ToLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

// Some drives report their texts as hex dumps padded with zero pairs; a dump that holds
// nothing but zeros means "no text".
bool IsZeroHexDump(const std::string& source) {
    unsigned char byte = 0;
    int nibbles = 0;
    for (unsigned char c : source) {
        c = ToLower(c);
        if (IsSpace(c)) c = '0';
        byte = static_cast<unsigned char>(byte << 4);
        ++nibbles;
        if (c >= '0' && c <= '9')
            byte |= c - '0';
        else if (c >= 'a' && c <= 'f')
            byte |= c - 'a' + 10;
        else
            return false;
        if (nibbles == 2) {
            if (byte != 0) return false;
            byte = 0;
            nibbles = 0;
        }
    }
    return true;  // a trailing single digit is dropped
}

}  // namespace

std::string NormalizeIdText(const std::string& source) {
    if (IsZeroHexDump(source)) return {};
    for (unsigned char c : source)
        if (!IsPrint(c)) return {};
    size_t first = 0;
    while (first < source.size() && IsSpace(source[first])) ++first;
    if (first == source.size()) return source;  // all blanks: left as it is
    size_t last = source.size() - 1;
    while (IsSpace(source[last])) --last;
    return source.substr(first, last - first + 1);
}

std::string DescriptorText(const uint8_t* reply, size_t replyBytes, size_t offsetField) {
    if (offsetField + 4 > replyBytes) return {};
    int32_t offset = 0;
    std::memcpy(&offset, reply + offsetField, sizeof(offset));
    if (offset <= 0 || static_cast<size_t>(offset) >= replyBytes) return {};
    const char* text = reinterpret_cast<const char*>(reply + offset);
    const void* end = std::memchr(text, 0, replyBytes - offset);
    if (!end) return {};
    const size_t length = static_cast<const char*>(end) - text;
    return std::string(text, length < kMaxIdTextLength ? length : kMaxIdTextLength);
}

uint32_t DescriptorBusType(const uint8_t* reply, size_t replyBytes) {
    constexpr size_t kBusTypeOffset = 28;
    uint32_t size = 0;
    if (replyBytes >= 8) std::memcpy(&size, reply + 4, sizeof(size));
    if (size < kBusTypeOffset + 4 || replyBytes < kBusTypeOffset + 4) return 0;
    uint32_t busType = 0;
    std::memcpy(&busType, reply + kBusTypeOffset, sizeof(busType));
    return busType;
}

}  // namespace disk
