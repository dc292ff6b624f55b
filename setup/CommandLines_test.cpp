#include "setup/CommandLines.h"

#include <gtest/gtest.h>


namespace setup {
namespace {

TEST(CommandLinesTest, AToolPathWithABlankIsQuotedOnce) {
    EXPECT_EQ(L"C:\\Tools\\devcon.exe", QuoteToolPath(L"C:\\Tools\\devcon.exe"));
    EXPECT_EQ(L"\"C:\\Program Files\\devcon.exe\"", QuoteToolPath(L"C:\\Program Files\\devcon.exe"));
    EXPECT_EQ(L"\"C:\\Program Files\\devcon.exe\"",
              QuoteToolPath(L"\"C:\\Program Files\\devcon.exe\""));
    EXPECT_EQ(L"", QuoteToolPath(L""));
}

TEST(CommandLinesTest, InstallParametersUpTo259CharactersAndNoMore) {
    std::wstring parameters = L"stale";
    EXPECT_EQ(0u, FormatInstallParameters(L"x.inf ROOT\\X", parameters));
    EXPECT_EQ(L"install x.inf ROOT\\X", parameters);

    const std::wstring fits(259 - 8, L'a');  // 8 for "install "
    EXPECT_EQ(0u, FormatInstallParameters(fits, parameters));
    EXPECT_EQ(259u, parameters.size());
    EXPECT_EQ(kErrorFilenameExcedRange, FormatInstallParameters(fits + L"a", parameters));
    EXPECT_TRUE(parameters.empty());
}

TEST(CommandLinesTest, RemovalCommandsAreRefusedTogetherWhenEitherIsTooLong) {
    std::wstring remove, deleteCommand;
    ASSERT_EQ(0u, FormatRemovalCommands(L"d.exe", L"ROOT\\A 'B'", L"oem3.inf", remove, deleteCommand));
    EXPECT_EQ(L"d.exe remove ROOT\\A 'B'", remove);
    EXPECT_EQ(L"d.exe dp_delete oem3.inf", deleteCommand);

    // Nothing found in WMI: the delete still runs, ending in a blank.
    ASSERT_EQ(0u, FormatRemovalCommands(L"d.exe", L"ROOT\\A", L"", remove, deleteCommand));
    EXPECT_EQ(L"d.exe dp_delete ", deleteCommand);

    const std::wstring tool(200, L't');
    const std::wstring idThatFits(259 - tool.size() - 8, L'i');  // 8 for " remove "
    EXPECT_EQ(0u, FormatRemovalCommands(tool, idThatFits, L"", remove, deleteCommand));
    EXPECT_EQ(259u, remove.size());
    EXPECT_EQ(kErrorFilenameExcedRange,
              FormatRemovalCommands(tool, idThatFits + L"i", L"", remove, deleteCommand));
    EXPECT_TRUE(remove.empty() && deleteCommand.empty());

    // A long INF name alone stops the removal as well.
    EXPECT_EQ(kErrorFilenameExcedRange,
              FormatRemovalCommands(L"d.exe", L"R\\X", std::wstring(249, L'n'), remove,
                                    deleteCommand));
}

}  // namespace
}  // namespace setup
