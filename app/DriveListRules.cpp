#include "app/DriveListRules.h"

namespace app {

std::wstring FormatDriveLine(const std::wstring& modelText, const std::wstring& capacityText) {
    return modelText + L" - " + capacityText + L"GB";
}

std::wstring FormatRecoverTarget(const std::wstring& pattern, const std::wstring& driveLine,
                                 int driveNumber, const std::wstring& virtualSize) {
    // Numbered places rather than printf's order, so that a translation may reorder them;
    // and the texts are put in as they are, whatever "%" they hold.
    const std::wstring values[] = {driveLine, std::to_wstring(driveNumber), virtualSize};
    std::wstring out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (pattern[i] == L'%' && next >= L'1' && next <= L'3') {
            out += values[next - L'1'];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
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
