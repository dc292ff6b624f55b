// UTF-16 text as it travels in records and buffers, whatever the width of wchar_t.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// UTF-16 code units of text; on Linux, characters beyond U+FFFF become surrogate pairs.
std::u16string ToUtf16(const std::wstring& text);

// Text from UTF-16LE bytes, up to the first zero unit or the end of the bytes, whichever
// comes first, so a missing terminator never makes it read past the buffer.
std::wstring FromUtf16Bytes(const void* bytes, size_t byteCount);

// Writes the code units of text and one zero unit as UTF-16LE at dest.
void WriteUtf16z(const std::u16string& text, void* dest);

}  // namespace platform
