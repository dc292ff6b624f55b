#include "app/ToolPaths.h"
#include "app/SystemErrorText.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(ToolPathsTest, HelpFileFollowsTheWholeLanguageIdentifier) {
    EXPECT_STREQ(L"\\Overreach_TC.chm", HelpFileFor(0x0404));  // Chinese, Taiwan
    EXPECT_STREQ(L"\\Overreach_SC.chm", HelpFileFor(0x0804));  // Chinese, PRC
    // The same primary language with another sublanguage is not Taiwan or the PRC.
    EXPECT_STREQ(L"\\Overreach_En.chm", HelpFileFor(0x0C04));  // Hong Kong
    EXPECT_STREQ(L"\\Overreach_En.chm", HelpFileFor(0x1004));  // Singapore
    EXPECT_STREQ(L"\\Overreach_En.chm", HelpFileFor(0x1404));  // Macao
    EXPECT_STREQ(L"\\Overreach_En.chm", HelpFileFor(0x0409));
    EXPECT_STREQ(L"\\Overreach_En.chm", HelpFileFor(0x0004));  // neutral Chinese
}

TEST(ToolPathsTest, InstallFolderAndItsDiagnosticLine) {
    EXPECT_EQ(L"C:\\Program Files (x86)\\Corvane\\Overreach",
              InstallFolder(L"C:\\Program Files (x86)"));
    EXPECT_EQ(L"\\Corvane\\Overreach", InstallFolder(L""));
    EXPECT_EQ(
        L"OnBnClickedBtnHelp Info - csFullPath = C:\\P\\Corvane\\Overreach\\Overreach_En.chm \n",
        FullPathDiagnostic(L"OnBnClickedBtnHelp", L"C:\\P\\Corvane\\Overreach\\Overreach_En.chm"));
}

TEST(SystemErrorTextTest, PositiveCodesBecomeWin32HResultsAndOthersPass) {
    EXPECT_EQ(0x80070002u, HResultFromWin32(2));
    EXPECT_EQ(0x80070457u, HResultFromWin32(0x457));
    EXPECT_EQ(0x8007FFFFu, HResultFromWin32(0x1FFFF));  // only the low 16 bits are a Win32 code
    EXPECT_EQ(0x80004005u, HResultFromWin32(static_cast<int32_t>(0x80004005u)));
    EXPECT_EQ(0u, HResultFromWin32(0));
    EXPECT_EQ(L"Error 0x80070457", ErrorCodeText(0x80070457u));
    EXPECT_EQ(L"Error 0x0000002A", ErrorCodeText(42));
}

}  // namespace
}  // namespace app
