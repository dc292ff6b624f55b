#include "disk/ScanObserver.h"

#include <optional>

#include "busctl/BusProtocol.h"
#include "disk/StorageGroups.h"
#include "disk/testing/DiskTestMachine.h"

namespace disk {
namespace {

using platform::kErrorFileNotFound;
using sim::Call;
using sim::Fault;

struct Recorder final : ScanObserver {
    void DriveStarted(int n) override { started.push_back(n); }
    void DriveFinished(const DriveFindings& f) override { drives.push_back(f); }
    void ScanFinished(const ScanOutcome& o) override { outcome = o; }

    const DriveFindings* Drive(int n) const {
        for (const auto& d : drives)
            if (d.driveNumber == n) return &d;
        return nullptr;
    }

    std::vector<int> started;
    std::vector<DriveFindings> drives;
    std::optional<ScanOutcome> outcome;
};

TEST_F(DiskTest, EveryExaminedDriveGetsItsVerdictAndReason) {
    Load(R"(
drive 0 size=500107862016 product="SYS500"
drive 1 size=3000592982016 vendor="WDC" product="WD30EZRX" bus=3
drive 3 size=2199023255552
drive 4 size=6001175126016 product="GPT6T" style=gpt
drive 5 size=3000592982016 style=raw
drive 6 size=3000592982016 vendor="ASUS" product="Big"
drive 7 size=3000592982016 lastblock=4294967296
drive 8 size=4000787030016 product="Four"
virtual 5 drive=8 mounted=0
drive 9 size=3000592982016 blocksize=4096
drive 16 size=3000592982016
)");
    Recorder seen;
    StorageGroupList list;
    EXPECT_EQ(2u, ScanStorageGroups(machine, list, &seen));
    ASSERT_EQ(3u, list.size());

    std::vector<int> all;
    for (int n = 0; n < 16; ++n) all.push_back(n);
    EXPECT_EQ(all, seen.started);
    ASSERT_EQ(16u, seen.drives.size());
    const struct {
        int drive;
        Verdict verdict;
        Reason reason;
    } expected[] = {
        {0, Verdict::NotOffered, Reason::NotBeyondLimit},
        {1, Verdict::Offered, Reason::None},
        {2, Verdict::NoDrive, Reason::NoDrive},
        {3, Verdict::NotOffered, Reason::NotBeyondLimit},
        {4, Verdict::NotOffered, Reason::PartitionStyle},
        {5, Verdict::Offered, Reason::None},
        {6, Verdict::NotOffered, Reason::ExcludedModel},
        {7, Verdict::NotOffered, Reason::RaidMember},
        {8, Verdict::Offered, Reason::None},
        {9, Verdict::NotOffered, Reason::BlockSize},
        {15, Verdict::NoDrive, Reason::NoDrive},
    };
    for (const auto& e : expected) {
        const DriveFindings* d = seen.Drive(e.drive);
        ASSERT_NE(nullptr, d) << e.drive;
        EXPECT_EQ(e.verdict, d->verdict) << e.drive;
        EXPECT_EQ(e.reason, d->reason) << e.drive;
        EXPECT_FALSE(d->stoppedScan) << e.drive;
    }

    const DriveFindings& wd = *seen.Drive(1);
    EXPECT_EQ(L"WDC WD30EZRX", *wd.modelText);
    EXPECT_EQ(3u, *wd.busType);
    EXPECT_EQ(list[0].DeviceObjectName, *wd.deviceObjectName);
    EXPECT_EQ(0u, *wd.partitionStyle);
    EXPECT_EQ(3000592982016u, wd.size->DiskSize);
    EXPECT_EQ(kErrorFileNotFound, wd.serialLookupCode);  // no virtual drive yet
    EXPECT_EQ(0u, wd.serialNo);

    const DriveFindings& gpt = *seen.Drive(4);
    EXPECT_EQ(1u, *gpt.partitionStyle);
    EXPECT_EQ(L"GPT6T", *gpt.modelText);
    EXPECT_EQ(4294967296u, seen.Drive(7)->size->LastBlockAddress);

    const DriveFindings& four = *seen.Drive(8);
    EXPECT_EQ(5u, four.serialNo);
    EXPECT_EQ(5u, four.virtualDisk.SerialNo);
    EXPECT_EQ(1u, four.virtualDisk.Created);
    EXPECT_EQ(0u, four.virtualDisk.Mounted);
    EXPECT_EQ(0u, four.serialLookupCode);
    EXPECT_EQ(0u, four.virtualDiskQueryCode);

    // A drive number without a drive fails at its first query with 2.
    const DriveFindings& none = *seen.Drive(2);
    EXPECT_EQ(ScanStep::Model, none.failure->step);
    EXPECT_EQ(kErrorFileNotFound, none.failure->code);
    EXPECT_FALSE(none.modelText.has_value());

    ASSERT_TRUE(seen.outcome.has_value());
    EXPECT_EQ(2u, seen.outcome->result);
    EXPECT_FALSE(seen.outcome->stoppedEarly);
    EXPECT_TRUE(seen.outcome->notExamined.empty());
    EXPECT_EQ(BusDriverPresence::Present, seen.outcome->busDriver);
    EXPECT_EQ(0, seen.outcome->busDriverDrive);
    EXPECT_EQ(0u, seen.outcome->busDriverCode);  // an answer carries no failure code
    ExpectNothingHeld();
}

// A drive that answers at every step until one query fails: drive 2's query fails at each
// step in turn, after drive 1 was offered.
Fault FaultAt(ScanStep step, uint32_t code) {
    switch (step) {
        case ScanStep::Model:
            return {Call::DeviceIoControl, code, 1, 0x2D1400u, 2};
        case ScanStep::BusType:
            return {Call::DeviceIoControl, code, 2, 0x2D1400u, 2};
        case ScanStep::DeviceObjectName:
            return {Call::GetDeviceRegistryProperty, code, 0, {}, 2};
        case ScanStep::PartitionStyle:
            return {Call::DeviceIoControl, code, 0, 0x70048u, 2};
        case ScanStep::DiskSize:
            return {Call::DeviceIoControl, code, 2, busctl::BUS_DISK_SIZE};
        case ScanStep::SerialLookup:
            return {Call::DeviceIoControl, code, 2, busctl::BUS_LOOKUP_SERIAL};
        case ScanStep::VirtualDiskQuery:
            return {Call::DeviceIoControl, code, 2, busctl::BUS_QUERY};
    }
    return {};
}

constexpr ScanStep kSteps[] = {
    ScanStep::Model,           ScanStep::BusType,  ScanStep::DeviceObjectName,
    ScanStep::PartitionStyle,  ScanStep::DiskSize, ScanStep::SerialLookup,
    ScanStep::VirtualDiskQuery};
constexpr const char* kTwoBigDrives =
    "drive 1 size=3000592982016\ndrive 2 size=3000592982016\nvirtual 4 drive=2\n";

TEST_F(DiskTest, AFailingQueryIsNamedWithItsStepAndTheDrivesItLeftUnexamined) {
    for (ScanStep step : kSteps) {
        SCOPED_TRACE(ScanStepName(step));
        sim::SimulatedMachine fresh;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(kTwoBigDrives, fresh, error));
        fresh.InjectFault(FaultAt(step, 31));
        Recorder seen;
        StorageGroupList list;
        EXPECT_EQ(31u, ScanStorageGroups(fresh, list, &seen));
        ASSERT_EQ(1u, list.size());

        ASSERT_EQ(3u, seen.drives.size());
        const DriveFindings& failed = seen.drives[2];
        EXPECT_EQ(2, failed.driveNumber);
        EXPECT_EQ(Verdict::NotOffered, failed.verdict);
        EXPECT_EQ(Reason::QueryFailed, failed.reason);
        ASSERT_TRUE(failed.failure.has_value());
        EXPECT_EQ(step, failed.failure->step);
        EXPECT_EQ(31u, failed.failure->code);
        EXPECT_TRUE(failed.stoppedScan);
        // What was found before the failing step is kept, nothing after it.
        EXPECT_EQ(step > ScanStep::Model, failed.modelText.has_value());
        EXPECT_EQ(step > ScanStep::PartitionStyle, failed.partitionStyle.has_value());
        EXPECT_EQ(step > ScanStep::DiskSize, failed.size.has_value());

        ASSERT_TRUE(seen.outcome.has_value());
        EXPECT_EQ(31u, seen.outcome->result);
        EXPECT_TRUE(seen.outcome->stoppedEarly);
        EXPECT_EQ(2, seen.outcome->stoppedAtDrive);
        ASSERT_EQ(13u, seen.outcome->notExamined.size());
        EXPECT_EQ(3, seen.outcome->notExamined.front());
        EXPECT_EQ(15, seen.outcome->notExamined.back());
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, fresh.Outstanding());
    }
}

// Code 2 means "no such thing" to the scan at every step: the drive is passed over (or, at
// the bus driver's lookups, offered without a virtual drive) and the scan goes on.
TEST_F(DiskTest, CodeTwoAtAnyStepLetsTheScanGoOn) {
    for (ScanStep step : kSteps) {
        SCOPED_TRACE(ScanStepName(step));
        sim::SimulatedMachine fresh;
        std::string error;
        ASSERT_TRUE(sim::LoadScenario(kTwoBigDrives, fresh, error));
        fresh.InjectFault(FaultAt(step, kErrorFileNotFound));
        Recorder seen;
        StorageGroupList list;
        EXPECT_EQ(2u, ScanStorageGroups(fresh, list, &seen));
        ASSERT_EQ(16u, seen.drives.size());
        const DriveFindings& d = seen.drives[2];
        EXPECT_FALSE(d.stoppedScan);
        EXPECT_FALSE(seen.outcome->stoppedEarly);
        if (step == ScanStep::SerialLookup || step == ScanStep::VirtualDiskQuery) {
            EXPECT_EQ(Verdict::Offered, d.verdict);
            EXPECT_EQ(2u, list.size());
            EXPECT_EQ(kErrorFileNotFound,
                      step == ScanStep::SerialLookup ? d.serialLookupCode : d.virtualDiskQueryCode);
        } else {
            EXPECT_EQ(step == ScanStep::Model ? Verdict::NoDrive : Verdict::NotOffered, d.verdict);
            EXPECT_EQ(step == ScanStep::Model ? Reason::NoDrive : Reason::QueryFailed, d.reason);
            EXPECT_EQ(step, d.failure->step);
            EXPECT_EQ(1u, list.size());
        }
    }
}

TEST_F(DiskTest, TheSizeRequestTellsWhetherTheBusDriverIsThere) {
    Load("bus absent\ndrive 0 size=1000\ndrive 2 size=3000592982016\ndrive 3 size=1\n");
    Recorder seen;
    StorageGroupList list;
    EXPECT_EQ(259u, ScanStorageGroups(machine, list, &seen));
    ASSERT_TRUE(seen.outcome.has_value());
    EXPECT_EQ(BusDriverPresence::Absent, seen.outcome->busDriver);
    EXPECT_EQ(0, seen.outcome->busDriverDrive);
    EXPECT_EQ(259u, seen.outcome->busDriverCode);
    EXPECT_EQ(0, seen.outcome->stoppedAtDrive);
    EXPECT_EQ(15u, seen.outcome->notExamined.size());
    EXPECT_EQ(ScanStep::DiskSize, seen.drives[0].failure->step);

    // No drive at all: the bus driver was never asked.
    sim::SimulatedMachine empty;
    Recorder none;
    EXPECT_EQ(2u, ScanStorageGroups(empty, list, &none));
    EXPECT_EQ(BusDriverPresence::NotAsked, none.outcome->busDriver);
}

}  // namespace
}  // namespace disk
