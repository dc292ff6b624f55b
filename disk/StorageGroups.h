// Which drives the program offers, and what it keeps about each: a drive qualifies when it
// is larger than 2048 GiB, has 512-byte blocks, is MBR or not initialised, is not an ASUS
// model and not a RAID member.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "busctl/BusProtocol.h"
#include "disk/ScanObserver.h"
#include "platform/DeviceIo.h"

namespace disk {

// One qualifying drive and the last known state of its virtual drive.
struct StorageGroup {
    uint32_t SerialNo = 0;  // 0: the bus driver knows no virtual drive for it
    int32_t PhysicalDriveNumber = 0;
    std::wstring ModelText;
    std::wstring CapacityText;
    std::wstring DeviceObjectName;
    busctl::VirtualDiskState State{};
};

using StorageGroupList = std::vector<StorageGroup>;

// Drive numbers the scan examines: 0 to 15.
inline constexpr int kScannedDriveCount = 16;

// 0 both for a qualifying drive (all three texts set) and for one that does not qualify
// (texts left as they were).
uint32_t RetrieveDiskInfoEx(platform::DeviceIo& io, int driveNumber, std::wstring* capacityText,
                            std::wstring* deviceObjectName, std::wstring* modelText);

// A last block address whose low half is 0 is how RAID members report themselves.
bool IsAmdRaidMode(platform::DeviceIo& io, uint32_t lastBlockLowPart);

// Appends every qualifying drive, by ascending number. Returns the last code met (usually 2
// for drive 15), or the code that stopped the pass; 0 and 2 mean success.
uint32_t ScanStorageGroups(platform::DeviceIo& io, StorageGroupList& list);
// The same scan, telling observer (when not null) what it found and decided for every drive
// number; the observer changes nothing in what the scan does or returns.
uint32_t ScanStorageGroups(platform::DeviceIo& io, StorageGroupList& list, ScanObserver* observer);

// Re-reads drive driveNumber with serial number serialNo and puts the record at position.
// 87 when the drive no longer qualifies; the list is changed only on 0 and 2.
uint32_t RefreshStorageGroup(platform::DeviceIo& io, StorageGroupList& list, size_t position,
                             int driveNumber, uint32_t serialNo);

}  // namespace disk
