#include "sim/DiskStandIn.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/DeviceIo.h"

namespace sim {

using namespace platform;

namespace {

constexpr uint32_t kFileDeviceDisk = 7;
constexpr size_t kDeviceNumberBytes = 12;
constexpr size_t kPropertyQueryBytes = 12;  // STORAGE_PROPERTY_QUERY with one parameter byte
constexpr size_t kDescriptorHeaderBytes = 8;
constexpr size_t kDescriptorFixedBytes = 40;  // up to and with RawDeviceProperties[1]
constexpr size_t kPartitionInfoExBytes = 144;

void Append(wire::Bytes& b, const std::string& text, size_t offsetField) {
    wire::PutU32(b, offsetField, static_cast<uint32_t>(b.size()));
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
}

DiskReply DeviceNumber(const Drive& drive, wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    if (inSize != 0) return {kErrorInvalidParameter, 0};  // the request takes no input
    if (outSize < kDeviceNumberBytes) return {kErrorInsufficientBuffer, 0};
    wire::PutU32(b, 0, kFileDeviceDisk);
    wire::PutU32(b, 4, static_cast<uint32_t>(drive.number));
    wire::PutU32(b, 8, 0);  // partition 0: the whole disk
    return {kErrorSuccess, kDeviceNumberBytes};
}

DiskReply QueryProperty(const Drive& drive, wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    if (inSize < kPropertyQueryBytes) return {kErrorInvalidParameter, 0};
    const uint32_t propertyId = wire::U32(b, 0);
    const uint32_t queryType = wire::U32(b, 4);
    if (propertyId != 0) return {kErrorNotSupported, 0};  // only StorageDeviceProperty
    if (queryType == 1) return {kErrorSuccess, 0};        // PropertyExistsQuery
    if (queryType != 0) return {kErrorInvalidParameter, 0};
    if (outSize < kDescriptorHeaderBytes) return {kErrorInsufficientBuffer, 0};
    // A buffer too small for the whole descriptor receives its beginning, Size included,
    // so that the caller can ask again with enough room.
    const wire::Bytes descriptor = StorageDescriptorOf(drive);
    const size_t n = std::min<size_t>(outSize, descriptor.size());
    std::fill(b.begin(), b.begin() + outSize, 0);
    std::memcpy(b.data(), descriptor.data(), n);
    return {kErrorSuccess, static_cast<uint32_t>(n)};
}

DiskReply PartitionInfo(const Drive& drive, wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    if (inSize != 0) return {kErrorInvalidParameter, 0};  // the request takes no input
    if (outSize < kPartitionInfoExBytes) return {kErrorInsufficientBuffer, 0};
    std::fill(b.begin(), b.begin() + kPartitionInfoExBytes, 0);
    wire::PutU32(b, 0, drive.partitionStyle);
    wire::PutU64(b, 8, 0);            // StartingOffset
    wire::PutU64(b, 16, drive.size);  // PartitionLength: the whole disk
    return {kErrorSuccess, kPartitionInfoExBytes};
}

}  // namespace

wire::Bytes StorageDescriptorOf(const Drive& drive) {
    if (drive.rawDescriptor) return *drive.rawDescriptor;
    wire::Bytes b(kDescriptorFixedBytes, 0);
    wire::PutU32(b, 0, kDescriptorFixedBytes);  // Version: the size of the fixed part
    b[8] = 0;                                   // DeviceType: direct access
    // A drive without a vendor text reports offset 0, as many ATA drives do.
    if (!drive.vendor.empty()) Append(b, drive.vendor, 12);
    Append(b, drive.product, 16);
    Append(b, "1.0", 20);
    Append(b, "SIM" + std::to_string(drive.number), 24);
    wire::PutU32(b, 28, drive.busType);
    wire::PutU32(b, 4, static_cast<uint32_t>(b.size()));
    return b;
}

DiskReply HandleDiskRequest(const Drive& drive, uint32_t code, wire::Bytes& b, uint32_t inSize,
                            uint32_t outSize) {
    switch (code) {
        case kIoctlStorageGetDeviceNumber:
            return DeviceNumber(drive, b, inSize, outSize);
        case kIoctlStorageQueryProperty:
            return QueryProperty(drive, b, inSize, outSize);
        case kIoctlDiskGetPartitionInfoEx:
            return PartitionInfo(drive, b, inSize, outSize);
        default:
            return {kErrorInvalidFunction, 0};
    }
}

}  // namespace sim
