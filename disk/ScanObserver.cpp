#include "disk/ScanObserver.h"

namespace disk {

const char* ScanStepName(ScanStep step) {
    switch (step) {
        case ScanStep::Model:
            return "model query";
        case ScanStep::BusType:
            return "bus type query";
        case ScanStep::DeviceObjectName:
            return "device object name lookup";
        case ScanStep::PartitionStyle:
            return "partition style query";
        case ScanStep::DiskSize:
            return "bus driver's size request";
        case ScanStep::SerialLookup:
            return "bus driver's serial number lookup";
        case ScanStep::VirtualDiskQuery:
            return "bus driver's virtual drive query";
    }
    return "query";
}

}  // namespace disk
