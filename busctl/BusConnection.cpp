#include "busctl/BusConnection.h"

#include <string>

#include "busctl/BusProtocol.h"

namespace busctl {

using namespace platform;

uint32_t BusConnection::Open() {
    std::wstring path;
    uint32_t error = interfaces_.Open(kBusInterfaceClass, kDigcfPresent | kDigcfDeviceInterface);
    if (error == kErrorSuccess) error = interfaces_.Read(0, &path, nullptr);
    if (error != kErrorSuccess) {
        failedStep_ = interfaces_.FailedStep();
        noInterface_ = failedStep_ == Step::Enumerate && error == kErrorNoMoreItems;
        return error;
    }
    error = io_.CreateFileW(path.c_str(), kGenericRead, 0, kOpenExisting, 0, device_.Receive());
    if (error != kErrorSuccess) failedStep_ = Step::Open;
    return error;
}

}  // namespace busctl
