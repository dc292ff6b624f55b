#include "app/CapacityMath.h"

#include <gtest/gtest.h>

#include <utility>

namespace app {
namespace {

constexpr int64_t kGiB = int64_t{1} << 30;

std::pair<int, int> Tenths(double physicalGiB, double virtualGiB) {
    uint8_t p = 99, v = 99;
    ComputeCapacityTenths(static_cast<int64_t>(physicalGiB * kGiB),
                          static_cast<int64_t>(virtualGiB * kGiB), &p, &v);
    return {p, v};
}

TEST(CapacityMathTest, TenthsFollowTheShareWithinThreeAndSeven) {
    EXPECT_EQ(std::make_pair(7, 3), Tenths(2048, 746.52));  // 73 %
    EXPECT_EQ(std::make_pair(5, 5), Tenths(100, 100));
    EXPECT_EQ(std::make_pair(3, 7), Tenths(30, 70));
    EXPECT_EQ(std::make_pair(6, 4), Tenths(69.9, 30.1));
    EXPECT_EQ(std::make_pair(7, 3), Tenths(70.5, 29.5));
    EXPECT_EQ(std::make_pair(3, 7), Tenths(1, 99));
    EXPECT_EQ(std::make_pair(7, 3), Tenths(99, 1));
}

std::pair<int, int> TenthsOfBytes(int64_t physical, int64_t virtualBytes) {
    uint8_t p = 99, v = 99;
    ComputeCapacityTenths(physical, virtualBytes, &p, &v);
    return {p, v};
}

// Shares within about 1e-7 of a tens boundary: rounded to single precision at every step they
// reach the boundary; kept in the x87 unit's extended precision they fall one short. Every
// build must give the same tenths.
TEST(CapacityMathTest, ABoundaryShareComesOutTheSameInEveryBuild) {
    EXPECT_EQ(std::make_pair(7, 3),
              TenthsOfBytes(2048 * kGiB, 942438538078));  // V = 877.7142857 GiB
    EXPECT_EQ(std::make_pair(6, 4), TenthsOfBytes(3000 * kGiB, 2147483717632));  // 60 %
    EXPECT_EQ(std::make_pair(6, 4), TenthsOfBytes(1500 * kGiB, 1073741860864));
    EXPECT_EQ(std::make_pair(5, 5), TenthsOfBytes(2048 * kGiB, 2048 * kGiB + 135168));  // 50 %
    EXPECT_EQ(std::make_pair(5, 5), TenthsOfBytes(3000 * kGiB, 3000 * kGiB + 135168));
    EXPECT_EQ(std::make_pair(4, 6), TenthsOfBytes(2048 * kGiB, 3298535018495));  // 40 %
    EXPECT_EQ(std::make_pair(4, 6), TenthsOfBytes(2200 * kGiB, 3543348154368));
    // A little more virtual space and the share is below the boundary in every build.
    EXPECT_EQ(std::make_pair(6, 4), TenthsOfBytes(2048 * kGiB, 942438538078 + 4 * 1048576));
    EXPECT_EQ(std::make_pair(4, 6), TenthsOfBytes(2048 * kGiB, 2048 * kGiB + 4 * 1048576));
}

TEST(CapacityMathTest, WithoutTwoPositiveSizesNothingIsWritten) {
    uint8_t p = 42, v = 43;
    EXPECT_FALSE(ComputeCapacityTenths(2048 * kGiB, 0, &p, &v));
    EXPECT_FALSE(ComputeCapacityTenths(-1, 5 * kGiB, &p, &v));
    EXPECT_EQ(42, p);
    EXPECT_EQ(43, v);
}

TEST(CapacityMathTest, SegmentZeroAbsorbsTheRemainder) {
    // An inner width of 377 pixels: unit 37, virtual 111, physical 266.
    const auto boxes = LayoutSegments(10, 10 + 383, {7, 3});
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(13, boxes[0].left);
    EXPECT_EQ(266, boxes[0].width);
    EXPECT_EQ(13 + 266, boxes[1].left);
    EXPECT_EQ(111, boxes[1].width);

    const auto whole = LayoutSegments(0, 383, {100});
    ASSERT_EQ(1u, whole.size());
    EXPECT_EQ(377, whole[0].width);
    EXPECT_TRUE(LayoutSegments(0, 383, {0, 0}).empty());
}

TEST(CapacityMathTest, PanelPlanForEachState) {
    const int64_t physical = 2048 * kGiB;
    const int64_t virtualBytes = static_cast<int64_t>(746.52 * kGiB);
    CapacityPlan plan = PlanCapacityPanel(1, 1, physical, virtualBytes);
    EXPECT_EQ((std::vector<uint8_t>{7, 3}), plan.widths);
    EXPECT_EQ((std::vector<uint32_t>{kSegmentBlue, kSegmentBlue}), plan.colours);
    EXPECT_EQ(L"2048GB", plan.valueTexts[0]);
    EXPECT_EQ(L"Corvane\n746.52GB", plan.valueTexts[1]);
    EXPECT_EQ(L"Physical", plan.barTexts[0]);
    EXPECT_EQ(L"Virtual", plan.barTexts[1]);

    // Not plugged in: the virtual segment turns silver.
    plan = PlanCapacityPanel(1, 0, physical, virtualBytes);
    EXPECT_EQ((std::vector<uint32_t>{kSegmentBlue, kSegmentSilver}), plan.colours);

    // No virtual drive, a flag other than 1, or no virtual size: one silver segment, no text.
    for (const CapacityPlan& single :
         {PlanCapacityPanel(0, 0, physical, virtualBytes),
          PlanCapacityPanel(2, 1, physical, virtualBytes), PlanCapacityPanel(1, 1, physical, 0),
          PlanCapacityPanel(1, 1, physical, -5)}) {
        EXPECT_EQ((std::vector<uint8_t>{100}), single.widths);
        EXPECT_EQ((std::vector<uint32_t>{kSegmentSilver}), single.colours);
        EXPECT_EQ(L"", single.barTexts[0]);
        EXPECT_EQ(L"", single.valueTexts[0]);
    }
}

}  // namespace
}  // namespace app
