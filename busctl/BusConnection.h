// Finding and opening the bus driver's control device, shared by every bus operation.
#pragma once

#include <cstdint>

#include "platform/DeviceInterfaces.h"
#include "platform/DeviceIo.h"
#include "platform/DeviceResources.h"

namespace busctl {

class BusConnection {
public:
    explicit BusConnection(platform::DeviceIo& io) : interfaces_(io), device_(io), io_(io) {}

    // Takes the first present interface of the bus class and opens its device path.
    // Returns 0 or the code of the failed step; NoInterface() tells whether it failed
    // because no interface is present (enumeration ended with 259).
    uint32_t Open();
    bool NoInterface() const { return noInterface_; }

    // Which step failed, for callers that write a diagnostic line per step. Request is the
    // request sent once the device is open; Open() never reports it.
    using Step = platform::DeviceStep;
    Step FailedStep() const { return failedStep_; }

    platform::OsHandle Handle() const { return device_.Get(); }

private:
    // Destroyed in reverse order: handle closed, then the set destroyed.
    platform::DeviceInterfaceList interfaces_;
    platform::HandleOwner device_;
    platform::DeviceIo& io_;
    bool noInterface_ = false;
    Step failedStep_ = Step::None;
};

}  // namespace busctl
