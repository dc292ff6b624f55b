// The codes the scan and the refresh accept or stop on, their exact diagnostic lines, the
// settling wait and the RAID test, each shown so that a change of one rule fails a test.
#include <string>
#include <vector>

#include "busctl/BusOperations.h"
#include "disk/DeviceObjectName.h"
#include "disk/DiskSize.h"
#include "disk/DriveQueries.h"
#include "disk/StorageGroups.h"
#include "disk/testing/DiskTestMachine.h"
#include "platform/DeviceIo.h"
#include "sim/DiskStandIn.h"

namespace disk {
namespace {

using sim::Call;
using Lines = std::vector<std::wstring>;

constexpr uint32_t kLookup = 0x2A4014;
constexpr uint32_t kQuery = 0x2A4010;
constexpr uint32_t kDiskSizeRequest = 0x2A4018;

// Two qualifying drives, the first with a virtual drive.
constexpr const char* kTwoBigDrives =
    "drive 1 size=3000592982016\ndrive 2 size=4000787030016\nvirtual 4 drive=1\n";

sim::Fault BusRequestFails(uint32_t code, uint32_t error, int nth = 1) {
    sim::Fault f{Call::DeviceIoControl, error, nth};
    f.ioctl = code;
    return f;
}

struct CodeCase {
    uint32_t request;
    uint32_t error;
    bool accepted;
};

// The lookup accepts 0, 2 and 259; the query 0, 2 and 87. Anything else stops the scan
// at the first drive with that code.
TEST_F(DiskTest, TheScanAcceptsItsCodesAndStopsOnAnyOther) {
    const CodeCase cases[] = {
        {kLookup, 2, true},  {kLookup, 259, true}, {kLookup, 87, false}, {kLookup, 31, false},
        {kLookup, 5, false}, {kQuery, 2, true},    {kQuery, 87, true},   {kQuery, 259, false},
        {kQuery, 31, false}, {kQuery, 122, false},
    };
    for (const CodeCase& c : cases) {
        sim::SimulatedMachine fresh;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(kTwoBigDrives, fresh, error)) << error;
        fresh.InjectFault(BusRequestFails(c.request, c.error));
        StorageGroupList list;
        const uint32_t rc = ScanStorageGroups(fresh, list);
        SCOPED_TRACE(std::to_string(c.request) + " answered " + std::to_string(c.error));
        if (c.accepted) {
            EXPECT_EQ(2u, rc);
            ASSERT_EQ(2u, list.size());
            // What the failed request left: no serial from the lookup, a cleared state.
            EXPECT_EQ(0u, list[0].State.Created);
            EXPECT_EQ(0u, list[0].State.Mounted);
            EXPECT_EQ(c.request == kQuery ? 4u : 0u, list[0].SerialNo);
            EXPECT_EQ(2, list[1].PhysicalDriveNumber);
        } else {
            EXPECT_EQ(c.error, rc);
            EXPECT_TRUE(list.empty());
            EXPECT_EQ(1u, fresh.SleepCalls());  // drive 2 was never reached
        }
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, fresh.Outstanding());
    }
}

// A lookup answered with the warning 259 still hands back the serial number the driver wrote.
TEST_F(DiskTest, ALookupAnsweredWith259KeepsTheSerialNumberItCarries) {
    Load("drive 1 size=3000592982016\nvirtual 6 drive=1 lookup=259\n");
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(6u, list[0].SerialNo);
    EXPECT_EQ(1u, list[0].State.Created);
    EXPECT_EQ(1u, list[0].State.Mounted);
    EXPECT_EQ(259u, machine.BusRequests()[1].error);
}

// Unlike the scan, the refresh takes only 0 and 2 from the query; any other code, 87
// included, is returned with the list as it was.
TEST_F(DiskTest, TheRefreshAcceptsOnlySuccessAnd2) {
    const CodeCase cases[] = {{kQuery, 0, true},
                              {kQuery, 2, true},
                              {kQuery, 87, false},
                              {kQuery, 31, false},
                              {kQuery, 259, false}};
    for (const CodeCase& c : cases) {
        sim::SimulatedMachine fresh;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(kTwoBigDrives, fresh, error)) << error;
        StorageGroupList list;
        ASSERT_EQ(2u, ScanStorageGroups(fresh, list));
        ASSERT_EQ(2u, list.size());
        list[1].ModelText = L"before";
        if (c.error) fresh.InjectFault(BusRequestFails(kQuery, c.error));
        SCOPED_TRACE(c.error);
        EXPECT_EQ(c.error, RefreshStorageGroup(fresh, list, 1, 1, 4));
        ASSERT_EQ(2u, list.size());
        EXPECT_EQ(1, list[0].PhysicalDriveNumber);
        if (c.accepted) {
            EXPECT_EQ(1, list[1].PhysicalDriveNumber);
            EXPECT_EQ(4u, list[1].SerialNo);
            EXPECT_EQ(L"Disk 1", list[1].ModelText);
            EXPECT_EQ(c.error == 0 ? 1u : 0u, list[1].State.Created);
        } else {
            EXPECT_EQ(2, list[1].PhysicalDriveNumber);
            EXPECT_EQ(L"before", list[1].ModelText);
        }
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, fresh.Outstanding());
    }
}

TEST_F(DiskTest, TheRefreshReturnsTheCodeOfAFailedExaminationUnchanged) {
    Load(kTwoBigDrives);
    StorageGroupList list;
    ASSERT_EQ(2u, ScanStorageGroups(machine, list));
    machine.ClearRecords();
    machine.InjectFault({Call::CreateFile, 5, 1});
    EXPECT_EQ(5u, RefreshStorageGroup(machine, list, 0, 1, 4));
    machine.ClearFaults();
    machine.InjectFault(BusRequestFails(kDiskSizeRequest, 259));
    EXPECT_EQ(259u, RefreshStorageGroup(machine, list, 0, 1, 4));
    EXPECT_EQ(0u, machine.SleepCalls());
    EXPECT_EQ(4u, list[0].SerialNo);
}

// Each qualifying drive waits 200 ms once, after its size request and before the bus
// driver is asked about its virtual drive; the refresh does the same before its query.
TEST_F(DiskTest, TheSettlingWaitComesBetweenTheSizeAndTheVirtualDriveRequests) {
    Load(kTwoBigDrives);
    StorageGroupList list;
    ASSERT_EQ(2u, ScanStorageGroups(machine, list));
    const auto& ioctls = machine.Ioctls();
    ASSERT_EQ(2u, machine.Sleeps().size());
    for (const sim::SleepRecord& s : machine.Sleeps()) {
        EXPECT_EQ(200u, s.milliseconds);
        ASSERT_GT(s.afterIoctls, 0u);
        ASSERT_LT(s.afterIoctls, ioctls.size());
        EXPECT_EQ(kDiskSizeRequest, ioctls[s.afterIoctls - 1].code);
        EXPECT_EQ(kLookup, ioctls[s.afterIoctls].code);
    }

    machine.ClearRecords();
    ASSERT_EQ(0u, RefreshStorageGroup(machine, list, 0, 1, 4));
    ASSERT_EQ(1u, machine.Sleeps().size());
    const sim::SleepRecord wait = machine.Sleeps()[0];
    EXPECT_EQ(200u, wait.milliseconds);
    ASSERT_GT(wait.afterIoctls, 0u);
    ASSERT_LT(wait.afterIoctls, machine.Ioctls().size());
    EXPECT_EQ(kDiskSizeRequest, machine.Ioctls()[wait.afterIoctls - 1].code);
    EXPECT_EQ(kQuery, machine.Ioctls()[wait.afterIoctls].code);
}

// Only drives with 512-byte blocks are offered: with larger blocks MBR reaches past 2048 GiB
// by itself. A driver that reports no block length (0) leaves the drive to the other rules.
TEST_F(DiskTest, OnlyDrivesWith512ByteBlocksAreOffered) {
    Load(
        "drive 1 size=3000592982016 blocksize=4096\n"
        "drive 2 size=20000588955648 blocksize=4096\n"  // beyond MBR's 16 TiB even then
        "drive 3 size=3000592982016 blocksize=512\n"
        "drive 4 size=3000592982016 blocksize=520\n"
        "drive 5 size=3000592982016 blocksize=256\n");
    sim::Drive unsaid;
    unsaid.number = 6;
    unsaid.size = 3000592982016;
    unsaid.lastBlockAddress = 5860533167;
    unsaid.bytesPerBlock = 0;
    machine.AddDrive(unsaid);
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(3, list[0].PhysicalDriveNumber);
    EXPECT_EQ(6, list[1].PhysicalDriveNumber);
    EXPECT_EQ(L"2794.52", list[1].CapacityText);

    // A drive that turns out to have 4096-byte blocks no longer qualifies on a refresh.
    EXPECT_EQ(87u, RefreshStorageGroup(machine, list, 0, 1, 0));
    EXPECT_EQ(3, list[0].PhysicalDriveNumber);
}

// Every diagnostic line of one drive's examination, compared whole and in order.
TEST_F(DiskTest, TheExaminationWritesExactlyItsLines) {
    Load(
        "drive 1 size=3000592982016\ndrive 2 size=1000204886016\n"
        "drive 3 size=3000592982016 lastblock=12884901888\n");
    std::wstring capacity, name, model;
    ASSERT_EQ(0u, RetrieveDiskInfoEx(machine, 1, &capacity, &name, &model));
    EXPECT_EQ((Lines{L"HDD Size: 0x2BAA1476000\n",
                     L"HDD Block Address: 0x15D50A3AF  BytesPerBlock = 0x200\n",
                     L"IsAmdRaidMode temp.LowPart = 0x5D50A3AF\n"}),
              machine.DebugLines());
    machine.ClearRecords();
    ASSERT_EQ(0u, RetrieveDiskInfoEx(machine, 2, &capacity, &name, &model));
    EXPECT_EQ((Lines{L"HDD Size: 0xE8E0DB6000\n",
                     L"HDD Block Address: 0x074706DAF  BytesPerBlock = 0x200\n"}),
              machine.DebugLines());
    machine.ClearRecords();
    ASSERT_EQ(0u, RetrieveDiskInfoEx(machine, 3, &capacity, &name, &model));
    EXPECT_EQ(
        (Lines{L"HDD Size: 0x2BAA1476000\n", L"HDD Block Address: 0x30  BytesPerBlock = 0x200\n",
               L"IsAmdRaidMode temp.LowPart = 0x0\n", L"IsAmdRaidMode return TRUE\n"}),
        machine.DebugLines());
}

struct StepCase {
    sim::Fault fault;
    Lines lines;
};

TEST_F(DiskTest, EachFailedStepOfTheExaminationWritesExactlyItsLines) {
    auto ioctl = [](uint32_t code, int nth = 1) { return BusRequestFails(code, 31, nth); };
    sim::Fault busClassDevs{Call::GetClassDevs, 31};
    busClassDevs.bus = true;
    sim::Fault diskClassDevs{Call::GetClassDevs, 31};
    diskClassDevs.bus = false;
    sim::Fault busDetail{Call::GetDeviceInterfaceDetail, 31};
    busDetail.bus = true;
    const StepCase cases[] = {
        {{Call::CreateFile, 31, 1}, {}},  // the model query
        {ioctl(0x2D1400, 2), {L"RetrieveDiskInfoEx Error - RetrieveBusType \n"}},
        {diskClassDevs,
         {L"RetrievePhysicalDeviceObjectName Error - SetupDiGetClassDevs \n",
          L"RetrieveDiskInfoEx Error - GetPhysicalDeviceObjectName lPhysicalDriveID = 1\n"}},
        {ioctl(0x2D1080),
         {L"RetrievePhysicalDeviceObjectName Error - DeviceIoControl \n",
          L"RetrieveDiskInfoEx Error - GetPhysicalDeviceObjectName lPhysicalDriveID = 1\n"}},
        {ioctl(0x70048), {L"RetrieveDiskInfoEx Error - GetPartitionStyle\n"}},
        {busClassDevs,
         {L"RetrieveDiskSizeEx1 Error - SetupDiGetClassDevs\n",
          L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n"}},
        {busDetail,
         {L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #1\n",
          L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n"}},
        {ioctl(kDiskSizeRequest),
         {L"RetrieveDiskSizeEx1 Error - DeviceIoControl \n",
          L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n"}},
    };
    for (const StepCase& c : cases) {
        sim::SimulatedMachine fresh;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario("drive 1 size=3000592982016\n", fresh, error));
        fresh.InjectFault(c.fault);
        std::wstring capacity, name, model;
        EXPECT_EQ(31u, RetrieveDiskInfoEx(fresh, 1, &capacity, &name, &model));
        EXPECT_EQ(c.lines, fresh.DebugLines());
        EXPECT_EQ(L"", model);
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, fresh.Outstanding());
    }
}

// The RAID test is true for a zero low half only: each bit of each byte counts, and the
// high half does not.
TEST_F(DiskTest, TheRaidTestSeesEveryBitOfTheLowHalf) {
    EXPECT_TRUE(IsAmdRaidMode(machine, 0));
    for (int bit = 0; bit < 32; ++bit) EXPECT_FALSE(IsAmdRaidMode(machine, 1u << bit)) << bit;
    for (int byte = 0; byte < 4; ++byte)
        EXPECT_FALSE(IsAmdRaidMode(machine, 0xFFu << (8 * byte))) << byte;
    EXPECT_EQ(L"IsAmdRaidMode temp.LowPart = 0x80000000\n", machine.DebugLines()[32]);

    // Through the scan: drives whose low half has one byte set are listed.
    Load(
        "drive 1 size=3000592982016 lastblock=4294967424\n"    // 1:00000080
        "drive 2 size=3000592982016 lastblock=4294999808\n"    // 1:00008000
        "drive 3 size=3000592982016 lastblock=4303355904\n"    // 1:00800000
        "drive 4 size=3000592982016 lastblock=6442450944\n"    // 1:80000000
        "drive 5 size=3000592982016 lastblock=4294967297\n"    // 1:00000001
        "drive 6 size=3000592982016 lastblock=8589934592\n");  // 2:00000000
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(5u, list.size());
    EXPECT_EQ(5, list[4].PhysicalDriveNumber);
}

// The drive queries open the drive for queries only, sharing it, and send requests of
// exactly the documented lengths.
TEST_F(DiskTest, TheDriveQueriesOpenAndAskExactlyAsDocumented) {
    Load("drive 1 size=3000592982016\n");
    std::wstring model;
    uint32_t value = 0;
    ASSERT_EQ(0u, ReadDriveModel(machine, 1, &model));
    ASSERT_EQ(0u, RetrieveBusType(machine, 1, &value));
    ASSERT_EQ(0u, GetPartitionStyle(machine, 1, &value));
    ASSERT_EQ(3u, machine.Opens().size());
    for (const sim::OpenRecord& o : machine.Opens()) {
        EXPECT_EQ(L"\\\\.\\PhysicalDrive1", o.path);
        EXPECT_EQ(0u, o.access);
        EXPECT_EQ(3u, o.shareMode);
        EXPECT_EQ(3u, o.creation);
        EXPECT_EQ(0u, o.flags);
    }
    const auto& r = machine.Ioctls();
    ASSERT_EQ(4u, r.size());
    const std::vector<uint8_t> zeroQuery(12, 0);
    EXPECT_EQ(0x2D1400u, r[0].code);
    EXPECT_EQ(zeroQuery, r[0].input);
    EXPECT_EQ(10000u, r[0].outSize);
    EXPECT_EQ(zeroQuery, r[1].input);
    EXPECT_EQ(8u, r[1].outSize);  // the header alone
    EXPECT_EQ(zeroQuery, r[2].input);
    const auto descriptor = sim::StorageDescriptorOf(*machine.FindDrive(1));
    EXPECT_EQ(descriptor.size(), r[2].outSize);  // the Size the header reported
    EXPECT_EQ(0x70048u, r[3].code);
    EXPECT_TRUE(r[3].input.empty());
    EXPECT_EQ(144u, r[3].outSize);

    machine.ClearRecords();
    std::wstring name;
    ASSERT_EQ(0u, RetrievePhysicalDeviceObjectName(machine, &name, 1));
    EXPECT_EQ((std::vector<uint32_t>{0x1A}), machine.ClassDevsFlags());
    ASSERT_FALSE(machine.Opens().empty());
    for (const sim::OpenRecord& o : machine.Opens()) {
        EXPECT_EQ(0u, o.access);
        EXPECT_EQ(3u, o.shareMode);
    }
    for (const auto& i : machine.Ioctls()) {
        EXPECT_EQ(0x2D1080u, i.code);
        EXPECT_TRUE(i.input.empty());
        EXPECT_EQ(12u, i.outSize);
    }

    machine.ClearRecords();
    DiskSizeInfo size{};
    ASSERT_EQ(0u, RetrieveDiskSizeEx1(machine, 11, name, &size));
    EXPECT_EQ((std::vector<uint32_t>{0x12}), machine.ClassDevsFlags());
    ASSERT_EQ(1u, machine.Opens().size());
    EXPECT_EQ(platform::kGenericRead, machine.Opens()[0].access);
    EXPECT_EQ(0u, machine.Opens()[0].shareMode);
}

}  // namespace
}  // namespace disk
