// Stands in for the virtual disk bus driver: decodes each request from its raw bytes,
// validates length and Size exactly as the protocol documents them, keeps the virtual
// drives by serial number and answers from the drives of the machine.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "sim/Drive.h"
#include "sim/Wire.h"

namespace sim {

struct VirtualDrive {
    uint32_t serialNo = 0;
    std::u16string physicalName;  // device object name of the drive it extends
    bool mounted = true;          // false: exists, but not plugged in since the last restart
    // The lookup for its drive answers with the warning 259 (the serial number written),
    // as the driver does for a drive it still has to finish setting up.
    bool lookupWarning = false;
};

class BusStandIn {
public:
    // The control codes, spelled out here rather than taken from the client.
    static constexpr uint32_t kPlugIn = 0x2A4004;
    static constexpr uint32_t kUnplug = 0x2A4008;
    static constexpr uint32_t kRequest3 = 0x2A400C;
    static constexpr uint32_t kQuery = 0x2A4010;
    static constexpr uint32_t kLookupSerial = 0x2A4014;
    static constexpr uint32_t kDiskSize = 0x2A4018;

    struct Reply {
        uint32_t error = 0;
        uint32_t information = 0;  // bytes of the system buffer to hand back
    };

    // findDrive maps a device object name to a drive of the machine (or null);
    // devicesChanged runs after a virtual drive was added, plugged in again or removed.
    BusStandIn(std::function<const Drive*(const std::u16string&)> findDrive,
               std::function<void()> devicesChanged)
        : findDrive_(std::move(findDrive)), devicesChanged_(std::move(devicesChanged)) {}

    // systemBuffer holds the input and has room for max(inSize, outSize) bytes, as the I/O
    // manager's buffer for a METHOD_BUFFERED request does.
    Reply Handle(uint32_t code, wire::Bytes& systemBuffer, uint32_t inSize, uint32_t outSize);

    void AddVirtualDrive(const VirtualDrive& drive) { drives_[drive.serialNo] = drive; }
    bool RemoveVirtualDrive(uint32_t serialNo) { return drives_.erase(serialNo) != 0; }
    // Plug-in requests that named a virtual drive already plugged in: a client that lost
    // track of what it plugged in sends them.
    size_t PlugInsWhilePluggedIn() const { return plugInsWhilePluggedIn_; }
    const std::map<uint32_t, VirtualDrive>& VirtualDrives() const { return drives_; }

private:
    Reply PlugIn(const wire::Bytes& b, uint32_t inSize, uint32_t outSize);
    Reply Unplug(const wire::Bytes& b, uint32_t inSize, uint32_t outSize);
    Reply Query(wire::Bytes& b, uint32_t inSize, uint32_t outSize);
    Reply LookupSerial(wire::Bytes& b, uint32_t inSize, uint32_t outSize);
    Reply DiskSize(wire::Bytes& b, uint32_t inSize, uint32_t outSize);

    std::function<const Drive*(const std::u16string&)> findDrive_;
    std::function<void()> devicesChanged_;
    std::map<uint32_t, VirtualDrive> drives_;
    size_t plugInsWhilePluggedIn_ = 0;
};

}  // namespace sim
