#include "disk/DriveQueries.h"

#include <array>
#include <cstring>
#include <vector>

#include "disk/IdText.h"
#include "platform/DeviceResources.h"

namespace disk {

using namespace platform;

namespace {

constexpr uint32_t kIoctlStorageQueryProperty = 0x2D1400;
constexpr uint32_t kIoctlDiskGetPartitionInfoEx = 0x70048;
constexpr uint32_t kModelReplyBytes = 10000;
constexpr uint32_t kDescriptorHeaderBytes = 8;
constexpr uint32_t kMinDescriptorBytes = 12;
constexpr uint32_t kPartitionInfoExBytes = 144;
constexpr size_t kVendorOffsetField = 12;
constexpr size_t kProductOffsetField = 16;

// StorageDeviceProperty, PropertyStandardQuery: all zero.
constexpr std::array<uint8_t, 12> kDevicePropertyQuery{};

uint32_t OpenDrive(DeviceIo& io, int driveNumber, HandleOwner& drive) {
    const std::wstring path = L"\\\\.\\PhysicalDrive" + std::to_wstring(driveNumber);
    return io.CreateFileW(path.c_str(), 0, kFileShareReadWrite, kOpenExisting, 0, drive.Receive());
}

uint32_t QueryDescriptor(DeviceIo& io, OsHandle drive, void* out, uint32_t outSize,
                         uint32_t* returned) {
    return io.DeviceIoControl(drive, kIoctlStorageQueryProperty, kDevicePropertyQuery.data(),
                              kDevicePropertyQuery.size(), out, outSize, returned);
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

uint32_t ReadDriveModel(DeviceIo& io, int driveNumber, std::wstring* modelText) {
    if (!modelText) return kErrorBadArguments;
    HandleOwner drive(io);
    if (const uint32_t e = OpenDrive(io, driveNumber, drive)) return e;
    std::vector<uint8_t> reply(kModelReplyBytes, 0);
    uint32_t returned = 0;
    if (const uint32_t e =
            QueryDescriptor(io, drive.Get(), reply.data(), kModelReplyBytes, &returned))
        return e;
    // Only what the drive returned is read; the texts are ASCII after normalising.
    const std::string vendor =
        NormalizeIdText(DescriptorText(reply.data(), returned, kVendorOffsetField));
    const std::string product =
        NormalizeIdText(DescriptorText(reply.data(), returned, kProductOffsetField));
    *modelText = vendor.empty() ? Widen(product) : Widen(vendor) + L" " + Widen(product);
    return kErrorSuccess;
}

uint32_t RetrieveBusType(DeviceIo& io, int driveNumber, uint32_t* busType) {
    if (!busType) return kErrorBadArguments;
    *busType = 0;
    HandleOwner drive(io);
    if (const uint32_t e = OpenDrive(io, driveNumber, drive)) return e;
    std::array<uint8_t, kDescriptorHeaderBytes> header{};
    uint32_t returned = 0;
    if (const uint32_t e =
            QueryDescriptor(io, drive.Get(), header.data(), header.size(), &returned))
        return e;
    uint32_t size = 0;
    std::memcpy(&size, header.data() + 4, sizeof(size));
    if (size <= kMinDescriptorBytes) size = kMinDescriptorBytes;
    HeapBlock descriptor(io);
    if (const uint32_t e = descriptor.Allocate(size, true)) return e;
    if (const uint32_t e = QueryDescriptor(io, drive.Get(), descriptor.Bytes(), size, &returned))
        return e;
    // A descriptor too short to hold the bus type reports it as unknown, so one odd drive
    // does not end the scan of the others.
    *busType = DescriptorBusType(descriptor.Bytes(), returned);
    return kErrorSuccess;
}

uint32_t GetPartitionStyle(DeviceIo& io, int driveNumber, uint32_t* style) {
    if (!style) return kErrorInvalidParameter;
    HandleOwner drive(io);
    if (const uint32_t e = OpenDrive(io, driveNumber, drive)) return e;
    std::array<uint8_t, kPartitionInfoExBytes> info{};
    uint32_t returned = 0;
    if (const uint32_t e = io.DeviceIoControl(drive.Get(), kIoctlDiskGetPartitionInfoEx, nullptr, 0,
                                              info.data(), info.size(), &returned))
        return e;
    std::memcpy(style, info.data(), sizeof(*style));
    return kErrorSuccess;
}

}  // namespace disk
