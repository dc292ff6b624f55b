#include "console/ScanReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

#include "console/testing/JsonReader.h"
#include "disk/DeviceObjectName.h"
#include "platform/Utf16.h"
#include "platform/testing/ForwardingDeviceIo.h"
#include "sim/Scenario.h"
#include "sim/SimulatedMachine.h"

namespace console {
namespace {

using testing::JsonReader;
using testing::JsonValue;

// The system's text for a code as the report prints it.
std::string Text(uint32_t code) {
    std::string out;
    for (const wchar_t c : SystemErrorText(code))
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    return out;
}

TEST(ScanReportTest, ErrorTextsAreOneLine) {
    for (const uint32_t code : {0u, 2u, 5u, 31u, 87u, 259u, 1784u, 0xDEADu}) {
        const std::wstring text = SystemErrorText(code);
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(std::wstring::npos, text.find_first_of(L"\r\n\t")) << code;
        EXPECT_NE(L' ', text.back()) << code;
    }
#ifndef _WIN32
    // Elsewhere the English texts of the system.
    EXPECT_EQ(L"The system cannot find the file specified.", SystemErrorText(2));
    EXPECT_EQ(L"No more data is available.", SystemErrorText(259));
    EXPECT_EQ(L"(no text known for this code)", SystemErrorText(0xDEAD));
#endif
}

// A scan of a scenario with the report as its observer, and the lines it prints.
struct Scanned {
    explicit Scanned(const std::string& scenario) : report("test") {
        std::string error;
        loaded = sim::LoadScenario(scenario, machine, error);
        EXPECT_TRUE(loaded) << error << "\n" << scenario;
        machine.SetDebugSink([this](const std::wstring& l) { report.AddDiagnostic(l); });
        rc = disk::ScanStorageGroups(machine, list, &report);
    }
    std::vector<std::string> Lines(bool verbose = false) const {
        std::vector<std::string> lines;
        std::istringstream in(RenderText(report, verbose));
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    // "{N}" in line stands for the system's text for code N, which Windows words its own way.
    bool HasLine(std::string line) const {
        for (size_t open; (open = line.find('{')) != std::string::npos;) {
            const size_t close = line.find('}', open);
            line.replace(open, close - open + 1, Text(std::stoul(line.substr(open + 1))));
        }
        for (const auto& l : Lines())
            if (l == line) return true;
        return false;
    }
    JsonValue Json(bool verbose = false) const {
        JsonValue doc;
        std::string error;
        EXPECT_TRUE(JsonReader().Read(RenderJson(report, verbose), doc, error)) << error;
        return doc;
    }

    sim::SimulatedMachine machine;
    ScanReport report;
    disk::StorageGroupList list;
    uint32_t rc = 0;
    bool loaded = false;
};

constexpr const char* kEveryKind = R"(
drive 0 size=500107862016 product="SYS500"
drive 1 size=3000592982016 vendor="WDC" product="WD30EZRX"
drive 2 size=2199023255552 product="EXACT2T"
drive 3 size=6001175126016 product="GPT6T" style=gpt
drive 4 size=3000592982016 product="BLANK3T" style=raw
drive 5 size=3000592982016 vendor="ASUS" product="BIG3T"
drive 6 size=3000592982016 product="RAID3T" lastblock=4294967296
drive 7 size=4000787030016 product="FOUR4T"
virtual 5 drive=7 mounted=0
drive 9 size=3000592982016 product="NOSTYLE"
fault DeviceIoControl ioctl=0x70048 drive=9 error=2
drive 10 size=2199023255553 product=""
drive 17 size=4000787030016 product="SEVENTEEN"
drive 16 size=1
)";

TEST(ScanReportTest, EachDriveNumberHasOneVerdictLineWithItsReason) {
    Scanned s(kEveryKind);
    s.report.CheckAfterScan(s.machine);
    EXPECT_EQ(2u, s.rc);
    const char* expected[] = {
        "Drive 0: SYS500, 465.76 GiB - not offered: not larger than 2048 GiB (500107862016 bytes)",
        "Drive 1: WDC WD30EZRX, 2794.52 GiB - offered",
        "Drive 2: EXACT2T, 2048.00 GiB - not offered: not larger than 2048 GiB (2199023255552 "
        "bytes, exactly 2^41)",
        "Drive 3: GPT6T, 5589.03 GiB - not offered: GPT partition table",
        "Drive 4: BLANK3T, 2794.52 GiB - offered",
        "Drive 5: ASUS BIG3T, 2794.52 GiB - not offered: model text contains \"ASUS\", excluded by "
        "the model rule",
        "Drive 6: RAID3T, 2794.52 GiB - not offered: looks like a RAID member (last block address "
        "0x100000000 has a low half of 0)",
        "Drive 7: FOUR4T, 3726.02 GiB - offered",
        "Drive 8: no drive with this number",
        "Drive 9: NOSTYLE - not offered: the partition style query failed with code 2 ({2}"
        "); the scan takes code 2 as \"no drive\" and goes on",
        "Drive 10: (no model text), 2048.00 GiB - offered",  // one byte beyond: still 2048.00
        "Drive 15: no drive with this number",
        "Drive 16: Disk 16 - not examined: the scan looks at drive numbers 0 to 15 only",
        "Drive 17: SEVENTEEN - not examined: the scan looks at drive numbers 0 to 15 only",
        "Bus driver: present (it answered the size request for drive 0)",
        "16 drive numbers: 4 offered, 6 not offered, 6 no drive, 0 not examined; scan result 2 "
        "({2}): success",
    };
    for (const char* line : expected) EXPECT_TRUE(s.HasLine(line)) << line;

    // One verdict line per number, in order; the offered drives' blocks follow later.
    std::vector<int> order;
    for (const auto& l : s.Lines()) {
        int n = -1;
        if (std::sscanf(l.c_str(), "Drive %d:", &n) == 1) order.push_back(n);
    }
    const std::vector<int> expectedOrder = {0,  1,  2,  3,  4,  5,  6,  7, 8, 9, 10,
                                            11, 12, 13, 14, 15, 16, 17, 1, 4, 7, 10};
    EXPECT_EQ(expectedOrder, order);
    EXPECT_TRUE(
        s.HasLine("    bus type 11 (SATA), GPT, 6001175126016 bytes, last block "
                  "0x2BAA0F4AF, 512 bytes per block, " +
                  std::string(s.machine.FindDrive(3)->deviceObjectName.begin(),
                              s.machine.FindDrive(3)->deviceObjectName.end())));
    EXPECT_EQ(sim::SimulatedMachine::Resources{}, s.machine.Outstanding());
}

TEST(ScanReportTest, ADriveWithBlocksOtherThan512BytesIsNotOfferedAndTheVerdictSaysWhy) {
    Scanned s(
        "drive 0 size=3000592982016 product=\"BIG4K\" blocksize=4096\n"
        "drive 1 size=20000588955648 product=\"HUGE4K\" blocksize=4096\n"
        "drive 2 size=3000592982016 product=\"PLAIN\" blocksize=512\n"
        "drive 3 size=3000592982016 product=\"ODD\" blocksize=520\n"
        "drive 4 size=1000204886016 product=\"SMALL4K\" blocksize=4096\n"
        "drive 5 size=3000592982016 product=\"TINY\" blocksize=256\n");
    const std::string why =
        " bytes per block, not 512: MBR then reaches 16 TiB, so a virtual drive past 2048 GiB "
        "would show the same bytes twice";
    EXPECT_TRUE(s.HasLine("Drive 0: BIG4K, 2794.52 GiB - not offered: 4096" + why));
    EXPECT_TRUE(s.HasLine("Drive 1: HUGE4K, 18627.00 GiB - not offered: 4096" + why));
    EXPECT_TRUE(s.HasLine("Drive 2: PLAIN, 2794.52 GiB - offered"));
    EXPECT_TRUE(
        s.HasLine("Drive 3: ODD, 2794.52 GiB - not offered: 520 bytes per block, not 512: MBR "
                  "then reaches 2.03 TiB, so a virtual drive past 2048 GiB would show the same "
                  "bytes twice"));
    EXPECT_TRUE(
        s.HasLine("Drive 5: TINY, 2794.52 GiB - not offered: 256 bytes per block, not 512: the "
                  "virtual drive is made for drives whose MBR ends at 2048 GiB"));
    // Too small is the plainer reason.
    EXPECT_TRUE(s.HasLine(
        "Drive 4: SMALL4K, 931.51 GiB - not offered: not larger than 2048 GiB (1000204886016 "
        "bytes)"));
    const JsonValue doc = s.Json();
    for (int n : {0, 1, 3, 5}) {
        EXPECT_EQ("block-size", doc["drives"][n]["reason"].Ascii()) << n;
        EXPECT_EQ(n == 3 ? 520 : n == 5 ? 256 : 4096, doc["drives"][n]["bytesPerBlock"].Integer());
    }
    ASSERT_EQ(1u, doc["offered"].items.size());
    EXPECT_EQ(2, doc["offered"][0].Integer());
}

// The scan tool lists the drives beyond 15 with the program's own disk walk, so each step
// of that walk that fails gives the report the code it gives the program.
TEST(ScanReportTest, EveryFailingStepOfTheDiskWalkGivesTheReportTheProgramsCode) {
    using sim::Call;
    struct Step {
        const char* name;
        sim::Fault fault;
        uint32_t code;
    };
    const auto ofDisks = [](Call call, uint32_t error, int nth) {
        sim::Fault f{call, error, nth};
        f.bus = false;
        return f;
    };
    sim::Fault deviceNumber{Call::DeviceIoControl, 1, 2};
    deviceNumber.ioctl = platform::kIoctlStorageGetDeviceNumber;
    const Step steps[] = {
        {"class set", ofDisks(Call::GetClassDevs, 8, 1), 8},
        {"first interface", ofDisks(Call::EnumDeviceInterfaces, 6, 1), 6},
        {"second interface", ofDisks(Call::EnumDeviceInterfaces, 6, 2), 6},
        {"detail size", ofDisks(Call::GetDeviceInterfaceDetail, 87, 1), 87},
        {"detail buffer", {Call::HeapAlloc, 8, 1}, 122},
        {"detail", ofDisks(Call::GetDeviceInterfaceDetail, 1784, 4), 1784},
        {"open", {Call::CreateFile, 5, 2}, 5},
        {"device number", deviceNumber, 1},
    };
    const std::string machineText = "drive 0 size=1\ndrive 3 size=1\ndrive 17 size=1\n";
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        sim::SimulatedMachine forProgram, forReport;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(machineText, forProgram, error)) << error;
        ASSERT_TRUE(sim::LoadScenario(machineText, forReport, error)) << error;
        forProgram.InjectFault(step.fault);
        forReport.InjectFault(step.fault);

        // A drive number no interface has: the program's walk goes over every interface.
        std::wstring name;
        EXPECT_EQ(step.code, disk::RetrievePhysicalDeviceObjectName(forProgram, &name, 9));
        ScanReport report("test");
        report.CheckAfterScan(forReport);
        EXPECT_EQ(step.code, report.Unscanned().code);
        EXPECT_TRUE(report.Unscanned().drives.empty());
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, forProgram.Outstanding());
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, forReport.Outstanding());
    }

    // A detail size query that claims success, which the simulated machine never gives.
    sim::SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(sim::LoadScenario(machineText, machine, error)) << error;
    platform::testing::DetailSizeQuerySucceeds quirk(machine);
    std::wstring name;
    EXPECT_EQ(1784u, disk::RetrievePhysicalDeviceObjectName(quirk, &name, 9));
    ScanReport report("test");
    report.CheckAfterScan(quirk);
    EXPECT_EQ(1784u, report.Unscanned().code);
}

TEST(ScanReportTest, AStoppedScanNamesTheStepTheCodeAndTheDrivesLeftOut) {
    Scanned s(
        "drive 1 size=3000592982016\ndrive 4 size=3000592982016 product=\"X\"\n"
        "drive 6 size=1\nfault DeviceIoControl ioctl=0x70048 drive=4 error=5\n");
    EXPECT_EQ(5u, s.rc);
    EXPECT_TRUE(
        s.HasLine("Drive 4: X - not offered: the partition style query failed with code "
                  "5 ({5}); the scan stopped here"));
    EXPECT_TRUE(s.HasLine("Drive 5: not examined - the scan stopped at drive 4"));
    EXPECT_TRUE(s.HasLine("Drive 6: not examined - the scan stopped at drive 4"));
    EXPECT_TRUE(
        s.HasLine("16 drive numbers: 1 offered, 1 not offered, 3 no drive, 11 not "
                  "examined; scan result 5 ({5}): failed: the scan stopped "
                  "at drive 4, at the partition style query"));

    const JsonValue doc = s.Json();
    const JsonValue& four = doc["drives"][4];
    EXPECT_EQ("not offered", four["verdict"].Ascii());
    EXPECT_EQ("query-failed", four["reason"].Ascii());
    EXPECT_EQ("partition style query", four["failure"]["step"].Ascii());
    EXPECT_EQ(5, four["failure"]["code"].Integer());
    EXPECT_EQ(Text(5), four["failure"]["text"].Ascii());
    EXPECT_TRUE(four["failure"]["stoppedScan"].flag);
    EXPECT_EQ("X", four["model"].Ascii());
    EXPECT_TRUE(four["partitionStyle"].IsNull());  // the query that failed
    EXPECT_TRUE(four["sizeBytes"].IsNull());
    EXPECT_EQ("not examined", doc["drives"][5]["verdict"].Ascii());
    EXPECT_EQ("scan-stopped", doc["drives"][5]["reason"].Ascii());
    EXPECT_EQ(4, doc["result"]["stoppedAtDrive"].Integer());
    EXPECT_EQ(11u, doc["result"]["notExamined"].items.size());
    EXPECT_FALSE(doc["result"]["success"].flag);
}

TEST(ScanReportTest, TheBusDriverIsCheckedAfterTheScanWhenNoDriveAskedIt) {
    {
        Scanned s("bus absent\ndrive 3 size=3000592982016\n");
        s.report.CheckAfterScan(s.machine);
        EXPECT_EQ(259u, s.rc);
        EXPECT_FALSE(s.report.BusChecked().done);  // the scan's size request already told
        EXPECT_TRUE(
            s.HasLine("Bus driver: absent (no device interface of its class: the size "
                      "request for drive 3 ended with code 259)"));
        EXPECT_TRUE(
            s.HasLine("Drive 3: Disk 3 - not offered: the bus driver's size request failed with "
                      "code 259 ({259}"
                      "): the bus driver is not installed or not running; the scan "
                      "stopped here"));
    }
    {
        Scanned s("bus absent\ndrive 3 size=1000\nfault DeviceIoControl ioctl=0x70048 error=2\n");
        s.report.CheckAfterScan(s.machine);
        EXPECT_TRUE(
            s.HasLine("Bus driver: no drive reached the size request; absent (no device "
                      "interface of its class, checked after the scan)"));
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, s.machine.Outstanding());
    }
    {
        Scanned s("drive 3 size=1000\nfault DeviceIoControl ioctl=0x2A4018 error=2\n");
        s.report.CheckAfterScan(s.machine);
        EXPECT_TRUE(
            s.HasLine("Bus driver: the size request for drive 3 failed with code 2 ({2}"
                      "); present (its interface "
                      "opened after the scan)"));
        const JsonValue doc = s.Json();
        EXPECT_EQ("failed", doc["busDriver"]["fromScan"].Ascii());
        EXPECT_EQ("present", doc["busDriver"]["afterScan"]["state"].Ascii());
    }
}

TEST(ScanReportTest, VerboseLinesStandUnderTheirDrive) {
    Scanned s(
        "drive 0 size=1\ndrive 2 size=3000592982016 lastblock=8589934592\n"
        "drive 5 size=3000592982016\nfault GetDeviceRegistryProperty drive=5 error=2\n");
    const auto lines = s.Lines(true);
    const auto at = [&](const std::string& line) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(line, 0) == 0) return static_cast<int>(i);
        return -1;
    };
    const int raid = at("    | IsAmdRaidMode return TRUE");
    EXPECT_LT(at("Drive 2:"), raid);
    EXPECT_LT(raid, at("Drive 3:"));
    const int name =
        at("    | RetrieveDiskInfoEx Error - GetPhysicalDeviceObjectName lPhysicalDriveID = 5");
    EXPECT_LT(at("Drive 5:"), name);
    EXPECT_LT(name, at("Drive 6:"));

    const JsonValue doc = s.Json(true);
    const auto& diagnostics = doc["drives"][2]["diagnostics"].items;
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ("IsAmdRaidMode return TRUE", diagnostics.back().Ascii());  // no line feed
    EXPECT_TRUE(s.Json(false)["drives"][2]["diagnostics"].IsNull());
    // Drive 0's lines are its own too, not lines from after the scan.
    EXPECT_FALSE(doc["drives"][0]["diagnostics"].items.empty());
    EXPECT_TRUE(doc["linesAfterScan"].items.empty());
}

TEST(ScanReportTest, JsonTextsKeepEveryCharacterAndStayAscii) {
    // A device object name with a quote, a backslash, a control character and a byte above
    // 0x7F; the model text keeps its inner blanks.
    Scanned s(
        "drive 1 size=3000592982016 vendor=\"A  B\" product=\"C\\\"D\" "
        "pdo=\"\\\\Dev\\\"\\x01\\xE9\"\n");
    const std::string json = RenderJson(s.report, false);
    for (const char c : json) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
    const JsonValue doc = s.Json();
    const JsonValue& d = doc["drives"][1];
    EXPECT_EQ(u"\\Dev\"\x01\xE9", d["deviceObjectName"].text);
    EXPECT_EQ(u"A  B C\"D", d["model"].text);
    EXPECT_EQ(3000592982016, d["sizeBytes"].Integer());
    EXPECT_EQ("2794.52", d["sizeGiB"].Ascii());
    // The text report shows what the console cannot as '?'.
    EXPECT_TRUE(
        s.HasLine("    bus type 11 (SATA), MBR, 3000592982016 bytes, last block "
                  "0x15D50A3AF, 512 bytes per block, \\Dev\"??"));
}

// Scenarios with drives around the limits, every partition style, model texts for and
// against the model rule, RAID-looking addresses, existing virtual drives and failures of
// any device call.
std::string GenerateScenario(std::mt19937& random) {
    const auto pick = [&random](size_t n) {
        return std::uniform_int_distribution<size_t>(0, n - 1)(random);
    };
    const auto chance = [&](int percent) { return static_cast<int>(pick(100)) < percent; };
    const uint64_t limit = uint64_t{1} << 41;
    const uint64_t sizes[] = {0,
                              1,
                              limit - 1,
                              limit,
                              limit + 1,
                              limit + 512,
                              3000592982016,
                              4000787030016,
                              18000207937536,
                              500107862016};
    const char* texts[] = {"",     "WDC",    "ASUS", "Asus",     "xASUSx",
                           "0000", "313233", "  ",   "\\x09tab", "ST4000"};
    const char* styles[] = {"mbr", "gpt", "raw"};
    std::ostringstream out;
    if (chance(10)) out << "bus absent\n";
    std::vector<int> numbers;
    const size_t count = pick(9);
    for (size_t i = 0; i < count; ++i) {
        const int n = static_cast<int>(pick(19));
        bool taken = false;
        for (int m : numbers) taken = taken || m == n;
        if (taken) continue;
        numbers.push_back(n);
        uint64_t size = sizes[pick(std::size(sizes))];
        if (chance(20))
            size = limit / 2 + std::uniform_int_distribution<uint64_t>(0, limit * 4)(random);
        out << "drive " << n << " size=" << size << " style=" << styles[pick(3)];
        if (chance(50)) out << " vendor=\"" << texts[pick(std::size(texts))] << "\"";
        if (chance(70)) out << " product=\"" << texts[pick(std::size(texts))] << "\"";
        if (chance(15)) out << " lastblock=" << (uint64_t{pick(4)} << 32);
        if (chance(10)) out << " blocksize=4096";
        out << "\n";
        if (chance(30))
            out << "virtual " << 100 + n << " drive=" << n << " mounted=" << pick(2) << "\n";
    }
    const char* calls[] = {"CreateFile",
                           "DeviceIoControl",
                           "DeviceIoControl",
                           "DeviceIoControl",
                           "GetDeviceRegistryProperty",
                           "EnumDeviceInterfaces",
                           "GetDeviceInterfaceDetail",
                           "GetClassDevs",
                           "HeapAlloc"};
    const char* ioctls[] = {"0x2D1400", "0x70048", "0x2D1080", "0x2A4018", "0x2A4014", "0x2A4010"};
    const uint32_t codes[] = {2, 2, 5, 31, 87, 259, 122};
    const size_t faults = chance(40) ? pick(3) : 0;
    for (size_t i = 0; i < faults; ++i) {
        const std::string call = calls[pick(std::size(calls))];
        out << "fault " << call << " error=" << codes[pick(std::size(codes))] << " nth=" << pick(6);
        if (call == "DeviceIoControl" && chance(80))
            out << " ioctl=" << ioctls[pick(std::size(ioctls))];
        if (chance(40)) out << " drive=" << pick(19);
        out << "\n";
    }
    return out.str();
}

bool SameGroup(const disk::StorageGroup& a, const disk::StorageGroup& b) {
    return a.SerialNo == b.SerialNo && a.PhysicalDriveNumber == b.PhysicalDriveNumber &&
           a.ModelText == b.ModelText && a.CapacityText == b.CapacityText &&
           a.DeviceObjectName == b.DeviceObjectName &&
           std::memcmp(&a.State, &b.State, sizeof(a.State)) == 0;
}

bool SameRequests(const sim::SimulatedMachine& a, const sim::SimulatedMachine& b) {
    const auto& x = a.Ioctls();
    const auto& y = b.Ioctls();
    if (x.size() != y.size()) return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (x[i].code != y[i].code || x[i].input != y[i].input || x[i].outSize != y[i].outSize ||
            x[i].error != y[i].error || x[i].drive != y[i].drive || x[i].toBus != y[i].toBus)
            return false;
    return a.DebugLines() == b.DebugLines() && a.SleepCalls() == b.SleepCalls();
}

TEST(ScanReportTest, OverManyScenariosTheReportedOfferedDrivesAndResultAreTheScans) {
    std::mt19937 random(20240917);
    int stopped = 0, offeredSome = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string scenario = GenerateScenario(random);
        SCOPED_TRACE("scenario:\n" + scenario);

        // The same machine scanned without an observer: what the program itself gets.
        sim::SimulatedMachine plain;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(scenario, plain, error)) << error;
        disk::StorageGroupList expected;
        const uint32_t expectedRc = disk::ScanStorageGroups(plain, expected);

        Scanned s(scenario);
        ASSERT_TRUE(s.loaded);
        // The observer changed nothing: same result, same list, same device requests.
        EXPECT_EQ(expectedRc, s.rc);
        ASSERT_EQ(expected.size(), s.list.size());
        for (size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(SameGroup(expected[i], s.list[i]));
        EXPECT_TRUE(SameRequests(plain, s.machine));
        s.report.CheckAfterScan(s.machine);
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, s.machine.Outstanding());

        std::vector<long long> numbers;
        for (const auto& g : expected) numbers.push_back(g.PhysicalDriveNumber);
        std::vector<long long> reported;
        for (int n : s.report.OfferedDrives()) reported.push_back(n);
        EXPECT_EQ(numbers, reported);
        ASSERT_TRUE(s.report.Finished());
        EXPECT_EQ(expectedRc, s.report.Outcome().result);

        // The printed forms say the same.
        const JsonValue doc = s.Json();
        std::vector<long long> inJson;
        for (const auto& v : doc["offered"].items) inJson.push_back(v.Integer());
        EXPECT_EQ(numbers, inJson);
        EXPECT_EQ(static_cast<long long>(expectedRc), doc["result"]["code"].Integer());
        ASSERT_EQ(16u, doc["drives"].items.size());
        size_t jsonOffered = 0;
        for (size_t n = 0; n < 16; ++n) {
            const JsonValue& d = doc["drives"][n];
            EXPECT_EQ(static_cast<long long>(n), d["number"].Integer());
            if (d["verdict"].Ascii() != "offered") continue;
            ASSERT_LT(jsonOffered, expected.size());
            EXPECT_EQ(static_cast<long long>(expected[jsonOffered].SerialNo),
                      d["virtualDrive"]["serialNo"].Integer());
            EXPECT_EQ(
                expected[jsonOffered].DeviceObjectName,
                std::wstring(d["deviceObjectName"].text.begin(), d["deviceObjectName"].text.end()));
            ++jsonOffered;
        }
        EXPECT_EQ(expected.size(), jsonOffered);

        std::vector<long long> inText;
        const auto lines = s.Lines();
        for (const auto& l : lines) {
            int n = -1;
            if (std::sscanf(l.c_str(), "Drive %d:", &n) == 1 && l.size() > 10 &&
                l.compare(l.size() - 10, 10, " - offered") == 0)
                inText.push_back(n);
        }
        EXPECT_EQ(numbers, inText);
        EXPECT_NE(std::string::npos,
                  lines.back().find("; scan result " + std::to_string(expectedRc) + " ("));

        // A stopped scan leaves exactly the numbers after the stop unexamined.
        const disk::ScanOutcome& o = s.report.Outcome();
        for (const DriveEntry& d : s.report.Drives())
            EXPECT_EQ(!o.stoppedEarly || d.number <= o.stoppedAtDrive, d.examined) << d.number;
        stopped += o.stoppedEarly;
        offeredSome += !expected.empty();
    }
    // The generator reaches both kinds of scan often enough to mean something.
    EXPECT_GT(stopped, 40);
    EXPECT_GT(offeredSome, 100);
}

}  // namespace
}  // namespace console
