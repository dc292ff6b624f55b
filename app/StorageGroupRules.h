// Decisions about the storage-group list that need no window: which serial number a new
// virtual drive gets, and whether a fresh scan shows anything the dialog does not.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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

// What the user chose, kept across rebuilds of the list: the drive, not its line, since a
// drive that comes or goes moves every line after it.
struct DriveIdentity {
    std::wstring deviceObjectName;
    int32_t physicalDriveNumber = 0;
};
DriveIdentity IdentityOf(const disk::StorageGroup& group);
// The position of the group with that identity; -1 when the drive is no longer listed.
int FindGroup(const disk::StorageGroupList& groups, const DriveIdentity& identity);

// The virtual drives this program plugged in, by the drive they extend, until the bus driver
// shows one unplugged or its drive leaves the list. Right after a plug-in a bus driver may
// not know the new serial number yet and answer "not known"; taken at its word, that answer
// would offer Create for a live virtual drive, and a second plug-in.
class PluggedInRecord {
public:
    void Remember(const std::wstring& deviceObjectName, uint32_t serialNo);
    void Forget(const std::wstring& deviceObjectName);
    // Brings a list just read from the bus driver in line with what this program plugged in:
    // a group that reads without its virtual drive is shown with it, plugged in; a virtual
    // drive that reads unplugged, another one in its place, or a drive no longer listed end
    // the record.
    void Apply(disk::StorageGroupList& groups);

private:
    std::map<std::wstring, uint32_t> serials_;
};

}  // namespace app
