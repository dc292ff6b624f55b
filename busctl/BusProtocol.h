// The wire records of the virtual disk bus driver. All integers little-endian, all texts
// UTF-16LE with a zero terminator, reserved bytes zero.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/DeviceIo.h"

namespace busctl {

static_assert(std::endian::native == std::endian::little, "the records are laid out for x86");

// {87378828-6560-4011-BF8E-4CCB16C0BA0B}
inline constexpr platform::Guid kBusInterfaceClass = {
    0x87378828, 0x6560, 0x4011, {0xBF, 0x8E, 0x4C, 0xCB, 0x16, 0xC0, 0xBA, 0x0B}};

// CTL_CODE(FILE_DEVICE_BUS_EXTENDER, function, METHOD_BUFFERED, FILE_READ_ACCESS)
constexpr uint32_t BusControlCode(uint32_t function) {
    return (0x2Au << 16) | (0x1u << 14) | (function << 2) | 0x0u;
}
inline constexpr uint32_t BUS_PLUG_IN = BusControlCode(1);
inline constexpr uint32_t BUS_UNPLUG = BusControlCode(2);
inline constexpr uint32_t BUS_REQUEST_3 = BusControlCode(3);
inline constexpr uint32_t BUS_QUERY = BusControlCode(4);
inline constexpr uint32_t BUS_LOOKUP_SERIAL = BusControlCode(5);
inline constexpr uint32_t BUS_DISK_SIZE = BusControlCode(6);
static_assert(BUS_PLUG_IN == 0x2A4004 && BUS_UNPLUG == 0x2A4008 && BUS_REQUEST_3 == 0x2A400C &&
              BUS_QUERY == 0x2A4010 && BUS_LOOKUP_SERIAL == 0x2A4014 && BUS_DISK_SIZE == 0x2A4018);

// Characters a 512-byte name field holds besides its terminator.
inline constexpr size_t kNameFieldChars = 256;
inline constexpr size_t kMaxNameLength = kNameFieldChars - 1;

// Fixed header of BUS_PLUG_IN; the zero-terminated identification text follows it.
struct PlugInHeader {
    uint32_t Size;  // 8: the header, not the whole request
    uint32_t SerialNo;
};
static_assert(sizeof(PlugInHeader) == 8);

struct UnplugRequest {
    uint32_t Size;  // 20
    uint32_t SerialNo;
    uint8_t FirstOption;   // always 1
    uint8_t SecondOption;  // always 1
    uint8_t Reserved[10];
};
static_assert(sizeof(UnplugRequest) == 20);
static_assert(offsetof(UnplugRequest, FirstOption) == 8 &&
              offsetof(UnplugRequest, SecondOption) == 9 &&
              offsetof(UnplugRequest, Reserved) == 10);

// The first 16 bytes of the 2080-byte BUS_QUERY input.
struct QueryRequest {
    uint32_t Size;  // 16
    uint32_t SerialNo;
    uint8_t Reserved[8];
};
static_assert(sizeof(QueryRequest) == 16);

struct DiskDescriptor {
    char16_t FriendlyName[kNameFieldChars];
    char16_t SecondName[kNameFieldChars];
    int64_t Value;  // bytes on this side
};
static_assert(sizeof(DiskDescriptor) == 1032);
static_assert(offsetof(DiskDescriptor, SecondName) == 512 &&
              offsetof(DiskDescriptor, Value) == 1024);

// The bus driver's answer about one virtual drive.
struct VirtualDiskState {
    uint32_t Size;
    uint32_t SerialNo;
    DiskDescriptor PhysicalDisk;
    DiskDescriptor VirtualDisk;
    uint8_t Created;
    uint8_t Mounted;
    uint8_t Padding[6];
};
static_assert(sizeof(VirtualDiskState) == 2080);
static_assert(offsetof(VirtualDiskState, SerialNo) == 4 &&
              offsetof(VirtualDiskState, PhysicalDisk) == 8 &&
              offsetof(VirtualDiskState, VirtualDisk) == 1040 &&
              offsetof(VirtualDiskState, Created) == 2072 &&
              offsetof(VirtualDiskState, Mounted) == 2073);
inline constexpr uint32_t kQueryBufferSize = sizeof(VirtualDiskState);
static_assert(kQueryBufferSize >= sizeof(QueryRequest));

// One buffer for input and output.
struct LookupSerialRecord {
    uint32_t Size;  // 520
    char16_t DeviceObjectName[kNameFieldChars];
    uint32_t SerialNo;  // answer
};
static_assert(sizeof(LookupSerialRecord) == 520);
static_assert(offsetof(LookupSerialRecord, DeviceObjectName) == 4 &&
              offsetof(LookupSerialRecord, SerialNo) == 516);

// One buffer for input and output.
struct DiskSizeRecord {
    uint32_t Size;  // 544
    uint32_t BusType;
    char16_t DeviceObjectName[kNameFieldChars];
    uint64_t DiskSize;          // answer
    uint64_t LastBlockAddress;  // answer
    uint32_t BytesPerBlock;     // answer
    uint32_t Padding;
};
static_assert(sizeof(DiskSizeRecord) == 544);
static_assert(offsetof(DiskSizeRecord, BusType) == 4 &&
              offsetof(DiskSizeRecord, DeviceObjectName) == 8 &&
              offsetof(DiskSizeRecord, DiskSize) == 520 &&
              offsetof(DiskSizeRecord, LastBlockAddress) == 528 &&
              offsetof(DiskSizeRecord, BytesPerBlock) == 536);

}  // namespace busctl
