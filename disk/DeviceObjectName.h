// Tying a drive number to what the bus driver knows the drive by: the kernel name of its
// physical device object.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DeviceIo.h"

namespace disk {

// Walks the disk interfaces until one has device number driveNumber and reads its
// physical device object name (for example \Device\00000032). The name is taken only when
// it begins with a backslash. 87 without name; 259 when no interface has that number.
uint32_t RetrievePhysicalDeviceObjectName(platform::DeviceIo& io, std::wstring* name,
                                          int driveNumber);

}  // namespace disk
