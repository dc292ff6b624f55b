// Why the drive list is empty, as the scan's outcome tells it, and the text template that
// says so in the user's language.
#pragma once

#include <cstdint>
#include <string>

#include "disk/ScanObserver.h"

namespace app {

enum class EmptyListReason {
    NotEmpty,
    NoBusDriver,        // the bus driver is not installed
    NoQualifyingDrive,  // no drive larger than 2048 GB
    ScanStopped,        // a query failed with a code that ends the scan
};

// The reason for a list of offeredDrives lines after a scan with this outcome.
EmptyListReason ReasonForEmptyList(int offeredDrives, const disk::ScanOutcome& outcome);

}  // namespace app
