// The INF name lookup against driver records made up here.
#include <gtest/gtest.h>

#include <vector>

#include "setup/CommandLines.h"
#include "setup/DriverRecords.h"

namespace setup {
namespace {

// Hands out the given records for any query and remembers what was asked.
class MadeUpRecords : public DriverRecordSource, public DriverRecordCursor {
public:
    std::vector<std::optional<std::wstring>> records;
    int32_t queryResult = 0;
    std::vector<std::wstring> queries;
    size_t nextCalls = 0;  // of the latest query

    int32_t ExecQuery(const std::wstring& wql, std::unique_ptr<DriverRecordCursor>& out) override {
        queries.push_back(wql);
        nextCalls = 0;  // each query enumerates afresh
        out = std::make_unique<Forward>(*this);
        return queryResult;
    }
    bool Next(std::optional<std::wstring>& infName) override {
        if (nextCalls >= records.size()) return false;
        infName = records[nextCalls++];
        return true;
    }

private:
    struct Forward : DriverRecordCursor {
        explicit Forward(MadeUpRecords& r) : records(r) {}
        bool Next(std::optional<std::wstring>& infName) override { return records.Next(infName); }
        MadeUpRecords& records;
    };
};

const std::wstring kQueryStart = L"SELECT * FROM Win32_PnPSignedDriver WHERE HardWareID = '";

TEST(InfNameLookupTest, BackslashesAreDoubledAndQuotesEscapedInTheQuery) {
    MadeUpRecords wmi;
    std::wstring inf;
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\OVERREACH", &inf));
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\\\OVERREACH", &inf));
    // A quote would otherwise close the literal: "' OR HardWareID LIKE '%" would match any
    // device and dp_delete would remove another device's package.
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\X' OR HardWareID LIKE '%", &inf));
    ASSERT_EQ(3u, wmi.queries.size());
    EXPECT_EQ(kQueryStart + L"ROOT\\\\OVERREACH'", wmi.queries[0]);
    EXPECT_EQ(kQueryStart + L"ROOT\\\\\\\\OVERREACH'", wmi.queries[1]);
    EXPECT_EQ(kQueryStart + L"ROOT\\\\X\\' OR HardWareID LIKE \\'%'", wmi.queries[2]);
}

TEST(InfNameLookupTest, IdsWithoutABackslashAreRefusedBeforeWmiIsAsked) {
    MadeUpRecords wmi;
    std::wstring inf = L"stale";
    EXPECT_EQ(87, LookupInfName(&wmi, L"ROOT_OVERREACH", &inf));
    EXPECT_TRUE(inf.empty());
    EXPECT_EQ(87, LookupInfName(&wmi, L"", &inf));
    EXPECT_EQ(87, LookupInfName(nullptr, L"ROOT\\X", &inf));
    EXPECT_EQ(87, LookupInfName(&wmi, L"ROOT\\X", nullptr));
    EXPECT_TRUE(wmi.queries.empty());
}

TEST(InfNameLookupTest, TheFirstRecordWinsAndOnlyAStringCounts) {
    MadeUpRecords wmi;
    wmi.records = {L"oem12.inf", L"oem3.inf"};
    std::wstring inf;
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\X", &inf));
    EXPECT_EQ(L"oem12.inf", inf);
    EXPECT_EQ(1u, wmi.nextCalls);

    // The first record's InfName is no string: no name, and no falling back to the second.
    wmi.records = {std::nullopt, L"oem3.inf"};
    inf = L"stale";
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\X", &inf));
    EXPECT_EQ(L"", inf);

    wmi.records.clear();
    ASSERT_EQ(0, LookupInfName(&wmi, L"ROOT\\X", &inf));
    EXPECT_EQ(L"", inf);
}

TEST(InfNameLookupTest, AFailedQueryReportsTheLowHalfOfItsResultAndNeverSuccess) {
    const struct {
        uint32_t hresult;
        int reported;
    } cases[] = {
        {0x80041017, 0x1017},                     // invalid query
        {0x80040000, kErrorUnidentifiedHresult},  // a low half of 0 must not read as success
        {0x80070000, kErrorUnidentifiedHresult},
    };
    for (const auto& c : cases) {
        MadeUpRecords wmi;
        wmi.queryResult = static_cast<int32_t>(c.hresult);
        wmi.records = {L"oem1.inf"};
        std::wstring inf;
        EXPECT_EQ(c.reported, LookupInfName(&wmi, L"ROOT\\X", &inf)) << std::hex << c.hresult;
        EXPECT_EQ(L"", inf);
        EXPECT_EQ(0u, wmi.nextCalls);
    }
}

}  // namespace
}  // namespace setup
