// Reading the system's device interfaces. The drive scan, the scan tool and the bus
// operations all go through here, so a step that fails gives the same code whoever asked:
// the scan tool exists to explain the program's decisions and must not walk by rules of its
// own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/DeviceIo.h"
#include "platform/DeviceResources.h"

namespace platform {

// The step of finding, opening and asking a device that failed.
enum class DeviceStep {
    None,
    ClassDevs,   // the class's device information set
    Enumerate,   // the interface with the index asked for
    DetailSize,  // the size of the interface detail
    Allocate,    // the buffer for the detail
    Detail,      // the detail itself, with the device path
    Open,        // the device path opened
    Request,     // the device I/O control sent to the opened device
};

// The present interfaces of one class, read one index at a time. The device information set
// lives as long as the list.
class DeviceInterfaceList {
public:
    explicit DeviceInterfaceList(DeviceIo& io) : io_(io), set_(io) {}

    uint32_t Open(const Guid& classGuid, uint32_t flags);

    // The device path of the interface at index and, when devInfo is given, the data of its
    // device (for registry properties). 259 from the Enumerate step past the last interface.
    // The detail buffer is sized as the system asks, so no path is too long for it.
    uint32_t Read(uint32_t index, std::wstring* path, DeviceInfoData* devInfo);

    DeviceInfoSet Set() const { return set_.Get(); }
    DeviceStep FailedStep() const { return failedStep_; }

private:
    uint32_t Fail(DeviceStep step, uint32_t error) {
        failedStep_ = step;
        return error;
    }

    DeviceIo& io_;
    DeviceInfoSetOwner set_;
    Guid classGuid_{};
    DeviceStep failedStep_ = DeviceStep::None;
};

// The drive number of the disk at path (IOCTL_STORAGE_GET_DEVICE_NUMBER), opened for queries
// only. failedStep is Open or Request when it fails.
uint32_t ReadDeviceNumber(DeviceIo& io, const std::wstring& path, uint32_t* number,
                          DeviceStep* failedStep);

struct DiskInterface {
    uint32_t deviceNumber;
    DeviceInfoSet set;
    const DeviceInfoData& devInfo;
};

// Walks the present disk interfaces in the system's order, which is not that of the drive
// numbers, and hands each with its device number to visit until visit returns true. Returns
// 0 when visit stopped the walk, 259 when every interface was visited, otherwise the code of
// the step that failed (named in failedStep); a failure ends the walk, whoever walks.
uint32_t WalkDiskInterfaces(DeviceIo& io, const std::function<bool(const DiskInterface&)>& visit,
                            DeviceStep* failedStep);

}  // namespace platform
