#include "platform/Utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace platform {
namespace {

TEST(Utf16, RoundTripsThroughBytesAndStopsAtTheTerminator) {
    std::vector<uint8_t> bytes(16, 0xEE);
    WriteUtf16z(ToUtf16(L"\\Dev"), bytes.data());
    EXPECT_EQ((std::vector<uint8_t>{'\\', 0, 'D', 0, 'e', 0, 'v', 0, 0, 0, 0xEE}),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 11));
    EXPECT_EQ(L"\\Dev", FromUtf16Bytes(bytes.data(), bytes.size()));
}

TEST(Utf16, NeverReadsPastTheBytesWithoutATerminator) {
    const uint8_t bytes[] = {'A', 0, 'B', 0, 'C'};  // odd length, no terminator
    EXPECT_EQ(L"AB", FromUtf16Bytes(bytes, sizeof(bytes)));
    EXPECT_EQ(L"", FromUtf16Bytes(bytes, 1));
}

TEST(Utf16, KeepsCharactersBeyondTheBasicPlane) {
    const std::wstring text = L"x\U0001F5B4y";
    const std::u16string units = ToUtf16(text);
    ASSERT_EQ(4u, units.size());
    EXPECT_EQ(0xD83D, units[1]);
    EXPECT_EQ(0xDDB4, units[2]);
    std::vector<uint8_t> bytes(2 * units.size() + 2);
    WriteUtf16z(units, bytes.data());
    EXPECT_EQ(text, FromUtf16Bytes(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace platform
