// The capacity panel's record: how many segments were laid out, where their value labels
// went, and which one is selected. The widths and colours stay in the plan they come from.
#pragma once

#include <windows.h>

#include <cstdint>

#include "res/resource.h"

namespace app {

struct CapacityChart {
    uint8_t count;  // segments laid out; 0: none
    // Value-label frames in dialog client coordinates, at the segment's selection code
    // (2k + 2); other positions stay zero.
    int32_t frameLeft[255], frameTop[255], frameRight[255], frameBottom[255];
    uint8_t previousSelection;  // 0: none
    uint8_t currentSelection;   // 0: none
};

// Segment k's controls and selection code.
inline constexpr int kSegmentSlots = 5;
inline constexpr int kBarIds[kSegmentSlots] = {IDC_CAPACITY_BAR_0, IDC_CAPACITY_BAR_1,
                                               IDC_CAPACITY_BAR_2, IDC_CAPACITY_BAR_3,
                                               IDC_CAPACITY_BAR_4};
inline constexpr int kValueLabelIds[kSegmentSlots] = {IDC_CAPACITY_VALUE_0, IDC_CAPACITY_VALUE_1,
                                                      IDC_CAPACITY_VALUE_2, IDC_CAPACITY_VALUE_3,
                                                      IDC_CAPACITY_VALUE_4};
inline constexpr uint8_t SelectionCode(int segment) {
    return static_cast<uint8_t>(2 * segment + 2);
}

}  // namespace app
