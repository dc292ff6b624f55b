// What the drive scan found and decided about each drive number, for whoever wants to explain
// it (the console scan tool). The scan tells an observer as it goes; it asks nothing of it,
// so the scan does and returns exactly the same with or without one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "busctl/BusProtocol.h"
#include "disk/Capacity.h"

namespace disk {

// The queries behind one drive's verdict, in the order the scan runs them.
enum class ScanStep {
    Model,             // vendor and product text
    BusType,           // storage bus type
    DeviceObjectName,  // the disk interface walk that finds the drive's kernel name
    PartitionStyle,
    DiskSize,          // the bus driver's size request
    SerialLookup,      // the bus driver's serial number for the drive
    VirtualDiskQuery,  // the bus driver's state of that virtual drive
};

// A short plain name for the step, such as "partition style query".
const char* ScanStepName(ScanStep step);

enum class Verdict {
    Offered,
    NotOffered,
    NoDrive,  // the first query found no drive with this number (code 2)
};

enum class Reason {
    None,            // offered
    NotBeyondLimit,  // not larger than 2048 GiB
    BlockSize,       // blocks of another size than 512 bytes: MBR reaches elsewhere
    PartitionStyle,  // GPT: neither MBR nor uninitialised
    ExcludedModel,   // the model text contains the excluded maker's name
    RaidMember,      // the last block address has a zero low half
    QueryFailed,
    NoDrive,
};

struct QueryFailure {
    ScanStep step = ScanStep::Model;
    uint32_t code = 0;
};

// Everything the scan learned about one drive number. A query that was not reached leaves
// its field empty.
struct DriveFindings {
    int driveNumber = 0;
    std::optional<std::wstring> modelText;
    std::optional<uint32_t> busType;
    std::optional<std::wstring> deviceObjectName;
    std::optional<uint32_t> partitionStyle;
    std::optional<DiskSizeInfo> size;

    Verdict verdict = Verdict::NoDrive;
    Reason reason = Reason::NoDrive;
    std::optional<QueryFailure> failure;  // the query that ended this drive's examination
    bool stoppedScan = false;             // the failure's code ends the whole scan

    // Offered drives: what the bus driver said about the drive's virtual drive. Both
    // lookups accept some failure codes (no virtual drive yet); those are kept here.
    uint32_t serialLookupCode = 0;
    uint32_t virtualDiskQueryCode = 0;
    uint32_t serialNo = 0;
    busctl::VirtualDiskState virtualDisk{};
};

enum class BusDriverPresence {
    NotAsked,  // no drive reached the size request
    Present,   // it answered a size request
    Absent,    // no device interface of its class (the size request ended with 259)
    Failed,    // the size request failed with another code
};

struct ScanOutcome {
    uint32_t result = 0;  // what ScanStorageGroups returns
    bool stoppedEarly = false;
    int stoppedAtDrive = -1;
    std::vector<int> notExamined;  // drive numbers after the one that stopped the scan
    BusDriverPresence busDriver = BusDriverPresence::NotAsked;
    int busDriverDrive = -1;  // the drive whose size request told us
    uint32_t busDriverCode = 0;
};

class ScanObserver {
public:
    // The scan begins with driveNumber; debugger lines written from now on are about it.
    virtual void DriveStarted(int driveNumber) = 0;
    // The drive's verdict, with what led to it.
    virtual void DriveFinished(const DriveFindings& findings) = 0;
    virtual void ScanFinished(const ScanOutcome& outcome) = 0;

protected:
    ~ScanObserver() = default;
};

}  // namespace disk
