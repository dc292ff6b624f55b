// A physical drive of the simulated machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Drive {
    int number = 0;                 // N of \\.\PhysicalDriveN
    std::wstring deviceObjectName;  // for example \Device\00000032
    std::string vendor;             // raw bytes as the storage descriptor carries them
    std::string product;
    uint32_t busType = 11;          // STORAGE_BUS_TYPE, 11 SATA
    uint32_t partitionStyle = 0;    // 0 MBR, 1 GPT, 2 RAW
    uint64_t size = 0;              // true size in bytes
    uint64_t lastBlockAddress = 0;  // as the bus driver reports it
    uint32_t bytesPerBlock = 512;
    // The exact storage descriptor to report instead of one built from the fields above,
    // for drives whose firmware answers oddly.
    std::optional<std::vector<uint8_t>> rawDescriptor;
    // Non-zero: the drive is the bus driver's virtual drive with this serial number, present
    // while it is plugged in.
    uint32_t virtualSerialNo = 0;
};

// What the bus driver's virtual drives report as vendor and product.
inline constexpr char kVirtualDriveVendor[] = "ASUS";
inline constexpr char kVirtualDriveProduct[] = "Virtual Disk";

// 2^41 bytes: what 32-bit block addresses with 512-byte blocks reach.
inline constexpr uint64_t kAddressLimitBytes = uint64_t{1} << 41;

}  // namespace sim
