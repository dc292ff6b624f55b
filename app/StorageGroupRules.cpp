#include "app/StorageGroupRules.h"

#include <algorithm>
#include <iterator>

namespace app {
namespace {

// The name fields come from the bus driver; a field without a terminator ends at its size
// rather than somewhere past it.
std::u16string_view FieldText(const char16_t (&field)[busctl::kNameFieldChars]) {
    const auto end = std::find(std::begin(field), std::end(field), u'\0');
    return {field, static_cast<size_t>(end - std::begin(field))};
}

bool SameDescriptor(const busctl::DiskDescriptor& a, const busctl::DiskDescriptor& b) {
    return a.Value == b.Value && FieldText(a.FriendlyName) == FieldText(b.FriendlyName) &&
           FieldText(a.SecondName) == FieldText(b.SecondName);
}

}  // namespace

uint32_t FindFreeSerialNo(const disk::StorageGroupList& groups, uint32_t current) {
    for (uint32_t candidate = kFirstSerialNo; candidate <= kLastSerialNo; ++candidate) {
        const bool taken = std::any_of(groups.begin(), groups.end(), [&](const auto& group) {
            return group.SerialNo == candidate;
        });
        if (!taken) return candidate;
    }
    return current;
}

bool SameStorageGroup(const disk::StorageGroup& a, const disk::StorageGroup& b) {
    return a.SerialNo == b.SerialNo && a.PhysicalDriveNumber == b.PhysicalDriveNumber &&
           a.CapacityText == b.CapacityText && a.ModelText == b.ModelText &&
           a.DeviceObjectName == b.DeviceObjectName && a.State.Created == b.State.Created &&
           a.State.Mounted == b.State.Mounted &&
           SameDescriptor(a.State.PhysicalDisk, b.State.PhysicalDisk) &&
           SameDescriptor(a.State.VirtualDisk, b.State.VirtualDisk);
}

bool SameVirtualDrive(const disk::StorageGroup& a, const disk::StorageGroup& b) {
    return a.PhysicalDriveNumber == b.PhysicalDriveNumber &&
           a.DeviceObjectName == b.DeviceObjectName && a.SerialNo == b.SerialNo;
}

bool SameStorageGroups(const disk::StorageGroupList& a, const disk::StorageGroupList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameStorageGroup);
}

DriveIdentity IdentityOf(const disk::StorageGroup& group) {
    return {group.DeviceObjectName, group.PhysicalDriveNumber};
}

int FindGroup(const disk::StorageGroupList& groups, const DriveIdentity& identity) {
    const auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& group) {
        return group.DeviceObjectName == identity.deviceObjectName &&
               group.PhysicalDriveNumber == identity.physicalDriveNumber;
    });
    return found == groups.end() ? -1 : static_cast<int>(found - groups.begin());
}

void PluggedInRecord::Remember(const std::wstring& deviceObjectName, uint32_t serialNo) {
    serials_[deviceObjectName] = serialNo;
}

void PluggedInRecord::Forget(const std::wstring& deviceObjectName) {
    serials_.erase(deviceObjectName);
}

void PluggedInRecord::Apply(disk::StorageGroupList& groups) {
    for (auto entry = serials_.begin(); entry != serials_.end();) {
        const auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) {
            return g.DeviceObjectName == entry->first;
        });
        // A virtual drive the bus driver reads back unplugged, or another one in its place,
        // is the bus driver's word; only "none known" is not believed.
        if (group == groups.end() ||
            (group->State.Created == 1 &&
             (group->SerialNo != entry->second || group->State.Mounted != 1))) {
            entry = serials_.erase(entry);
            continue;
        }
        group->SerialNo = entry->second;
        group->State.Created = 1;
        group->State.Mounted = 1;
        ++entry;
    }
}

}  // namespace app
