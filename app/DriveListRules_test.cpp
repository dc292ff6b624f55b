#include "app/DriveListRules.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(DriveListRulesTest, LinesAndCaptionReadExactly) {
    EXPECT_EQ(L"WDC WD30EZRX - 2794.52GB", FormatDriveLine(L"WDC WD30EZRX", L"2794.52"));
    EXPECT_EQ(L" - GB", FormatDriveLine(L"", L""));
    EXPECT_EQ(L"Available Drives (> 2048GB)", FormatListCaption(L"Available Drives"));
    EXPECT_EQ(L"", FormatListCaption(L""));

    const std::wstring line = L"A 100% - 2794.52GB";
    EXPECT_EQ(L"Drive 3: A 100% - 2794.52GB, virtual drive 746.52GB",
              FormatRecoverTarget(L"Drive %2: %1, virtual drive %3GB", line, 3, L"746.52"));
    EXPECT_EQ(L"746.52|12|A 100% - 2794.52GB",
              FormatRecoverTarget(L"%3|%2|%1", line, 12, L"746.52"));
    EXPECT_EQ(L"%%4 %", FormatRecoverTarget(L"%%4 %", line, 1, L"x"));  // not a place: as it is
}

TEST(DriveListRulesTest, EachStateEnablesItsOperations) {
    const OperationButtons none = ButtonsForSelection(false, false);
    EXPECT_TRUE(none.createOrRescan);
    EXPECT_FALSE(none.recover);
    EXPECT_FALSE(none.partition);

    const OperationButtons plugged = ButtonsForSelection(true, true);
    EXPECT_FALSE(plugged.createOrRescan);
    EXPECT_TRUE(plugged.recover);
    EXPECT_TRUE(plugged.partition);

    // Rescan must be usable: the button reads "Rescan" in exactly this state.
    const OperationButtons rescan = ButtonsForSelection(true, false);
    EXPECT_TRUE(rescan.createOrRescan);
    EXPECT_TRUE(rescan.recover);
    EXPECT_TRUE(rescan.partition);
    EXPECT_TRUE(IsRescanState(true, false));
    EXPECT_FALSE(IsRescanState(false, false));
}

}  // namespace
}  // namespace app
