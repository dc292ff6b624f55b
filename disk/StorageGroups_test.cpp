#include "disk/StorageGroups.h"

#include "busctl/BusOperations.h"
#include "disk/testing/DiskTestMachine.h"
#include "platform/Utf16.h"

namespace disk {
namespace {

using sim::Call;

// Gaps in the numbers, every qualification rule, a preset virtual drive, and a drive
// above 15 that must never be looked at.
constexpr const char* kMixedMachine = R"(
drive 0 size=500107862016                                  # system drive
drive 1 size=3000592982016 vendor="WDC" product="WD30EZRX  "
drive 3 size=2199023255552                                 # exactly 2^41
drive 4 size=2199023255553
drive 5 size=3000592982016 style=gpt
drive 6 size=3000592982016 style=raw
drive 7 size=3000592982016 vendor="ASUS" product="Big"
drive 8 size=3000592982016 vendor="Asus" product="Big"
drive 9 size=3000592982016 lastblock=4294967296            # low half 0: RAID member
drive 10 size=4000787030016 product="Four"
virtual 5 drive=10 mounted=0
drive 16 size=3000592982016
)";

std::wstring Name(const char16_t* field) {
    return platform::FromUtf16Bytes(field, 512);
}

TEST_F(DiskTest, ScanListsTheQualifyingDrivesInOrder) {
    Load(kMixedMachine);
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(5u, list.size());
    const int expected[] = {1, 4, 6, 8, 10};
    for (size_t i = 0; i < list.size(); ++i) EXPECT_EQ(expected[i], list[i].PhysicalDriveNumber);

    const StorageGroup& wd = list[0];
    EXPECT_EQ(L"WDC WD30EZRX", wd.ModelText);
    EXPECT_EQ(L"2794.52", wd.CapacityText);
    EXPECT_EQ(machine.FindDrive(1)->deviceObjectName, wd.DeviceObjectName);
    EXPECT_EQ(0u, wd.SerialNo);  // no virtual drive: cleared state
    EXPECT_EQ(0u, wd.State.Created);
    EXPECT_EQ(0u, wd.State.Mounted);
    EXPECT_EQ(L"", Name(wd.State.PhysicalDisk.FriendlyName));
    EXPECT_EQ(L"Asus Big", list[3].ModelText);

    const StorageGroup& four = list[4];
    EXPECT_EQ(5u, four.SerialNo);
    EXPECT_EQ(5u, four.State.SerialNo);
    EXPECT_EQ(1u, four.State.Created);
    EXPECT_EQ(0u, four.State.Mounted);
    EXPECT_EQ(2199023255552u, four.State.PhysicalDisk.Value);
    EXPECT_EQ(1801763774464u, four.State.VirtualDisk.Value);
    EXPECT_EQ(L"Four", Name(four.State.PhysicalDisk.FriendlyName));

    // One settling wait per qualifying drive, and nothing asked of drive 16.
    EXPECT_EQ(5u, machine.SleepCalls());
    EXPECT_EQ(1000u, machine.SleptMilliseconds());
    // Drive 16's interface takes part in the walk, but the drive itself is never asked.
    for (const auto& r : machine.Ioctls()) {
        if (r.drive == 16) {
            EXPECT_EQ(0x2D1080u, r.code);
        }
    }
    EXPECT_TRUE(Logged(L"IsAmdRaidMode temp.LowPart = 0x0\n"));
    EXPECT_TRUE(Logged(L"IsAmdRaidMode return TRUE\n"));
    EXPECT_TRUE(Logged(L"HDD Size: 0x2BAA1476000\n"));
    EXPECT_TRUE(Logged(L"HDD Block Address: 0x15D50A3AF  BytesPerBlock = 0x200\n"));
    ExpectNothingHeld();
}

TEST_F(DiskTest, NoBigDriveGivesAnEmptyList) {
    Load("drive 0 size=500107862016\ndrive 1 size=2199023255552\n");
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(0u, machine.SleepCalls());
}

TEST_F(DiskTest, WithoutTheBusDriverTheScanStopsWith259) {
    Load("bus absent\ndrive 1 size=3000592982016\n");
    StorageGroupList list;
    EXPECT_EQ(259u, ScanStorageGroups(machine, list));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(Logged(L"RetrieveDiskSizeEx1 Error - SetupDiEnumDeviceInterfaces\n"));
    EXPECT_TRUE(Logged(L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n"));
    ExpectNothingHeld();
}

// Each injected failure of a device call must end the scan with a failure code and leave
// nothing held (a failure after drive 1 was listed keeps its record).
TEST_F(DiskTest, EveryFailingCallOfTheScanEndsItWithItsCode) {
    const Call calls[] = {Call::GetClassDevs,
                          Call::EnumDeviceInterfaces,
                          Call::GetDeviceInterfaceDetail,
                          Call::GetDeviceRegistryProperty,
                          Call::CreateFile,
                          Call::DeviceIoControl,
                          Call::HeapAlloc};
    for (Call call : calls) {
        int failed = 0;
        for (int nth = 1; nth < 100; ++nth) {
            sim::SimulatedMachine fresh;
            std::string error;
            ASSERT_TRUE(
                sim::LoadScenario("drive 1 size=3000592982016\nvirtual 4 drive=1\n", fresh, error));
            fresh.InjectFault({call, 31, nth});
            StorageGroupList list;
            const uint32_t rc = ScanStorageGroups(fresh, list);
            if (rc == 2 && list.size() == 1) break;  // fewer than nth such calls
            ++failed;
            // Allocation failures of the bus operations report 122; all else passes 31 on.
            EXPECT_TRUE(rc == 31 || (call == Call::HeapAlloc && rc == 122))
                << static_cast<int>(call) << " #" << nth << " -> " << rc;
            EXPECT_EQ(sim::SimulatedMachine::Resources{}, fresh.Outstanding());
        }
        EXPECT_GT(failed, 0) << static_cast<int>(call);
    }
}

TEST_F(DiskTest, ReleaseFailuresDoNotChangeTheScan) {
    Load("drive 1 size=3000592982016\n");
    machine.InjectFault({Call::CloseHandle, 6});
    machine.InjectFault({Call::HeapFree, 87});
    machine.InjectFault({Call::DestroyDeviceInfoList, 6});
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    EXPECT_EQ(1u, list.size());
    ExpectNothingHeld();
}

TEST_F(DiskTest, AMissingDriveAtAnyStepIsSkipped) {
    Load("drive 1 size=3000592982016\ndrive 2 size=3000592982016\n");
    machine.InjectFault({Call::CreateFile, 2, 2});  // #1 is drive 0, which is not there
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(2, list[0].PhysicalDriveNumber);
}

TEST_F(DiskTest, AFailureAfterSomeDrivesKeepsTheirRecords) {
    Load("drive 1 size=3000592982016\ndrive 2 size=3000592982016\n");
    machine.InjectFault({Call::DeviceIoControl, 31, 0, 0x2D1400u, 2});
    StorageGroupList list;
    EXPECT_EQ(31u, ScanStorageGroups(machine, list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(1, list[0].PhysicalDriveNumber);
}

TEST_F(DiskTest, RefreshReplacesTheRecordInPlace) {
    Load("drive 1 size=3000592982016\ndrive 2 size=4000787030016\n");
    StorageGroupList list;
    ASSERT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(2u, list.size());
    ASSERT_EQ(0u, busctl::PlugInVirtualDisk(machine, 3, list[1].DeviceObjectName));

    EXPECT_EQ(0u, RefreshStorageGroup(machine, list, 1, 2, 3));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(1, list[0].PhysicalDriveNumber);
    EXPECT_EQ(3u, list[1].SerialNo);
    EXPECT_EQ(1u, list[1].State.Mounted);
    EXPECT_EQ(L"3726.02", list[1].CapacityText);

    // Serial 9 is unknown to the bus: 2, still a refresh with a cleared state.
    EXPECT_EQ(2u, RefreshStorageGroup(machine, list, 0, 1, 9));
    EXPECT_EQ(9u, list[0].SerialNo);
    EXPECT_EQ(0u, list[0].State.Created);
    ExpectNothingHeld();
}

TEST_F(DiskTest, RefreshOfADriveThatNoLongerQualifiesChangesNothing) {
    Load("drive 1 size=3000592982016\ndrive 2 size=1000204886016\n");
    StorageGroupList list;
    ASSERT_EQ(2u, ScanStorageGroups(machine, list));
    ASSERT_EQ(1u, list.size());
    const std::wstring before = list[0].DeviceObjectName;
    EXPECT_EQ(87u, RefreshStorageGroup(machine, list, 0, 2, 1));
    EXPECT_EQ(2u, RefreshStorageGroup(machine, list, 0, 7, 1));   // no such drive
    EXPECT_EQ(87u, RefreshStorageGroup(machine, list, 5, 1, 1));  // no such position
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(before, list[0].DeviceObjectName);
    EXPECT_EQ(1, list[0].PhysicalDriveNumber);
}

}  // namespace
}  // namespace disk
