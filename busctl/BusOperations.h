// The operations through which the program talks to the virtual disk bus driver. Each finds
// the driver's interface, opens it, sends its request, releases everything and returns a
// Win32 error code (0 for success).
#pragma once

#include <cstdint>
#include <string>

#include "busctl/BusConnection.h"
#include "busctl/BusProtocol.h"
#include "platform/DeviceIo.h"

namespace busctl {

// Request flags, each 0 or 1. An entry point sets only its own flag; a low-level operation
// sends only the requests whose flags it handles and finds set.
struct BusOperationSelector {
    uint32_t PlugIn = 0;
    uint32_t Unplug = 0;
    uint32_t Query = 0;
    uint32_t LookupSerial = 0;
};

// Sends BUS_PLUG_IN, then BUS_UNPLUG, as selected. The identification text goes only into
// the plug-in request.
uint32_t SendBusRequests(platform::DeviceIo& io, const BusOperationSelector& selector,
                         uint32_t serialNo, const std::wstring& identification);

// Accepted results: 0.
uint32_t PlugInVirtualDisk(platform::DeviceIo& io, uint32_t serialNo,
                           const std::wstring& identification);
uint32_t UnplugVirtualDisk(platform::DeviceIo& io, uint32_t serialNo,
                           const std::wstring& identification);

// Accepted results: 0, and 2 or 87 (no such virtual drive), after which dest holds the
// cleared reply. Writes SerialNo, the first 128 characters of both friendly names, both
// values and the two flags; dest's Size and second names are left as they were.
uint32_t QueryVirtualDisk(platform::DeviceIo& io, const BusOperationSelector& selector,
                          uint32_t serialNo, VirtualDiskState& dest);
uint32_t QueryVirtualDisk(platform::DeviceIo& io, uint32_t serialNo, VirtualDiskState& dest);

// Accepted results: 0, and 2 or 259 with serialNo set from the reply (0 when the driver
// wrote nothing). With no bus interface present the result is 0 and serialNo is untouched.
// A name longer than 255 characters is refused with 206 before anything is opened.
uint32_t LookupVirtualDiskSerial(platform::DeviceIo& io, const BusOperationSelector& selector,
                                 const std::wstring& deviceObjectName, uint32_t& serialNo);
uint32_t LookupVirtualDiskSerial(platform::DeviceIo& io, const std::wstring& deviceObjectName,
                                 uint32_t& serialNo);

// A physical drive's true figures, as the bus driver reports them for its device object name.
struct BusDiskSize {
    uint64_t DiskSize = 0;  // bytes
    uint64_t LastBlockAddress = 0;
    uint32_t BytesPerBlock = 0;
};

// Sends BUS_DISK_SIZE for the drive. Accepted result: 0, after which answer holds the reply.
// A name longer than 255 characters is refused with 206 and a null answer with 87, before
// anything is opened. failedStep names the step that failed (Request for the request itself).
uint32_t RequestDiskSize(platform::DeviceIo& io, uint32_t busType,
                         const std::wstring& deviceObjectName, BusDiskSize* answer,
                         BusConnection::Step& failedStep);

}  // namespace busctl
