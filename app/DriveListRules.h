// What the drive list shows and which operation buttons a selected drive allows, as plain
// rules that the dialog applies.
#pragma once

#include <string>
#include <vector>

namespace app {

// One line of the drive list: model, " - ", capacity and "GB".
std::wstring FormatDriveLine(const std::wstring& modelText, const std::wstring& capacityText);

// The pattern with %1, %2, ... replaced by the values in that order, put in as they are
// (whatever "%" they hold); numbered places rather than printf's order, so that a translation
// may reorder them. A "%" before anything else stays as it is.
std::wstring FillPlaceholders(const std::wstring& pattern, const std::vector<std::wstring>& values);

// The drive that Recover would empty, on a line of its own under the question: the pattern's
// %1 becomes the drive's list line, %2 its drive number and %3 its virtual drive's size.
std::wstring FormatRecoverTarget(const std::wstring& pattern, const std::wstring& driveLine,
                                 int driveNumber, const std::wstring& virtualSize);

// "Available Drives" becomes "Available Drives (> 2048GB)"; an empty text stays empty.
std::wstring FormatListCaption(const std::wstring& availableDrives);

struct OperationButtons {
    bool createOrRescan = false;
    bool recover = false;
    bool partition = false;
};

// A drive without a virtual drive may be given one; one with a virtual drive may be
// recovered and partitioned, and plugged in again (Rescan) while it is not plugged in.
OperationButtons ButtonsForSelection(bool created, bool mounted);

// The Rescan state: the virtual drive exists but is not plugged in.
inline bool IsRescanState(bool created, bool mounted) {
    return created && !mounted;
}

}  // namespace app
