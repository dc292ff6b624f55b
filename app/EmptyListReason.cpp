#include "app/EmptyListReason.h"

namespace app {

EmptyListReason ReasonForEmptyList(int offeredDrives, const disk::ScanOutcome& outcome) {
    if (offeredDrives > 0) return EmptyListReason::NotEmpty;
    // Without the driver the first drive's size request stops the scan: the missing driver
    // is what the user can act on, not the code.
    if (outcome.busDriver == disk::BusDriverPresence::Absent) return EmptyListReason::NoBusDriver;
    if (outcome.stoppedEarly) return EmptyListReason::ScanStopped;
    return EmptyListReason::NoQualifyingDrive;
}

}  // namespace app
