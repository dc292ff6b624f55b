#include "disk/IdText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace disk {
namespace {

TEST(NormalizeIdTextTest, CleansTheTextsDrivesReport) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"WXY     ", "WXY"},
        {"XY3000-Z1  ", "XY3000-Z1"},
        {"  padded both  ", "padded both"},
        {"313233", "313233"},  // a hex dump with content stays as it is
        {"4142 ", "4142"},
        {"0000", ""},  // zero pairs and blanks mean no text
        {"    ", ""},
        {"0", ""},
        {"00A", ""},  // the trailing single digit is dropped
        {"0 0 00", ""},
        {"", ""},
        {"Disk\tOne", ""},  // not printable
        {"Caf\xE9", ""},
        {"00g", "00g"},
        {"0001", "0001"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, NormalizeIdText(c.in)) << '"' << c.in << '"';
}

std::vector<uint8_t> Reply(int32_t vendorOffset, int32_t productOffset, const char* text,
                           size_t at) {
    std::vector<uint8_t> b(64, 0);
    std::memcpy(b.data() + 12, &vendorOffset, 4);
    std::memcpy(b.data() + 16, &productOffset, 4);
    std::memcpy(b.data() + at, text, std::strlen(text) + 1);
    return b;
}

TEST(DescriptorTextTest, ReadsOnlyInsideTheReturnedBytes) {
    auto b = Reply(40, 0, "VENDOR", 40);
    EXPECT_EQ("VENDOR", DescriptorText(b.data(), b.size(), 12));
    EXPECT_EQ("", DescriptorText(b.data(), b.size(), 16));  // offset 0: absent
    EXPECT_EQ("", DescriptorText(b.data(), 44, 12));        // terminator not returned
    EXPECT_EQ("", DescriptorText(b.data(), 40, 12));        // offset at the end
    EXPECT_EQ("", DescriptorText(b.data(), 14, 12));        // offset field cut off
    b = Reply(-8, 1000, "", 40);
    EXPECT_EQ("", DescriptorText(b.data(), b.size(), 12));  // negative
    EXPECT_EQ("", DescriptorText(b.data(), b.size(), 16));  // beyond the reply
}

// The reply ends exactly with the offset field, or exactly with the text's terminator: both
// are read; one byte less and they are not.
TEST(DescriptorTextTest, ReadsUpToTheLastReturnedByteAndNotOnePast) {
    std::vector<uint8_t> b(20, 0);
    const int32_t textAt = 4;
    std::memcpy(b.data() + 16, &textAt, 4);
    std::memcpy(b.data() + 4, "AB", 3);
    EXPECT_EQ("AB", DescriptorText(b.data(), 20, 16));  // the field's last byte is the reply's
    EXPECT_EQ("", DescriptorText(b.data(), 19, 16));

    std::vector<uint8_t> c(24, 0);
    const int32_t lastText = 20;
    std::memcpy(c.data() + 12, &lastText, 4);
    std::memcpy(c.data() + 20, "XYZ", 4);
    EXPECT_EQ("XYZ", DescriptorText(c.data(), 24, 12));  // terminator in the last byte
    EXPECT_EQ("", DescriptorText(c.data(), 23, 12));     // terminator not returned
    const int32_t lastByte = 23;
    std::memcpy(c.data() + 12, &lastByte, 4);
    EXPECT_EQ("", DescriptorText(c.data(), 24, 12));  // an empty text at the very end
    c[23] = 'Q';
    EXPECT_EQ("", DescriptorText(c.data(), 24, 12));  // no room for a terminator
}

TEST(DescriptorTextTest, CutsLongTextsAt999Characters) {
    std::vector<uint8_t> b(40 + 1500 + 1, 'a');
    const int32_t offset = 40;
    std::memcpy(b.data() + 16, &offset, 4);
    b.back() = 0;
    EXPECT_EQ(std::string(999, 'a'), DescriptorText(b.data(), b.size(), 16));
}

TEST(DescriptorTextTest, BusTypeNeedsASizeThatHoldsIt) {
    std::vector<uint8_t> b(40, 0);
    uint32_t size = 40, bus = 11;
    std::memcpy(b.data() + 4, &size, 4);
    std::memcpy(b.data() + 28, &bus, 4);
    EXPECT_EQ(11u, DescriptorBusType(b.data(), b.size()));
    EXPECT_EQ(0u, DescriptorBusType(b.data(), 31));
    size = 31;
    std::memcpy(b.data() + 4, &size, 4);
    EXPECT_EQ(0u, DescriptorBusType(b.data(), b.size()));
}

}  // namespace
}  // namespace disk
