// The runner's command line: a tool path with a blank cannot be split at the blank.
#include "setup/RunProcess.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(JoinCommandLineTest, APathWithABlankIsQuotedOnce) {
    EXPECT_EQ(L"C:\\Windows\\system32\\cmd.exe /c diskmgmt.msc",
              JoinCommandLine(L"C:\\Windows\\system32\\cmd.exe", L"/c diskmgmt.msc"));
    EXPECT_EQ(L"\"C:\\Program Files\\Sys Dir\\cmd.exe\" /c diskmgmt.msc",
              JoinCommandLine(L"C:\\Program Files\\Sys Dir\\cmd.exe", L"/c diskmgmt.msc"));
    EXPECT_EQ(L"\"C:\\Tab\there\\tool.exe\" x", JoinCommandLine(L"C:\\Tab\there\\tool.exe", L"x"));
    EXPECT_EQ(L"\"C:\\Program Files\\devcon.exe\" remove X",
              JoinCommandLine(L"\"C:\\Program Files\\devcon.exe\"", L"remove X"));
    // Without arguments the text is a whole command line that its caller has quoted.
    EXPECT_EQ(L"\"C:\\Program Files\\devcon.exe\" remove X",
              JoinCommandLine(L"\"C:\\Program Files\\devcon.exe\" remove X", L""));
}

}  // namespace
}  // namespace setup
