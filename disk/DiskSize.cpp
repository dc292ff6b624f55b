#include "disk/DiskSize.h"

#include "busctl/BusOperations.h"
#include "platform/Diagnostics.h"

namespace disk {

namespace {

const wchar_t* DiagnosticFor(busctl::BusConnection::Step step) {
    using Step = busctl::BusConnection::Step;
    switch (step) {
        case Step::ClassDevs:
            return L"RetrieveDiskSizeEx1 Error - SetupDiGetClassDevs\n";
        case Step::Enumerate:
            return L"RetrieveDiskSizeEx1 Error - SetupDiEnumDeviceInterfaces\n";
        case Step::DetailSize:
            return L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #1\n";
        case Step::Detail:
            return L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #2\n";
        case Step::Open:
            return L"RetrieveDiskSizeEx1 Error - CreateFile \n";
        case Step::Request:
            return L"RetrieveDiskSizeEx1 Error - DeviceIoControl \n";
        case Step::Allocate:
        case Step::None:
            break;
    }
    return nullptr;
}

}  // namespace

uint32_t RetrieveDiskSizeEx1(platform::DeviceIo& io, uint32_t busType,
                             const std::wstring& deviceObjectName, DiskSizeInfo* size) {
    busctl::BusConnection::Step failedStep = busctl::BusConnection::Step::None;
    const uint32_t error = busctl::RequestDiskSize(io, busType, deviceObjectName, size, failedStep);
    if (error != platform::kErrorSuccess) {
        if (const wchar_t* line = DiagnosticFor(failedStep)) platform::WriteDiagnostic(io, line);
    }
    return error;
}

}  // namespace disk
