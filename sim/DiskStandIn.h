// How a disk's own driver stack answers the device I/O controls that drive discovery sends
// to \\.\PhysicalDriveN or to a disk interface: device number, storage descriptor and
// partition information, laid out byte by byte as the system lays them out.
#pragma once

#include <cstdint>

#include "sim/BusStandIn.h"
#include "sim/Drive.h"
#include "sim/Wire.h"

namespace sim {

inline constexpr uint32_t kIoctlStorageGetDeviceNumber = 0x2D1080;
inline constexpr uint32_t kIoctlStorageQueryProperty = 0x2D1400;
inline constexpr uint32_t kIoctlDiskGetPartitionInfoEx = 0x70048;

// Answered like a bus request: an error code and the bytes to hand back.
using DiskReply = BusStandIn::Reply;

// The system buffer b holds the input and is at least max(inSize, outSize) bytes.
DiskReply HandleDiskRequest(const Drive& drive, uint32_t code, wire::Bytes& b, uint32_t inSize,
                            uint32_t outSize);

// The STORAGE_DEVICE_DESCRIPTOR the drive reports, unless it carries raw bytes of its own.
wire::Bytes StorageDescriptorOf(const Drive& drive);

}  // namespace sim
