// Decisions about the storage-group list that need no window: which serial number a new
// virtual drive gets, and whether a fresh scan shows anything the dialog does not.
#pragma once

#include <cstdint>

#include "disk/StorageGroups.h"

namespace app {

// Serial numbers the program hands out for new virtual drives.
inline constexpr uint32_t kFirstSerialNo = 1;
inline constexpr uint32_t kLastSerialNo = 25;

// The smallest number from 1 to 25 that no group carries; current when all are taken.
uint32_t FindFreeSerialNo(const disk::StorageGroupList& groups, uint32_t current);

// Two groups read back the same: identity, texts, both flags and both descriptors (value,
// friendly and second name). The size and serial fields at the head of the bus driver's
// answer do not count.
bool SameStorageGroup(const disk::StorageGroup& a, const disk::StorageGroup& b);

// The same drive with the same virtual drive: drive number, device object name and serial
// number. What an operation confirmed by the user may still act on.
bool SameVirtualDrive(const disk::StorageGroup& a, const disk::StorageGroup& b);

// The same groups in the same order.
bool SameStorageGroups(const disk::StorageGroupList& a, const disk::StorageGroupList& b);

}  // namespace app
