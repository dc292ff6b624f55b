#include "disk/StorageGroups.h"

#include "busctl/BusOperations.h"
#include "disk/Capacity.h"
#include "disk/DeviceObjectName.h"
#include "disk/DiskSize.h"
#include "disk/DriveQueries.h"
#include "disk/ScanObserver.h"
#include "platform/Diagnostics.h"

namespace disk {

using namespace platform;

namespace {

constexpr uint32_t kSettleMilliseconds = 200;

uint32_t ByteSwapped(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

// What RetrieveDiskInfoEx found about a qualifying drive; empty texts otherwise.
struct DriveFacts {
    std::wstring model, capacity, name;
    bool Qualifies() const { return !model.empty() || !capacity.empty(); }
};

uint32_t Failed(DriveFindings& seen, ScanStep step, uint32_t error) {
    seen.failure = QueryFailure{step, error};
    return error;
}

uint32_t Declined(DriveFindings& seen, Reason reason) {
    seen.verdict = Verdict::NotOffered;
    seen.reason = reason;
    return kErrorSuccess;
}

// RetrieveDiskInfoEx, noting in seen what each query found and why the drive is or is not
// offered. The device calls are the same whoever reads seen.
uint32_t ExamineDrive(DeviceIo& io, int driveNumber, DriveFindings& seen,
                      std::wstring* capacityText, std::wstring* deviceObjectName,
                      std::wstring* modelText) {
    seen.driveNumber = driveNumber;
    std::wstring model;
    if (const uint32_t e = ReadDriveModel(io, driveNumber, &model))
        return Failed(seen, ScanStep::Model, e);
    seen.modelText = model;
    uint32_t busType = 0;
    if (const uint32_t e = RetrieveBusType(io, driveNumber, &busType)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - RetrieveBusType \n");
        return Failed(seen, ScanStep::BusType, e);
    }
    seen.busType = busType;
    std::wstring name;
    if (const uint32_t e = RetrievePhysicalDeviceObjectName(io, &name, driveNumber)) {
        WriteDiagnostic(
            io, L"RetrieveDiskInfoEx Error - GetPhysicalDeviceObjectName lPhysicalDriveID = %d\n",
            driveNumber);
        return Failed(seen, ScanStep::DeviceObjectName, e);
    }
    seen.deviceObjectName = name;
    uint32_t style = 0;
    if (const uint32_t e = GetPartitionStyle(io, driveNumber, &style)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - GetPartitionStyle\n");
        return Failed(seen, ScanStep::PartitionStyle, e);
    }
    seen.partitionStyle = style;
    DiskSizeInfo size;
    if (const uint32_t e = RetrieveDiskSizeEx1(io, busType, name, &size)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n");
        return Failed(seen, ScanStep::DiskSize, e);
    }
    seen.size = size;
    ReportDiskSize(io, size);

    if (!ExceedsAddressLimit(size.DiskSize)) return Declined(seen, Reason::NotBeyondLimit);
    if (!HasMbrBlockSize(size.BytesPerBlock)) return Declined(seen, Reason::BlockSize);
    if (style != kPartitionStyleMbr && style != kPartitionStyleRaw)
        return Declined(seen, Reason::PartitionStyle);
    if (model.find(L"ASUS") != std::wstring::npos) return Declined(seen, Reason::ExcludedModel);
    if (IsAmdRaidMode(io, static_cast<uint32_t>(size.LastBlockAddress))) {
        WriteDiagnostic(io, L"IsAmdRaidMode return TRUE\n");
        return Declined(seen, Reason::RaidMember);
    }
    seen.verdict = Verdict::Offered;
    seen.reason = Reason::None;
    if (modelText) *modelText = std::move(model);
    if (capacityText) *capacityText = FormatCapacityText(size.DiskSize);
    if (deviceObjectName) *deviceObjectName = std::move(name);
    return kErrorSuccess;
}

uint32_t ReadDrive(DeviceIo& io, int driveNumber, DriveFacts& facts, DriveFindings& seen) {
    facts = {};
    return ExamineDrive(io, driveNumber, seen, &facts.capacity, &facts.name, &facts.model);
}

// Keeps the findings of the drive being scanned and hands them to the observer; without an
// observer it only keeps them.
class ScanLog {
public:
    explicit ScanLog(ScanObserver* observer) : observer_(observer) {}

    DriveFindings& Begin(int driveNumber) {
        seen_ = DriveFindings{};
        seen_.driveNumber = driveNumber;
        if (observer_) observer_->DriveStarted(driveNumber);
        return seen_;
    }

    // The drive is done and the scan goes on: offered, declined, or skipped on code 2.
    void End() {
        NoteBusDriver();
        if (seen_.failure) MarkFailed();
        if (observer_) observer_->DriveFinished(seen_);
    }

    // A query of the drive failed with a code that ends the scan.
    uint32_t Stop(uint32_t rc) {
        NoteBusDriver();
        MarkFailed();
        seen_.stoppedScan = true;
        if (observer_) observer_->DriveFinished(seen_);
        outcome_.stoppedEarly = true;
        outcome_.stoppedAtDrive = seen_.driveNumber;
        for (int n = seen_.driveNumber + 1; n < kScannedDriveCount; ++n)
            outcome_.notExamined.push_back(n);
        return Finish(rc);
    }
    uint32_t Stop(ScanStep step, uint32_t rc) {
        Failed(seen_, step, rc);
        return Stop(rc);
    }

    uint32_t Finish(uint32_t rc) {
        outcome_.result = rc;
        if (observer_) observer_->ScanFinished(outcome_);
        return rc;
    }

private:
    void MarkFailed() {
        const bool noDrive =
            seen_.failure->step == ScanStep::Model && seen_.failure->code == kErrorFileNotFound;
        seen_.verdict = noDrive ? Verdict::NoDrive : Verdict::NotOffered;
        seen_.reason = noDrive ? Reason::NoDrive : Reason::QueryFailed;
    }

    // The size request is the scan's only contact with the bus driver before a drive
    // qualifies, so it is what tells whether the driver is there.
    void NoteBusDriver() {
        if (outcome_.busDriver == BusDriverPresence::Present) return;
        BusDriverPresence presence;
        uint32_t code = 0;
        if (seen_.size) {
            presence = BusDriverPresence::Present;
        } else if (seen_.failure && seen_.failure->step == ScanStep::DiskSize) {
            code = seen_.failure->code;
            presence =
                code == kErrorNoMoreItems ? BusDriverPresence::Absent : BusDriverPresence::Failed;
        } else {
            return;
        }
        outcome_.busDriver = presence;
        outcome_.busDriverDrive = seen_.driveNumber;
        outcome_.busDriverCode = code;
    }

    ScanObserver* observer_;
    DriveFindings seen_;
    ScanOutcome outcome_;
};

StorageGroup MakeGroup(uint32_t serialNo, int driveNumber, DriveFacts&& facts) {
    StorageGroup group;
    group.SerialNo = serialNo;
    group.PhysicalDriveNumber = driveNumber;
    group.ModelText = std::move(facts.model);
    group.CapacityText = std::move(facts.capacity);
    group.DeviceObjectName = std::move(facts.name);
    return group;
}

}  // namespace

bool IsAmdRaidMode(DeviceIo& io, uint32_t lastBlockLowPart) {
    WriteDiagnostic(io, L"IsAmdRaidMode temp.LowPart = 0x%X\n", lastBlockLowPart);
    return ByteSwapped(lastBlockLowPart) == 0;
}

uint32_t RetrieveDiskInfoEx(DeviceIo& io, int driveNumber, std::wstring* capacityText,
                            std::wstring* deviceObjectName, std::wstring* modelText) {
    DriveFindings unread;
    return ExamineDrive(io, driveNumber, unread, capacityText, deviceObjectName, modelText);
}

uint32_t ScanStorageGroups(DeviceIo& io, StorageGroupList& list) {
    return ScanStorageGroups(io, list, nullptr);
}

uint32_t ScanStorageGroups(DeviceIo& io, StorageGroupList& list, ScanObserver* observer) {
    ScanLog log(observer);
    uint32_t rc = kErrorSuccess;
    for (int n = 0; n < kScannedDriveCount; ++n) {
        DriveFindings& seen = log.Begin(n);
        DriveFacts facts;
        rc = ReadDrive(io, n, facts, seen);
        if (rc == kErrorFileNotFound) {
            log.End();
            continue;
        }
        if (rc != kErrorSuccess) return log.Stop(rc);
        if (!facts.Qualifies()) {
            log.End();
            continue;
        }
        io.Sleep(kSettleMilliseconds);

        uint32_t serialNo = 0;
        rc = seen.serialLookupCode = busctl::LookupVirtualDiskSerial(io, facts.name, serialNo);
        if (rc != kErrorSuccess && rc != kErrorFileNotFound && rc != kErrorNoMoreItems)
            return log.Stop(ScanStep::SerialLookup, rc);
        StorageGroup group = MakeGroup(serialNo, n, std::move(facts));
        rc = seen.virtualDiskQueryCode = busctl::QueryVirtualDisk(io, serialNo, group.State);
        if (rc != kErrorSuccess && rc != kErrorFileNotFound && rc != kErrorInvalidParameter)
            return log.Stop(ScanStep::VirtualDiskQuery, rc);
        seen.serialNo = serialNo;
        seen.virtualDisk = group.State;
        list.push_back(std::move(group));
        log.End();
    }
    return log.Finish(rc);
}

uint32_t RefreshStorageGroup(DeviceIo& io, StorageGroupList& list, size_t position, int driveNumber,
                             uint32_t serialNo) {
    // A position past the end would make the replacement write outside the list.
    if (position >= list.size()) return kErrorInvalidParameter;
    DriveFacts facts;
    DriveFindings unread;
    if (const uint32_t e = ReadDrive(io, driveNumber, facts, unread)) return e;
    if (!facts.Qualifies()) return kErrorInvalidParameter;
    io.Sleep(kSettleMilliseconds);
    StorageGroup group = MakeGroup(serialNo, driveNumber, std::move(facts));
    const uint32_t rc = busctl::QueryVirtualDisk(io, serialNo, group.State);
    if (rc != kErrorSuccess && rc != kErrorFileNotFound) return rc;
    list[position] = std::move(group);
    return rc;
}

}  // namespace disk
