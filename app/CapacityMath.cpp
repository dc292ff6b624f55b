#include "app/CapacityMath.h"

#include <cstddef>
#include <cwchar>

#include "disk/Capacity.h"
#include "platform/StoreRounding.h"

namespace app {

using disk::CapacityGigabytes;
using platform::StoreRounded;

bool ComputeCapacityTenths(int64_t physicalBytes, int64_t virtualBytes, uint8_t* physicalTenths,
                           uint8_t* virtualTenths) {
    if (physicalBytes <= 0 || virtualBytes <= 0) return false;
    const float p = CapacityGigabytes(physicalBytes);
    const float v = CapacityGigabytes(virtualBytes);
    const float sum = StoreRounded(p + v);
    const int pct = static_cast<int>(StoreRounded(StoreRounded(p / sum) * 100.0f));
    uint8_t physical = 0;
    if (pct > 70)
        physical = 7;
    else if (pct < 30)
        physical = 3;
    else
        physical = static_cast<uint8_t>(pct / 10);
    if (physicalTenths) *physicalTenths = physical;
    if (virtualTenths) *virtualTenths = static_cast<uint8_t>(10 - physical);
    return true;
}

std::vector<SegmentBox> LayoutSegments(int frameLeft, int frameRight,
                                       const std::vector<uint8_t>& widths) {
    uint16_t sum = 0;
    for (uint8_t w : widths) sum = static_cast<uint16_t>(sum + w);
    if (sum == 0 || widths.empty()) return {};
    const uint16_t inner = static_cast<uint16_t>(frameRight - frameLeft - 6);
    const uint16_t unit = static_cast<uint16_t>(inner / sum);
    std::vector<SegmentBox> boxes;
    int x = frameLeft + 3;
    for (size_t k = 0; k < widths.size(); ++k) {
        const int w =
            k == 0 ? static_cast<uint16_t>(inner - (sum - widths[0]) * unit) : widths[k] * unit;
        boxes.push_back({x, w});
        x += w;
    }
    return boxes;
}

CapacityPlan PlanCapacityPanel(int hasVirtualDrive, int virtualDriveActive, int64_t physicalBytes,
                               int64_t virtualBytes) {
    CapacityPlan plan;
    uint8_t physical = 0, virtualPart = 0;
    ComputeCapacityTenths(physicalBytes, virtualBytes, &physical, &virtualPart);
    if ((physical != 0 || virtualPart != 0) && hasVirtualDrive == 1) {
        plan.widths = {physical, virtualPart};
        plan.colours = {kSegmentBlue, virtualDriveActive ? kSegmentBlue : kSegmentSilver};
        // The captions are the same English words in every language.
        wchar_t text[64];
        std::swprintf(text, 64, L"%.fGB", static_cast<double>(CapacityGigabytes(physicalBytes)));
        plan.valueTexts[0] = text;
        std::swprintf(text, 64, L"Corvane\n%.2fGB",
                      static_cast<double>(CapacityGigabytes(virtualBytes)));
        plan.valueTexts[1] = text;
        plan.barTexts[0] = L"Physical";
        plan.barTexts[1] = L"Virtual";
    } else {
        plan.widths = {100};
        plan.colours = {kSegmentSilver};
    }
    return plan;
}

}  // namespace app
