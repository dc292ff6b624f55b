// A DeviceIo that hands every call to another one, for tests that bend one answer of the
// simulated machine into what some real system gives and leave the rest as it is.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "platform/DeviceIo.h"
#include "platform/Utf16.h"

namespace platform::testing {

class ForwardingDeviceIo : public DeviceIo {
public:
    explicit ForwardingDeviceIo(DeviceIo& next) : next_(next) {}

    uint32_t GetClassDevs(const Guid& classGuid, uint32_t flags, DeviceInfoSet* set) override {
        return next_.GetClassDevs(classGuid, flags, set);
    }
    uint32_t EnumDeviceInterfaces(DeviceInfoSet set, const Guid& classGuid, uint32_t index,
                                  DeviceInterfaceData* data) override {
        return next_.EnumDeviceInterfaces(set, classGuid, index, data);
    }
    uint32_t GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                      void* detail, uint32_t detailSize, uint32_t* requiredSize,
                                      DeviceInfoData* devInfo) override {
        return next_.GetDeviceInterfaceDetail(set, data, detail, detailSize, requiredSize, devInfo);
    }
    uint32_t GetDeviceRegistryProperty(DeviceInfoSet set, const DeviceInfoData& devInfo,
                                       uint32_t property, uint32_t* regType, void* buffer,
                                       uint32_t bufferSize, uint32_t* requiredSize) override {
        return next_.GetDeviceRegistryProperty(set, devInfo, property, regType, buffer, bufferSize,
                                               requiredSize);
    }
    uint32_t DestroyDeviceInfoList(DeviceInfoSet set) override {
        return next_.DestroyDeviceInfoList(set);
    }
    uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                         uint32_t creation, uint32_t flags, OsHandle* handle) override {
        return next_.CreateFileW(path, access, shareMode, creation, flags, handle);
    }
    uint32_t DeviceIoControl(OsHandle handle, uint32_t code, const void* in, uint32_t inSize,
                             void* out, uint32_t outSize, uint32_t* returned) override {
        return next_.DeviceIoControl(handle, code, in, inSize, out, outSize, returned);
    }
    uint32_t CloseHandle(OsHandle handle) override { return next_.CloseHandle(handle); }
    uint32_t HeapAlloc(size_t bytes, bool zeroFill, void** block) override {
        return next_.HeapAlloc(bytes, zeroFill, block);
    }
    uint32_t HeapFree(void* block) override { return next_.HeapFree(block); }
    void Sleep(uint32_t milliseconds) override { next_.Sleep(milliseconds); }
    void OutputDebugStringW(const wchar_t* text) override { next_.OutputDebugStringW(text); }

private:
    DeviceIo& next_;
};

// A system whose interface detail size query answers success, as no system should: without
// a buffer there is nothing to succeed at.
class DetailSizeQuerySucceeds : public ForwardingDeviceIo {
public:
    using ForwardingDeviceIo::ForwardingDeviceIo;
    uint32_t GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                      void* detail, uint32_t detailSize, uint32_t* requiredSize,
                                      DeviceInfoData* devInfo) override {
        const uint32_t e = ForwardingDeviceIo::GetDeviceInterfaceDetail(
            set, data, detail, detailSize, requiredSize, devInfo);
        return !detail && e == kErrorInsufficientBuffer ? kErrorSuccess : e;
    }
};

// A system whose interface paths are longer than 1 KB (a tail of padding the opens ignore),
// answering detail requests by the rules of the real call.
class LongInterfacePaths : public ForwardingDeviceIo {
public:
    using ForwardingDeviceIo::ForwardingDeviceIo;
    static inline const std::wstring kPadding = L"#" + std::wstring(700, L'p');

    uint32_t GetDeviceInterfaceDetail(DeviceInfoSet set, const DeviceInterfaceData& data,
                                      void* detail, uint32_t detailSize, uint32_t* requiredSize,
                                      DeviceInfoData* devInfo) override {
        std::vector<uint8_t> own(4096);
        const uint32_t cbSize = kInterfaceDetailFixedSize;
        std::memcpy(own.data(), &cbSize, sizeof(cbSize));
        const uint32_t e = ForwardingDeviceIo::GetDeviceInterfaceDetail(
            set, data, own.data(), static_cast<uint32_t>(own.size()), nullptr, devInfo);
        if (e) return e;
        const std::u16string path =
            ToUtf16(FromUtf16Bytes(own.data() + kInterfaceDetailPathOffset,
                                   own.size() - kInterfaceDetailPathOffset) +
                    kPadding);
        const auto required =
            static_cast<uint32_t>(kInterfaceDetailPathOffset + 2 * (path.size() + 1));
        if (requiredSize) *requiredSize = required;
        if (!detail) return detailSize ? kErrorInvalidUserBuffer : kErrorInsufficientBuffer;
        uint32_t given = 0;
        if (detailSize >= sizeof(given)) std::memcpy(&given, detail, sizeof(given));
        if (detailSize < kInterfaceDetailFixedSize || given != kInterfaceDetailFixedSize)
            return kErrorInvalidUserBuffer;
        if (detailSize < required) return kErrorInsufficientBuffer;
        WriteUtf16z(path, static_cast<uint8_t*>(detail) + kInterfaceDetailPathOffset);
        return kErrorSuccess;
    }
    uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                         uint32_t creation, uint32_t flags, OsHandle* handle) override {
        std::wstring p = path;
        if (p.size() > kPadding.size() && p.ends_with(kPadding))
            p.resize(p.size() - kPadding.size());
        return ForwardingDeviceIo::CreateFileW(p.c_str(), access, shareMode, creation, flags,
                                               handle);
    }
};

}  // namespace platform::testing
