#include "disk/DeviceObjectName.h"

#include "platform/DeviceInterfaces.h"
#include "platform/DeviceResources.h"
#include "platform/Diagnostics.h"
#include "platform/Utf16.h"

namespace disk {

using namespace platform;

namespace {

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

const wchar_t* DiagnosticFor(DeviceStep step) {
    switch (step) {
        case DeviceStep::ClassDevs:
            return L"RetrievePhysicalDeviceObjectName Error - SetupDiGetClassDevs \n";
        case DeviceStep::Enumerate:
            return L"RetrievePhysicalDeviceObjectName Error - SetupDiEnumDeviceInterfaces \n";
        // Sizing and allocating the detail are part of reading it.
        case DeviceStep::DetailSize:
        case DeviceStep::Allocate:
        case DeviceStep::Detail:
            return L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceInterfaceDetail \n";
        case DeviceStep::Open:
            return L"RetrievePhysicalDeviceObjectName Error - CreateFile \n";
        case DeviceStep::Request:
            return L"RetrievePhysicalDeviceObjectName Error - DeviceIoControl \n";
        case DeviceStep::None:
            break;
    }
    return nullptr;
}

}  // namespace

uint32_t RetrievePhysicalDeviceObjectName(DeviceIo& io, std::wstring* name, int driveNumber) {
    if (!name) return kErrorInvalidParameter;
    uint32_t nameResult = kErrorSuccess;
    DeviceStep failedStep = DeviceStep::None;
    const uint32_t walked = WalkDiskInterfaces(
        io,
        [&](const DiskInterface& disk) {
            if (disk.deviceNumber != static_cast<uint32_t>(driveNumber)) return false;
            nameResult = ReadObjectName(io, disk.set, disk.devInfo, name);
            return true;
        },
        &failedStep);
    if (walked == kErrorSuccess) return nameResult;
    // 259 when no interface has this number: the walk ended at the enumeration.
    if (const wchar_t* line = DiagnosticFor(failedStep)) WriteDiagnostic(io, line);
    return walked;
}

}  // namespace disk
