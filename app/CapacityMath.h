// The arithmetic of the capacity panel, free of windows so that it is tested everywhere:
// how the bar is split between the physical part and the virtual drive, and where each
// segment lands inside the panel's frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

// Widths in tenths of the two segments, each between 3 and 7 and adding up to 10. False,
// with the outputs untouched, unless both sizes (bytes) are above zero.
bool ComputeCapacityTenths(int64_t physicalBytes, int64_t virtualBytes, uint8_t* physicalTenths,
                           uint8_t* virtualTenths);

struct SegmentBox {
    int left, width;
};

// Splits the frame's inner width (frame width less 6) among the segments in proportion
// to widths; segment 0 absorbs the remainder. Empty when the widths add up to 0. The
// differences wrap as 16-bit values, as the panel's layout always has.
std::vector<SegmentBox> LayoutSegments(int frameLeft, int frameRight,
                                       const std::vector<uint8_t>& widths);

// Bar colours, as COLORREF values (0x00BBGGRR).
inline constexpr uint32_t kSegmentBlue = 0xFF0000;
inline constexpr uint32_t kSegmentSilver = 0xC0C0C0;

// What the panel shows for the selected drive: one full silver segment without text, or
// the physical and the virtual segment with their captions and sizes.
struct CapacityPlan {
    std::vector<uint8_t> widths;    // in chart units
    std::vector<uint32_t> colours;  // one per segment
    std::wstring barTexts[2];
    std::wstring valueTexts[2];  // empty for the single segment
};

// Only 1 counts as hasVirtualDrive; any non-zero virtualDriveActive counts as plugged in.
CapacityPlan PlanCapacityPanel(int hasVirtualDrive, int virtualDriveActive, int64_t physicalBytes,
                               int64_t virtualBytes);

}  // namespace app
