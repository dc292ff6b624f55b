// The scan tool's report: for every drive number 0 to 15 what the scan found, its verdict
// and why, where the scan stopped, whether the bus driver answered, and the drives the scan
// never looks at. It is filled by the scan itself (as its observer) and by two checks after
// the scan, and printed for a person or as one JSON document for support.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "disk/ScanObserver.h"
#include "disk/StorageGroups.h"
#include "platform/DeviceIo.h"

namespace console {

struct DriveEntry {
    int number = 0;
    bool examined = false;  // false: the scan stopped before this number
    disk::DriveFindings findings;
    std::vector<std::wstring> diagnostics;  // debugger lines written while it was scanned
};

// Disks with numbers the scan never examines (above 15), found by walking the disk
// interfaces after the scan.
struct UnscannedDrives {
    bool listed = false;
    uint32_t code = 0;  // of the walk, when it failed
    struct Drive {
        int number = 0;
        std::optional<std::wstring> model;
    };
    std::vector<Drive> drives;
};

// Whether the bus driver's interface can be opened, asked after the scan when the scan's
// own size requests did not tell.
struct BusCheck {
    bool done = false;
    uint32_t code = 0;
    bool noInterface = false;
};

class ScanReport final : public disk::ScanObserver {
public:
    explicit ScanReport(std::string source);

    void DriveStarted(int driveNumber) override;
    void DriveFinished(const disk::DriveFindings& findings) override;
    void ScanFinished(const disk::ScanOutcome& outcome) override;

    // A debugger line: it belongs to the drive being scanned, or comes after the scan.
    void AddDiagnostic(const std::wstring& line);

    // What the scan cannot tell by itself; run after the scan, with the same machine.
    void CheckAfterScan(platform::DeviceIo& io);

    const std::string& Source() const { return source_; }
    const std::vector<DriveEntry>& Drives() const { return drives_; }
    bool Finished() const { return outcome_.has_value(); }
    const disk::ScanOutcome& Outcome() const { return *outcome_; }
    const UnscannedDrives& Unscanned() const { return unscanned_; }
    const BusCheck& BusChecked() const { return busCheck_; }
    const std::vector<std::wstring>& LinesAfterScan() const { return afterScan_; }

    // Drive numbers the report calls offered, in scan order.
    std::vector<int> OfferedDrives() const;

private:
    std::string source_;
    std::vector<DriveEntry> drives_;
    int current_ = -1;
    std::optional<disk::ScanOutcome> outcome_;
    UnscannedDrives unscanned_;
    BusCheck busCheck_;
    std::vector<std::wstring> afterScan_;
};

// Walks every disk interface, as the program's own walk does, and collects the device
// numbers in the system's order. Returns 0 or the code of the step that failed; a disk
// whose number cannot be read ends the listing there, as it ends the program's walk.
uint32_t ListDiskDeviceNumbers(platform::DeviceIo& io, std::vector<int>& numbers);

// The system's text for a Win32 error code, on one line. Windows is asked first; elsewhere,
// or when it has no text, the English text of the codes the scan meets is used.
std::wstring SystemErrorText(uint32_t code);

// The report for a person: a verdict line per drive number (with the diagnostic lines under
// it when verbose), the offered drives, and a closing line with the counts and the result.
std::string RenderText(const ScanReport& report, bool verbose);
// The same as one JSON document; its shape is documented in the README.
std::string RenderJson(const ScanReport& report, bool verbose);

// One drive's verdict line, such as "Drive 4: GPT6T, 5589.03 GiB - not offered: GPT
// partition table".
std::string VerdictLine(const DriveEntry& entry, int stoppedAtDrive);

}  // namespace console
