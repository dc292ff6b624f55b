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

}  // namespace app
