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

std::wstring FillPlaceholders(const std::wstring& pattern, const std::wstring& first,
                              const std::wstring& second) {
    std::wstring text;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == L'1' || pattern[i + 1] == L'2')) {
            text += pattern[i + 1] == L'1' ? first : second;
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace app
