// DeviceIo on the real system: each member forwards to the Win32 call of the same name.
#pragma once

#include <functional>

#include "DeviceIo.h"

namespace platform {

class Win32DeviceIo final : public DeviceIo {
public:
    Win32DeviceIo() = default;
    // echo also receives every debugger line, for tools that show them on the console.
    explicit Win32DeviceIo(std::function<void(const wchar_t*)> echo) : echo_(std::move(echo)) {}

    uint32_t GetClassDevs(const Guid& classGuid, uint32_t flags, DeviceInfoSet* set) override;
    uint32_t EnumDeviceInterfaces(DeviceInfoSet set, const Guid& classGuid, uint32_t index,
                                  DeviceInterfaceData* data) override;
    uint32_t GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                      void* detail, uint32_t detailSize, uint32_t* requiredSize,
                                      DeviceInfoData* devInfo) override;
    uint32_t GetDeviceRegistryProperty(DeviceInfoSet set, const DeviceInfoData& devInfo,
                                       uint32_t property, uint32_t* regType, void* buffer,
                                       uint32_t bufferSize, uint32_t* requiredSize) override;
    uint32_t DestroyDeviceInfoList(DeviceInfoSet set) override;
    uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                         uint32_t creation, uint32_t flags, OsHandle* handle) override;
    uint32_t DeviceIoControl(OsHandle handle, uint32_t code, const void* in, uint32_t inSize,
                             void* out, uint32_t outSize, uint32_t* returned) override;
    uint32_t CloseHandle(OsHandle handle) override;
    uint32_t HeapAlloc(size_t bytes, bool zeroFill, void** block) override;
    uint32_t HeapFree(void* block) override;
    void Sleep(uint32_t milliseconds) override;
    void OutputDebugStringW(const wchar_t* text) override;

private:
    std::function<void(const wchar_t*)> echo_;
};

}  // namespace platform
