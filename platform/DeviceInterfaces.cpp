#include "platform/DeviceInterfaces.h"

#include <algorithm>
#include <cstring>

#include "platform/Utf16.h"

namespace platform {

namespace {

struct StorageDeviceNumber {
    uint32_t DeviceType;
    uint32_t DeviceNumber;
    uint32_t PartitionNumber;
};
static_assert(sizeof(StorageDeviceNumber) == 12);

}  // namespace

uint32_t DeviceInterfaceList::Open(const Guid& classGuid, uint32_t flags) {
    classGuid_ = classGuid;
    if (const uint32_t e = io_.GetClassDevs(classGuid, flags, set_.Receive()))
        return Fail(DeviceStep::ClassDevs, e);
    return kErrorSuccess;
}

uint32_t DeviceInterfaceList::Read(uint32_t index, std::wstring* path, DeviceInfoData* devInfo) {
    DeviceInterfaceData data{};
    data.cbSize = sizeof(data);
    if (const uint32_t e = io_.EnumDeviceInterfaces(set_.Get(), classGuid_, index, &data))
        return Fail(DeviceStep::Enumerate, e);

    uint32_t required = 0;
    const uint32_t sizeError =
        io_.GetDeviceInterfaceDetail(set_.Get(), data, nullptr, 0, &required, nullptr);
    if (sizeError != kErrorInsufficientBuffer)
        // Without a buffer the call cannot succeed; never let such an answer pass as success.
        return Fail(DeviceStep::DetailSize,
                    sizeError != kErrorSuccess ? sizeError : kErrorInvalidUserBuffer);

    // Never smaller than the fixed part, so writing cbSize stays inside the block; a size
    // too small for the path is then refused by the system itself.
    const size_t size = std::max<size_t>(required, kInterfaceDetailFixedSize);
    HeapBlock detail(io_);
    if (detail.Allocate(size, false) != kErrorSuccess)
        return Fail(DeviceStep::Allocate, kErrorInsufficientBuffer);
    const uint32_t cbSize = kInterfaceDetailFixedSize;
    std::memcpy(detail.Bytes(), &cbSize, sizeof(cbSize));
    if (devInfo) {
        *devInfo = DeviceInfoData{};
        devInfo->cbSize = sizeof(DeviceInfoData);
    }
    if (const uint32_t e = io_.GetDeviceInterfaceDetail(
            set_.Get(), data, detail.Bytes(), static_cast<uint32_t>(size), nullptr, devInfo))
        return Fail(DeviceStep::Detail, e);
    *path = FromUtf16Bytes(detail.Bytes() + kInterfaceDetailPathOffset,
                           size - kInterfaceDetailPathOffset);
    return kErrorSuccess;
}

uint32_t ReadDeviceNumber(DeviceIo& io, const std::wstring& path, uint32_t* number,
                          DeviceStep* failedStep) {
    HandleOwner device(io);
    if (const uint32_t e = io.CreateFileW(path.c_str(), 0, kFileShareReadWrite, kOpenExisting, 0,
                                          device.Receive())) {
        *failedStep = DeviceStep::Open;
        return e;
    }
    StorageDeviceNumber reply{};
    uint32_t returned = 0;
    if (const uint32_t e = io.DeviceIoControl(device.Get(), kIoctlStorageGetDeviceNumber, nullptr,
                                              0, &reply, sizeof(reply), &returned)) {
        *failedStep = DeviceStep::Request;
        return e;
    }
    *number = reply.DeviceNumber;
    return kErrorSuccess;
}

uint32_t WalkDiskInterfaces(DeviceIo& io, const std::function<bool(const DiskInterface&)>& visit,
                            DeviceStep* failedStep) {
    *failedStep = DeviceStep::None;
    DeviceInterfaceList disks(io);
    if (const uint32_t e = disks.Open(kDiskInterfaceClass,
                                      kDigcfPresent | kDigcfProfile | kDigcfDeviceInterface)) {
        *failedStep = disks.FailedStep();
        return e;
    }
    for (uint32_t index = 0;; ++index) {
        std::wstring path;
        DeviceInfoData devInfo{};
        if (const uint32_t e = disks.Read(index, &path, &devInfo)) {
            *failedStep = disks.FailedStep();
            return e;  // 259 once every interface has been visited
        }
        uint32_t number = 0;
        if (const uint32_t e = ReadDeviceNumber(io, path, &number, failedStep)) return e;
        if (visit(DiskInterface{number, disks.Set(), devInfo})) return kErrorSuccess;
    }
}

}  // namespace platform
