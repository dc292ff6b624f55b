// Queries against one physical drive, \\.\PhysicalDriveN: model text, storage bus type and
// partition style. Each opens the drive for device queries only, closes it before it
// returns, and returns a Win32 error code (0 for success).
#pragma once

#include <cstdint>
#include <string>

#include "platform/DeviceIo.h"

namespace disk {

inline constexpr uint32_t kPartitionStyleMbr = 0;
inline constexpr uint32_t kPartitionStyleGpt = 1;
inline constexpr uint32_t kPartitionStyleRaw = 2;

// "vendor product", or the product alone when the drive reports no vendor. 160 without
// modelText.
uint32_t ReadDriveModel(platform::DeviceIo& io, int driveNumber, std::wstring* modelText);

// STORAGE_BUS_TYPE; *busType is 0 before anything else is tried. 160 without busType.
uint32_t RetrieveBusType(platform::DeviceIo& io, int driveNumber, uint32_t* busType);

// 0 MBR, 1 GPT, 2 RAW (never initialised).
uint32_t GetPartitionStyle(platform::DeviceIo& io, int driveNumber, uint32_t* style);

}  // namespace disk
