// Finding and opening the bus driver's control device, shared by every bus operation.
#pragma once

#include <cstdint>

#include "platform/DeviceIo.h"
#include "platform/DeviceResources.h"

namespace busctl {

class BusConnection {
public:
    explicit BusConnection(platform::DeviceIo& io) : set_(io), detail_(io), device_(io), io_(io) {}

    // Takes the first present interface of the bus class and opens its device path.
    // Returns 0 or the code of the failed step; NoInterface() tells whether it failed
    // because no interface is present (enumeration ended with 259).
    uint32_t Open();
    bool NoInterface() const { return noInterface_; }

    // Which step failed, for callers that write a diagnostic line per step. Request is the
    // request sent once the device is open; Open() never reports it.
    enum class Step { None, ClassDevs, Enumerate, DetailSize, Allocate, Detail, Open, Request };
    Step FailedStep() const { return failedStep_; }

    platform::OsHandle Handle() const { return device_.Get(); }

private:
    uint32_t Fail(Step step, uint32_t error) {
        failedStep_ = step;
        return error;
    }

    // Destroyed in reverse order: handle closed, detail freed, set destroyed.
    platform::DeviceInfoSetOwner set_;
    platform::HeapBlock detail_;
    platform::HandleOwner device_;
    platform::DeviceIo& io_;
    bool noInterface_ = false;
    Step failedStep_ = Step::None;
};

}  // namespace busctl
