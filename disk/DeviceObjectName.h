// Tying a drive number to what the bus driver knows the drive by: the kernel name of its
// physical device object, and the true size the bus driver reports for that name.
#pragma once

#include <cstdint>
#include <string>

#include "disk/Capacity.h"
#include "platform/DeviceIo.h"

namespace disk {

// Walks the disk interfaces until one has device number driveNumber and reads its
// physical device object name (for example \Device\00000032). The name is taken only when
// it begins with a backslash. 87 without name; 259 when no interface has that number.
uint32_t RetrievePhysicalDeviceObjectName(platform::DeviceIo& io, std::wstring* name,
                                          int driveNumber);

// Asks the bus driver for the drive's true size. size is written only on success; a name
// too long for the request is refused with 206 before anything is opened.
uint32_t RetrieveDiskSizeEx1(platform::DeviceIo& io, uint32_t busType,
                             const std::wstring& deviceObjectName, DiskSizeInfo* size);

}  // namespace disk
