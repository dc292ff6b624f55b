#include "app/DriveListRules.h"

namespace app {

std::wstring FormatDriveLine(const std::wstring& modelText, const std::wstring& capacityText) {
    return modelText + L" - " + capacityText + L"GB";
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
