#include "disk/DeviceObjectName.h"

#include <cstring>

#include "platform/DeviceResources.h"
#include "platform/Diagnostics.h"
#include "platform/Utf16.h"

namespace disk {

using namespace platform;

namespace {

constexpr uint32_t kDetailBufferBytes = 1024;

struct StorageDeviceNumber {
    uint32_t DeviceType;
    uint32_t DeviceNumber;
    uint32_t PartitionNumber;
};
static_assert(sizeof(StorageDeviceNumber) == 12);

// Whether the interface's device has number driveNumber. Writes its own diagnostic line on
// failure.
uint32_t HasDeviceNumber(DeviceIo& io, const wchar_t* devicePath, int driveNumber, bool* match) {
    HandleOwner device(io);
    if (const uint32_t e = io.CreateFileW(devicePath, 0, kFileShareReadWrite, kOpenExisting, 0,
                                          device.Receive())) {
        WriteDiagnostic(io, L"RetrievePhysicalDeviceObjectName Error - CreateFile \n");
        return e;
    }
    StorageDeviceNumber number{};
    uint32_t returned = 0;
    if (const uint32_t e = io.DeviceIoControl(device.Get(), kIoctlStorageGetDeviceNumber, nullptr,
                                              0, &number, sizeof(number), &returned)) {
        WriteDiagnostic(io, L"RetrievePhysicalDeviceObjectName Error - DeviceIoControl \n");
        return e;
    }
    *match = number.DeviceNumber == static_cast<uint32_t>(driveNumber);
    return kErrorSuccess;
}

uint32_t ReadObjectName(DeviceIo& io, DeviceInfoSet set, const DeviceInfoData& devInfo,
                        std::wstring* name) {
    uint32_t required = 0;
    const uint32_t sizeError = io.GetDeviceRegistryProperty(
        set, devInfo, kSpdrpPhysicalDeviceObjectName, nullptr, nullptr, 0, &required);
    // A size query that reports no size has failed, whatever it returned.
    if (required == 0) return sizeError != kErrorSuccess ? sizeError : kErrorInvalidData;
    HeapBlock buffer(io);
    if (const uint32_t e = buffer.Allocate(required, true)) return e;
    if (const uint32_t e =
            io.GetDeviceRegistryProperty(set, devInfo, kSpdrpPhysicalDeviceObjectName, nullptr,
                                         buffer.Bytes(), required, nullptr)) {
        WriteDiagnostic(
            io,
            L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceRegistryProperty "
            L"dwResult = %d \n",
            static_cast<int>(e));
        return e;
    }
    const std::wstring text = FromUtf16Bytes(buffer.Bytes(), required);
    if (!text.empty() && text[0] == L'\\') *name = text;
    return kErrorSuccess;
}

}  // namespace

uint32_t RetrievePhysicalDeviceObjectName(DeviceIo& io, std::wstring* name, int driveNumber) {
    if (!name) return kErrorInvalidParameter;
    DeviceInfoSetOwner set(io);
    if (const uint32_t e =
            io.GetClassDevs(kDiskInterfaceClass,
                            kDigcfPresent | kDigcfProfile | kDigcfDeviceInterface, set.Receive())) {
        WriteDiagnostic(io, L"RetrievePhysicalDeviceObjectName Error - SetupDiGetClassDevs \n");
        return e;
    }
    // One detail buffer for the whole walk, zero-filled once.
    alignas(8) uint8_t detail[kDetailBufferBytes] = {};
    const uint32_t cbSize = kInterfaceDetailFixedSize;
    std::memcpy(detail, &cbSize, sizeof(cbSize));

    DeviceInterfaceData interface {};
    interface.cbSize = sizeof(interface);
    DeviceInfoData devInfo{};
    devInfo.cbSize = sizeof(devInfo);
    for (uint32_t index = 0;; ++index) {
        if (const uint32_t e =
                io.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, index, &interface)) {
            WriteDiagnostic(
                io, L"RetrievePhysicalDeviceObjectName Error - SetupDiEnumDeviceInterfaces \n");
            return e;  // 259 once every interface has been compared
        }
        uint32_t required = 0;
        if (const uint32_t e = io.GetDeviceInterfaceDetail(
                set.Get(), interface, detail, kDetailBufferBytes, &required, &devInfo)) {
            WriteDiagnostic(
                io, L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceInterfaceDetail \n");
            return e;
        }
        const std::wstring path = FromUtf16Bytes(detail + kInterfaceDetailPathOffset,
                                                 kDetailBufferBytes - kInterfaceDetailPathOffset);
        bool match = false;
        if (const uint32_t e = HasDeviceNumber(io, path.c_str(), driveNumber, &match)) return e;
        if (match) return ReadObjectName(io, set.Get(), devInfo, name);
    }
}

}  // namespace disk
