// Feeds arbitrary bytes to the descriptor decoding and the text normalising, as a drive's
// firmware could: nothing may read outside the reply or grow past the length limit.
#include <cstddef>
#include <cstdint>

#include "disk/IdText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (size_t field : {size_t{12}, size_t{16}, size_t{20}, size_t{24}}) {
        const std::string text = disk::DescriptorText(data, size, field);
        if (text.size() > disk::kMaxIdTextLength) __builtin_trap();
        const std::string clean = disk::NormalizeIdText(text);
        if (clean.size() > text.size()) __builtin_trap();
        for (unsigned char c : clean)
            if (c < 0x20 || c > 0x7E) __builtin_trap();  // only printable characters remain
        if (!clean.empty() && clean.front() == ' ' &&
            clean.find_first_not_of(' ') != std::string::npos)
            __builtin_trap();  // trimmed, unless all blanks
    }
    (void)disk::DescriptorBusType(data, size);
    // The whole input as one text, without the 999-character cut.
    const std::string raw(reinterpret_cast<const char*>(data), size);
    (void)disk::NormalizeIdText(raw.substr(0, raw.find('\0')));
    return 0;
}
