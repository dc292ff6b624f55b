// The process runner, the argument conversion and the WMI value rule on the real system.
#include <windows.h>

#include <gtest/gtest.h>

#include "setup/ComOwners.h"
#include "setup/DevconOperations.h"
#include "setup/ExportArguments.h"
#include "setup/RunProcess.h"
#include "setup/WmiDriverRecords.h"
#include "setup/testing/StandInLog.h"

namespace setup {
namespace {

using test::StandInLog;
using test::StandInPath;
using Lines = std::vector<std::wstring>;

TEST(RunProcessTest, BothVariantsReportTheExitCodeOfTheirMoment) {
    StandInLog log;
    StandInLog::SetExitCode(7);
    uint32_t exitCode = 99;
    ASSERT_EQ(0u,
              RunProcessAndWait(StandInPath(), L"remove X", kRunHidden, kRunAndWait, &exitCode));
    EXPECT_EQ(7u, exitCode);

    // The main program's variant looks once and goes on.
    StandInLog::SetDelay(1000);
    ASSERT_EQ(0u, RunProcessAndWait(StandInPath(), L"/c diskmgmt.msc", &exitCode, CreateProcessW));
    EXPECT_EQ(STILL_ACTIVE, exitCode);
    ASSERT_TRUE(log.WaitForLines(2, 20000));  // let it end before its log goes
    EXPECT_EQ((Lines{StandInPath() + L" remove X", StandInPath() + L" /c diskmgmt.msc"}),
              log.Lines());

    EXPECT_EQ(static_cast<uint32_t>(ERROR_FILE_NOT_FOUND),
              RunProcessAndWait(test::ProgramFolder() + L"\\missing.exe", L"", kRunHidden,
                                kRunAndWait, &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST(ConvertArgumentTest, ConvertsInTheGivenCodePageAndRefusesWhatItCannot) {
    std::wstring wide;
    ASSERT_EQ(0u, ConvertArgument("ROOT\\\xCF\xF0\xE8\xE2\xE5\xF2", 1251, wide));
    EXPECT_EQ(L"ROOT\\\u041F\u0440\u0438\u0432\u0435\u0442", wide);
    EXPECT_EQ(87u, ConvertArgument(nullptr, CP_ACP, wide));
    EXPECT_EQ(87u, ConvertArgument("ROOT\\\xC3\x28", CP_UTF8, wide));  // broken sequence
    EXPECT_EQ(87u, ConvertArgument("ROOT\\\x82", 932, wide));          // lead byte, no trail
    EXPECT_EQ(L"", wide);
}

TEST(WmiTest, OnlyAStringVariantGivesText) {
    VariantValue text, nullText, number;
    text.Get()->vt = VT_BSTR;
    text.Get()->bstrVal = SysAllocString(L"oem4.inf");
    nullText.Get()->vt = VT_BSTR;  // a null BSTR is the empty string
    number.Get()->vt = VT_I4;
    EXPECT_EQ(std::optional<std::wstring>(L"oem4.inf"), StringFromVariant(*text.Get()));
    EXPECT_EQ(std::optional<std::wstring>(L""), StringFromVariant(*nullText.Get()));
    EXPECT_EQ(std::nullopt, StringFromVariant(*number.Get()));
}

// One signed-driver record whose InfName is `infName` (no value: not a string).
class OneDriver : public DriverRecordSource {
public:
    explicit OneDriver(std::optional<std::wstring> infName) : infName_(std::move(infName)) {}
    int32_t ExecQuery(const std::wstring&, std::unique_ptr<DriverRecordCursor>& records) override {
        records = std::make_unique<Cursor>(infName_);
        return 0;
    }

private:
    struct Cursor : DriverRecordCursor {
        explicit Cursor(std::optional<std::wstring> name) : name(std::move(name)) {}
        bool Next(std::optional<std::wstring>& infName) override {
            infName = name;
            return true;
        }
        std::optional<std::wstring> name;
    };
    std::optional<std::wstring> infName_;
};

TEST(RemovalSequenceTest, TheFoundPackageIsDeletedAfterTheDeviceIsRemoved) {
    StandInLog log;
    OneDriver wmi(L"oem7.inf");
    ASSERT_EQ(0u, RunRemovalSequence(wmi, StandInPath(), L"ROOT\\OVERREACH"));
    OneDriver upperCase(L"OEM12.INF");
    ASSERT_EQ(0u, RunRemovalSequence(upperCase, StandInPath(), L"ROOT\\OVERREACH"));
    const std::wstring remove = StandInPath() + L" remove ROOT\\OVERREACH";
    EXPECT_EQ((Lines{remove, StandInPath() + L" dp_delete oem7.inf", remove,
                     StandInPath() + L" dp_delete OEM12.INF"}),
              log.Lines());
}

// A query that fails with nothing in the low half of its HRESULT: the removal must stop
// there, not take it for an INF lookup that found nothing and remove the device.
TEST(RemovalSequenceTest, AFailedQueryStopsTheRemovalWhateverItsLowHalf) {
    struct FailingQuery : DriverRecordSource {
        int32_t ExecQuery(const std::wstring&, std::unique_ptr<DriverRecordCursor>&) override {
            return static_cast<int32_t>(0x80040000);
        }
    } wmi;
    StandInLog log;
    EXPECT_EQ(static_cast<uint32_t>(ERROR_UNIDENTIFIED_ERROR),
              RunRemovalSequence(wmi, StandInPath(), L"ROOT\\OVERREACH"));
    EXPECT_TRUE(log.Lines().empty());
}

// Whatever else WMI might report, dp_delete never sees it: the device is removed, and the
// result is that of an id WMI does not know.
TEST(RemovalSequenceTest, OnlyDriverStorePackagesAreDeleted) {
    const std::optional<std::wstring> notPackages[] = {
        std::nullopt,                             // InfName not a string
        L"",                                      // no name
        L"disk.inf",                              // a system package
        L"oem7.inf oem8.inf",                     // two names
        L"\"oem7.inf\"",                          // quotes
        std::wstring(L"oem7.inf\0disk.inf", 17),  // a zero inside
        L"oem*.inf",                              // a pattern
    };
    StandInLog log;
    StandInLog::SetExitCode(3);
    Lines expected;
    for (const auto& name : notPackages) {
        OneDriver wmi(name);
        EXPECT_EQ(0u, RunRemovalSequence(wmi, StandInPath(), L"ROOT\\OVERREACH"));
        expected.push_back(StandInPath() + L" remove ROOT\\OVERREACH");
    }
    EXPECT_EQ(expected, log.Lines());
}

}  // namespace
}  // namespace setup
