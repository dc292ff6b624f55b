#include "Win32DeviceIo.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <setupapi.h>

#include <cstddef>

namespace platform {

// The seam's records are the system's records; these checks keep it that way.
static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(DeviceInterfaceData) == sizeof(SP_DEVICE_INTERFACE_DATA));
static_assert(offsetof(DeviceInterfaceData, Flags) == offsetof(SP_DEVICE_INTERFACE_DATA, Flags));
static_assert(offsetof(DeviceInterfaceData, Reserved) ==
              offsetof(SP_DEVICE_INTERFACE_DATA, Reserved));
static_assert(sizeof(DeviceInfoData) == sizeof(SP_DEVINFO_DATA));
static_assert(offsetof(DeviceInfoData, DevInst) == offsetof(SP_DEVINFO_DATA, DevInst));
static_assert(offsetof(DeviceInfoData, Reserved) == offsetof(SP_DEVINFO_DATA, Reserved));
static_assert(kInterfaceDetailFixedSize == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
static_assert(kInterfaceDetailPathOffset ==
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath));

namespace {

uint32_t Result(BOOL ok) {
    return ok ? ERROR_SUCCESS : GetLastError();
}

const GUID* AsGuid(const Guid& g) {
    return reinterpret_cast<const GUID*>(&g);
}

}  // namespace

uint32_t Win32DeviceIo::GetClassDevs(const Guid& classGuid, uint32_t flags, DeviceInfoSet* set) {
    HDEVINFO h = SetupDiGetClassDevsW(AsGuid(classGuid), nullptr, nullptr, flags);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    *set = h;
    return ERROR_SUCCESS;
}

uint32_t Win32DeviceIo::EnumDeviceInterfaces(DeviceInfoSet set, const Guid& classGuid,
                                             uint32_t index, DeviceInterfaceData* data) {
    return Result(SetupDiEnumDeviceInterfaces(set, nullptr, AsGuid(classGuid), index,
                                              reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(data)));
}

uint32_t Win32DeviceIo::GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                                 void* detail, uint32_t detailSize,
                                                 uint32_t* requiredSize, DeviceInfoData* devInfo) {
    DWORD required = 0;
    const BOOL ok = SetupDiGetDeviceInterfaceDetailW(
        set,
        const_cast<SP_DEVICE_INTERFACE_DATA*>(
            reinterpret_cast<const SP_DEVICE_INTERFACE_DATA*>(&data)),
        static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail), detailSize, &required,
        reinterpret_cast<SP_DEVINFO_DATA*>(devInfo));
    const uint32_t error = Result(ok);
    if (requiredSize) *requiredSize = required;
    return error;
}

uint32_t Win32DeviceIo::GetDeviceRegistryProperty(DeviceInfoSet set, const DeviceInfoData& devInfo,
                                                  uint32_t property, uint32_t* regType,
                                                  void* buffer, uint32_t bufferSize,
                                                  uint32_t* requiredSize) {
    DWORD type = 0, required = 0;
    const BOOL ok = SetupDiGetDeviceRegistryPropertyW(
        set, const_cast<SP_DEVINFO_DATA*>(reinterpret_cast<const SP_DEVINFO_DATA*>(&devInfo)),
        property, &type, static_cast<BYTE*>(buffer), bufferSize, &required);
    const uint32_t error = Result(ok);
    if (regType) *regType = type;
    if (requiredSize) *requiredSize = required;
    return error;
}

uint32_t Win32DeviceIo::DestroyDeviceInfoList(DeviceInfoSet set) {
    return Result(SetupDiDestroyDeviceInfoList(set));
}

uint32_t Win32DeviceIo::CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                                    uint32_t creation, uint32_t flags, OsHandle* handle) {
    HANDLE h = ::CreateFileW(path, access, shareMode, nullptr, creation, flags, nullptr);
    *handle = h;
    return h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
}

uint32_t Win32DeviceIo::DeviceIoControl(OsHandle handle, uint32_t code, const void* in,
                                        uint32_t inSize, void* out, uint32_t outSize,
                                        uint32_t* returned) {
    DWORD count = 0;
    const BOOL ok = ::DeviceIoControl(handle, code, const_cast<void*>(in), inSize, out, outSize,
                                      &count, nullptr);
    const uint32_t error = Result(ok);
    if (returned) *returned = count;
    return error;
}

uint32_t Win32DeviceIo::CloseHandle(OsHandle handle) {
    return Result(::CloseHandle(handle));
}

uint32_t Win32DeviceIo::HeapAlloc(size_t bytes, bool zeroFill, void** block) {
    SetLastError(ERROR_SUCCESS);
    void* p = ::HeapAlloc(GetProcessHeap(), zeroFill ? HEAP_ZERO_MEMORY : 0, bytes);
    if (!p) {
        // HeapAlloc does not promise to set a code; out of memory is what it means.
        const DWORD error = GetLastError();
        return error ? error : ERROR_NOT_ENOUGH_MEMORY;
    }
    *block = p;
    return ERROR_SUCCESS;
}

uint32_t Win32DeviceIo::HeapFree(void* block) {
    return Result(::HeapFree(GetProcessHeap(), 0, block));
}

void Win32DeviceIo::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

void Win32DeviceIo::OutputDebugStringW(const wchar_t* text) {
    ::OutputDebugStringW(text);
    if (echo_) echo_(text);
}

}  // namespace platform
