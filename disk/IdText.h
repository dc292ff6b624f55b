// Vendor and product texts as drives report them in their storage descriptor: found
// safely inside the reply, then cleaned of hex dumps, control characters and padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace disk {

// Longest text kept from a descriptor; longer ones are cut.
inline constexpr size_t kMaxIdTextLength = 999;

// A text made only of zero hex pairs and blanks becomes empty, a text with a character that
// is not printable becomes empty, and any other text loses its leading and trailing blanks.
std::string NormalizeIdText(const std::string& source);

// The zero-terminated text that the 32-bit offset field at offsetField of a descriptor
// reply points to. Absent (empty) when the offset is not above 0, points outside the bytes
// returned, or the text has no terminator inside them.
std::string DescriptorText(const uint8_t* reply, size_t replyBytes, size_t offsetField);

// The descriptor's BusType, or 0 (unknown) when the reply is too short to hold it.
uint32_t DescriptorBusType(const uint8_t* reply, size_t replyBytes);

}  // namespace disk
