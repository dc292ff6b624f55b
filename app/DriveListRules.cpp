#include "app/DriveListRules.h"

namespace app {

std::wstring FormatDriveLine(const std::wstring& modelText, const std::wstring& capacityText) {
    return modelText + L" - " + capacityText + L"GB";
}

std::wstring FillPlaceholders(const std::wstring& pattern,
                              const std::vector<std::wstring>& values) {
    std::wstring out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const size_t place =
            i + 1 < pattern.size() ? static_cast<size_t>(pattern[i + 1] - L'1') : values.size();
        if (pattern[i] == L'%' && place < values.size()) {
            out += values[place];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::wstring FormatRecoverTarget(const std::wstring& pattern, const std::wstring& driveLine,
                                 int driveNumber, const std::wstring& virtualSize) {
    return FillPlaceholders(pattern, {driveLine, std::to_wstring(driveNumber), virtualSize});
}

std::wstring FormatListCaption(const std::wstring& availableDrives) {
    return availableDrives.empty() ? availableDrives : availableDrives + L" (> 2048GB)";
}

OperationButtons ButtonsForSelection(bool created, bool mounted) {
    OperationButtons b;
    b.createOrRescan = !created || IsRescanState(created, mounted);
    b.recover = created;
    b.partition = created;
    return b;
}

}  // namespace app
