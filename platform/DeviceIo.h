// The one seam between the drive and bus code and the operating system.
//
// Each member mirrors one Win32 call that the drive and bus code makes and returns the
// error code that GetLastError() would give right after the real call (0 for success).
// Records that cross the seam have the Windows layout, so Win32DeviceIo hands them to the
// system unchanged and a size field set wrongly fails here just as it would there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Diagnostics.h"

namespace platform {

// Win32 error codes the drive and bus code produces or tests.
inline constexpr uint32_t kErrorSuccess = 0;
inline constexpr uint32_t kErrorInvalidFunction = 1;
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorNotEnoughMemory = 8;
inline constexpr uint32_t kErrorInvalidData = 13;
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorNotSupported = 50;
inline constexpr uint32_t kErrorInvalidParameter = 87;
inline constexpr uint32_t kErrorInsufficientBuffer = 122;
inline constexpr uint32_t kErrorBadArguments = 160;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorFilenameExcedRange = 206;
inline constexpr uint32_t kErrorNoMoreItems = 259;
inline constexpr uint32_t kErrorInvalidUserBuffer = 1784;

struct Guid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

inline bool operator==(const Guid& a, const Guid& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// HANDLE and HDEVINFO: opaque pointers; the invalid value is all bits set, as on Windows.
using OsHandle = void*;
using DeviceInfoSet = void*;
inline OsHandle const kInvalidHandle = reinterpret_cast<OsHandle>(~static_cast<uintptr_t>(0));

// SP_DEVICE_INTERFACE_DATA (28 bytes in a 32-bit program, 32 in a 64-bit one).
struct DeviceInterfaceData {
    uint32_t cbSize;
    Guid InterfaceClassGuid;
    uint32_t Flags;
    uintptr_t Reserved;
};

// SP_DEVINFO_DATA (28 / 32 bytes).
struct DeviceInfoData {
    uint32_t cbSize;
    Guid ClassGuid;
    uint32_t DevInst;
    uintptr_t Reserved;
};

// SP_DEVICE_INTERFACE_DETAIL_DATA_W is a DWORD cbSize followed by the zero-terminated
// UTF-16 device path. Its fixed part counts as 6 bytes in a 32-bit program and 8 in a
// 64-bit one; the system refuses any other cbSize.
inline constexpr uint32_t kInterfaceDetailFixedSize = sizeof(void*) == 8 ? 8 : 6;
inline constexpr size_t kInterfaceDetailPathOffset = 4;

// SetupDiGetClassDevsW flags.
inline constexpr uint32_t kDigcfPresent = 0x02;
inline constexpr uint32_t kDigcfProfile = 0x08;
inline constexpr uint32_t kDigcfDeviceInterface = 0x10;

// CreateFileW values.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kFileShareRead = 0x1;
inline constexpr uint32_t kFileShareWrite = 0x2;
inline constexpr uint32_t kFileShareReadWrite = kFileShareRead | kFileShareWrite;
inline constexpr uint32_t kOpenExisting = 3;

// The system's disk device interface class (GUID_DEVINTERFACE_DISK), and the request that
// tells which drive number a disk has (IOCTL_STORAGE_GET_DEVICE_NUMBER).
inline constexpr Guid kDiskInterfaceClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr uint32_t kIoctlStorageGetDeviceNumber = 0x2D1080;

// SetupDiGetDeviceRegistryPropertyW property SPDRP_PHYSICAL_DEVICE_OBJECT_NAME.
inline constexpr uint32_t kSpdrpPhysicalDeviceObjectName = 14;

// Members carry the W names of the calls they mirror, because windows.h defines the
// plain names as macros.
//
// Heap allocations of the drive and bus code go through the seam as well, so that the
// simulated machine can count them and make them fail.
// Its debugger output (OutputDebugStringW) comes from DiagnosticSink.
class DeviceIo : public DiagnosticSink {
public:
    virtual ~DeviceIo() = default;

    // SetupDiGetClassDevsW(classGuid, NULL, NULL, flags)
    virtual uint32_t GetClassDevs(const Guid& classGuid, uint32_t flags, DeviceInfoSet* set) = 0;
    // SetupDiEnumDeviceInterfaces(set, NULL, classGuid, index, data)
    virtual uint32_t EnumDeviceInterfaces(DeviceInfoSet set, const Guid& classGuid, uint32_t index,
                                          DeviceInterfaceData* data) = 0;
    // SetupDiGetDeviceInterfaceDetailW(set, data, detail, detailSize, requiredSize, devInfo)
    virtual uint32_t GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                              void* detail, uint32_t detailSize,
                                              uint32_t* requiredSize, DeviceInfoData* devInfo) = 0;
    // SetupDiGetDeviceRegistryPropertyW(set, devInfo, property, regType, buffer, size, required)
    virtual uint32_t GetDeviceRegistryProperty(DeviceInfoSet set, const DeviceInfoData& devInfo,
                                               uint32_t property, uint32_t* regType, void* buffer,
                                               uint32_t bufferSize, uint32_t* requiredSize) = 0;
    // SetupDiDestroyDeviceInfoList(set)
    virtual uint32_t DestroyDeviceInfoList(DeviceInfoSet set) = 0;

    // CreateFileW(path, access, share, NULL, creation, flags, NULL); *handle is
    // kInvalidHandle when the open fails.
    virtual uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                                 uint32_t creation, uint32_t flags, OsHandle* handle) = 0;
    // DeviceIoControl(handle, code, in, inSize, out, outSize, returned, NULL)
    virtual uint32_t DeviceIoControl(OsHandle handle, uint32_t code, const void* in,
                                     uint32_t inSize, void* out, uint32_t outSize,
                                     uint32_t* returned) = 0;
    // CloseHandle(handle)
    virtual uint32_t CloseHandle(OsHandle handle) = 0;

    // HeapAlloc(GetProcessHeap(), zeroFill ? HEAP_ZERO_MEMORY : 0, bytes)
    virtual uint32_t HeapAlloc(size_t bytes, bool zeroFill, void** block) = 0;
    // HeapFree(GetProcessHeap(), 0, block)
    virtual uint32_t HeapFree(void* block) = 0;

    virtual void Sleep(uint32_t milliseconds) = 0;
};

}  // namespace platform
