#include "disk/StorageGroups.h"

#include "busctl/BusOperations.h"
#include "disk/Capacity.h"
#include "disk/DeviceObjectName.h"
#include "disk/DiskSize.h"
#include "platform/Diagnostics.h"
#include "disk/DriveQueries.h"

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

uint32_t ReadDrive(DeviceIo& io, int driveNumber, DriveFacts& facts) {
    facts = {};
    return RetrieveDiskInfoEx(io, driveNumber, &facts.capacity, &facts.name, &facts.model);
}

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
    std::wstring model;
    if (const uint32_t e = ReadDriveModel(io, driveNumber, &model)) return e;
    uint32_t busType = 0;
    if (const uint32_t e = RetrieveBusType(io, driveNumber, &busType)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - RetrieveBusType \n");
        return e;
    }
    std::wstring name;
    if (const uint32_t e = RetrievePhysicalDeviceObjectName(io, &name, driveNumber)) {
        WriteDiagnostic(io,
                        L"RetrieveDiskInfoEx Error - GetPhysicalDeviceObjectName lPhysicalDriveID = %d\n",
                        driveNumber);
        return e;
    }
    uint32_t style = 0;
    if (const uint32_t e = GetPartitionStyle(io, driveNumber, &style)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - GetPartitionStyle\n");
        return e;
    }
    DiskSizeInfo size;
    if (const uint32_t e = RetrieveDiskSizeEx1(io, busType, name, &size)) {
        WriteDiagnostic(io, L"RetrieveDiskInfoEx Error - GetDiskSizeEx1 \n");
        return e;
    }
    ReportDiskSize(io, size);

    if (!ExceedsAddressLimit(size.DiskSize)) return kErrorSuccess;
    if (style != kPartitionStyleMbr && style != kPartitionStyleRaw) return kErrorSuccess;
    if (model.find(L"ASUS") != std::wstring::npos) return kErrorSuccess;
    if (IsAmdRaidMode(io, static_cast<uint32_t>(size.LastBlockAddress))) {
        WriteDiagnostic(io, L"IsAmdRaidMode return TRUE\n");
        return kErrorSuccess;
    }
    if (modelText) *modelText = std::move(model);
    if (capacityText) *capacityText = FormatCapacityText(size.DiskSize);
    if (deviceObjectName) *deviceObjectName = std::move(name);
    return kErrorSuccess;
}

uint32_t ScanStorageGroups(DeviceIo& io, StorageGroupList& list) {
    uint32_t rc = kErrorSuccess;
    for (int n = 0; n < kScannedDriveCount; ++n) {
        DriveFacts facts;
        rc = ReadDrive(io, n, facts);
        if (rc == kErrorFileNotFound) continue;
        if (rc != kErrorSuccess) return rc;
        if (!facts.Qualifies()) continue;
        io.Sleep(kSettleMilliseconds);

        uint32_t serialNo = 0;
        rc = busctl::LookupVirtualDiskSerial(io, facts.name, serialNo);
        if (rc != kErrorSuccess && rc != kErrorFileNotFound && rc != kErrorNoMoreItems) return rc;
        StorageGroup group = MakeGroup(serialNo, n, std::move(facts));
        rc = busctl::QueryVirtualDisk(io, serialNo, group.State);
        if (rc != kErrorSuccess && rc != kErrorFileNotFound && rc != kErrorInvalidParameter)
            return rc;
        list.push_back(std::move(group));
    }
    return rc;
}

uint32_t RefreshStorageGroup(DeviceIo& io, StorageGroupList& list, size_t position,
                             int driveNumber, uint32_t serialNo) {
    // A position past the end would make the replacement write outside the list.
    if (position >= list.size()) return kErrorInvalidParameter;
    DriveFacts facts;
    if (const uint32_t e = ReadDrive(io, driveNumber, facts)) return e;
    if (!facts.Qualifies()) return kErrorInvalidParameter;
    io.Sleep(kSettleMilliseconds);
    StorageGroup group = MakeGroup(serialNo, driveNumber, std::move(facts));
    const uint32_t rc = busctl::QueryVirtualDisk(io, serialNo, group.State);
    if (rc != kErrorSuccess && rc != kErrorFileNotFound) return rc;
    list[position] = std::move(group);
    return rc;
}

}  // namespace disk
