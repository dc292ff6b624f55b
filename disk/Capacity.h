// What the true size of a drive means for the user: whether it reaches past what MBR can
// address, and how its capacity reads.
#pragma once

#include <cstdint>
#include <string>

#include "busctl/BusOperations.h"
#include "platform/DeviceIo.h"

namespace disk {

// A drive's true figures as the bus driver reports them.
using DiskSizeInfo = busctl::BusDiskSize;

// Strictly more than 2^41 bytes: 32-bit block addresses of 512-byte blocks end there.
bool ExceedsAddressLimit(uint64_t diskSize);

// Whether the drive's blocks are the 512 bytes whose 2^32 addresses end MBR at 2048 GiB.
// With larger blocks MBR reaches further (16 TiB with 4096-byte blocks), so the drive's own
// partitions may lie past 2048 GiB, and a virtual drive there would show the same bytes a
// second time: partitioning it would destroy data. 0 is a bus driver that does not say; such
// a drive is judged by its size alone, as before drivers reported the block length.
bool HasMbrBlockSize(uint32_t bytesPerBlock);

// Bytes in GiB (2^30 bytes), rounded to single precision as the program shows every size.
float CapacityGigabytes(int64_t bytes);

// The size in GiB with two decimals, for example "2794.52".
std::wstring FormatCapacityText(uint64_t diskSize);

// The two diagnostic lines with the size and the last block address.
void ReportDiskSize(platform::DeviceIo& io, const DiskSizeInfo& size);

}  // namespace disk
