#include "setup/CommandLines.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

// One rule for the library's tool paths and the runner's executables: CreateProcessW splits
// an unquoted path at a blank or a tab alike.
TEST(CommandLinesTest, AProgramPathWithABlankOrATabIsQuotedOnce) {
    const struct {
        const wchar_t* path;
        const wchar_t* quoted;
    } cases[] = {
        {L"C:\\Tools\\devcon.exe", L"C:\\Tools\\devcon.exe"},
        {L"C:\\Program Files\\devcon.exe", L"\"C:\\Program Files\\devcon.exe\""},
        {L"C:\\Tab\there\\devcon.exe", L"\"C:\\Tab\there\\devcon.exe\""},
        {L"\"C:\\Program Files\\devcon.exe\"", L"\"C:\\Program Files\\devcon.exe\""},
        {L"\"C:\\Tab\there\\devcon.exe\"", L"\"C:\\Tab\there\\devcon.exe\""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.quoted, QuoteToolPath(c.path)) << c.path;
        EXPECT_EQ(std::wstring(c.quoted) + L" /c x", JoinCommandLine(c.path, L"/c x")) << c.path;
    }
    // Without arguments the text is a whole command line that its caller has quoted.
    EXPECT_EQ(L"\"C:\\Program Files\\devcon.exe\" remove X",
              JoinCommandLine(L"\"C:\\Program Files\\devcon.exe\" remove X", L""));
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
    ASSERT_EQ(0u,
              FormatRemovalCommands(L"d.exe", L"ROOT\\A 'B'", L"oem3.inf", remove, deleteCommand));
    EXPECT_EQ(L"d.exe remove ROOT\\A 'B'", remove);
    EXPECT_EQ(L"d.exe dp_delete oem3.inf", deleteCommand);

    // No package to delete: no delete command, rather than a dp_delete that only fails.
    ASSERT_EQ(0u, FormatRemovalCommands(L"d.exe", L"ROOT\\A", L"", remove, deleteCommand));
    EXPECT_EQ(L"d.exe remove ROOT\\A", remove);
    EXPECT_EQ(L"", deleteCommand);

    const std::wstring tool(200, L't');
    const std::wstring idThatFits(259 - tool.size() - 8, L'i');  // 8 for " remove "
    EXPECT_EQ(0u, FormatRemovalCommands(tool, idThatFits, L"", remove, deleteCommand));
    EXPECT_EQ(259u, remove.size());
    EXPECT_EQ(kErrorFilenameExcedRange,
              FormatRemovalCommands(tool, idThatFits + L"i", L"", remove, deleteCommand));
    EXPECT_TRUE(remove.empty() && deleteCommand.empty());

    // A long INF name alone stops the removal as well.
    const std::wstring longInf = L"oem" + std::wstring(242, L'1') + L".inf";
    EXPECT_EQ(kErrorFilenameExcedRange,
              FormatRemovalCommands(L"d.exe", L"R\\X", longInf, remove, deleteCommand));
    EXPECT_TRUE(remove.empty());
}

TEST(CommandLinesTest, HardwareIdsThatDevconWouldReadAsPatternsAreRefused) {
    for (const wchar_t* id : {L"ROOT\\OVERREACH", L"PCI\\VEN_8086&DEV_1C02&SUBSYS_00000000&REV_05",
                              L"USB\\VID_1234&PID_5678^%X%|Y", L"ROOT\\O'REACH", L"ROOT\\A=B@C",
                              L"ROOT_NO_BACKSLASH"})  // the lookup refuses this one itself
        EXPECT_EQ(0u, CheckHardwareId(id)) << id;

    const std::wstring refused[] = {
        L"",
        L"ROOT\\*",
        L"*",
        L"ROOT\\OVER?EACH",
        L"ROOT\\X *",
        L"ROOT\\X\tY",
        L"ROOT\\X\r\nY",
        L" ROOT\\X",
        L"ROOT\\X ",
        L"ROOT\\X\u00A0Y",  // no-break space
        L"ROOT\\X\u3000Y",  // ideographic space
        L"ROOT\\\"X\"",
        L"@ROOT\\OVERREACH\\0000",  // an instance id: every device under it
        L"=System",                 // a setup class
        std::wstring(L"ROOT\\X\0Y", 8),
        L"ROOT\\X\x7F",
    };
    for (const std::wstring& id : refused) EXPECT_EQ(87u, CheckHardwareId(id)) << id;
}

// Each blank and control character that is refused, and its neighbours, which are not.
TEST(CommandLinesTest, EveryBlankOfUnicodeIsRefusedAndItsNeighboursAreNot) {
    const wchar_t blanks[] = {0x01,   0x09,   0x20,   0x7F,   0x85,   0xA0,   0x1680, 0x2000,
                              0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0xFEFF};
    for (wchar_t c : blanks)
        EXPECT_EQ(87u, CheckHardwareId(std::wstring(L"ROOT\\X") + c)) << int(c);
    const wchar_t others[] = {0x21,   0x7E,   0x84,   0x86,   0xA1,   0x167F, 0x1681,
                              0x1FFF, 0x200B, 0x2027, 0x202A, 0x202E, 0x2030, 0x205E,
                              0x2060, 0x2FFF, 0x3001, 0xFEFE, 0xFF00};
    for (wchar_t c : others) EXPECT_EQ(0u, CheckHardwareId(std::wstring(L"ROOT\\X") + c)) << int(c);
}

TEST(CommandLinesTest, TheInstallCommandIsToolVerbAndArguments) {
    EXPECT_EQ(L"C:\\devcon.exe install x.inf ROOT\\X",
              FormatInstallCommand(L"C:\\devcon.exe", L"x.inf ROOT\\X"));
    EXPECT_EQ(L"\"C:\\A B\\devcon.exe\" install ",
              FormatInstallCommand(L"\"C:\\A B\\devcon.exe\"", L""));
}

TEST(CommandLinesTest, EmptyToolPathsAndBatchFilesAreRefused) {
    for (const wchar_t* path : {L"C:\\Tools\\devcon.exe", L"devcon.exe", L"C:\\batch\\devcon",
                                L"C:\\Tools\\devcon.bat.exe", L"\"C:\\Program Files\\devcon.exe\"",
                                L"C:\\Tools\\bat", L"C:\\cmd.d\\devcon.com"})
        EXPECT_EQ(0u, CheckToolPath(path)) << path;
    for (const wchar_t* path :
         {L"", L" ", L"\"\"", L".", L"C:\\Tools\\devcon.bat", L"C:\\Tools\\DEVCON.BAT",
          L"C:\\Tools\\devcon.Cmd", L"\"C:\\Program Files\\devcon.cmd\"", L"C:\\Tools\\devcon.bat.",
          L"C:\\Tools\\devcon.cmd . ", L".bat"})
        EXPECT_EQ(87u, CheckToolPath(path)) << path;
}

TEST(CommandLinesTest, OnlyDriverStoreNamesArePackagesToDelete) {
    for (const wchar_t* name : {L"oem0.inf", L"oem12.inf", L"OEM7.INF", L"Oem345.Inf"})
        EXPECT_TRUE(IsDriverStoreInfName(name)) << name;
    const std::wstring refused[] = {
        L"",
        L"disk.inf",
        L"oem.inf",
        L"oem1.inf ",
        L" oem1.inf",
        L"oem 1.inf",
        L"\"oem1.inf\"",
        L"oem1.inf\"",
        L"oem1.inf.bak",
        L"oem1.pnf",
        L"oemx1.inf",
        L"oem-1.inf",
        L"oem1a.inf",
        L"..\\oem1.inf",
        L"C:\\oem1.inf",
        L"oem*.inf",
        L"oem?.inf",
        L"oem\uFF11.inf",  // a full-width digit
        std::wstring(L"oem1.inf\0x", 10),
        std::wstring(L"oem1\0.inf", 9),
    };
    for (const std::wstring& name : refused) EXPECT_FALSE(IsDriverStoreInfName(name)) << name;
}

}  // namespace
}  // namespace setup
