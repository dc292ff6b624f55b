// A drive's true size, which only the bus driver knows for drives beyond what the system can
// address.
#pragma once

#include <cstdint>
#include <string>

#include "disk/Capacity.h"
#include "platform/DeviceIo.h"

namespace disk {

// Asks the bus driver for the size of the drive with this device object name, writing a
// diagnostic line for the step that fails. size is written only on success; a name too long
// for the request is refused with 206 before anything is opened.
uint32_t RetrieveDiskSizeEx1(platform::DeviceIo& io, uint32_t busType,
                             const std::wstring& deviceObjectName, DiskSizeInfo* size);

}  // namespace disk
