#include "app/CapacityMath.h"

#include <cstddef>

namespace app {

float CapacityGigabytes(int64_t bytes) {
    return static_cast<float>(static_cast<double>(bytes) * (1.0 / 1073741824.0));
}

bool ComputeCapacityTenths(int64_t physicalBytes, int64_t virtualBytes, uint8_t* physicalTenths,
                           uint8_t* virtualTenths) {
    if (physicalBytes <= 0 || virtualBytes <= 0) return false;
    const float p = CapacityGigabytes(physicalBytes);
    const float v = CapacityGigabytes(virtualBytes);
    const float sum = p + v;
    const int pct = static_cast<int>(p / sum * 100.0f);
    uint8_t physical = 0;
    if (pct > 70) physical = 7;
    else if (pct < 30) physical = 3;
    else physical = static_cast<uint8_t>(pct / 10);
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
        const int w = k == 0 ? static_cast<uint16_t>(inner - (sum - widths[0]) * unit)
                             : widths[k] * unit;
        boxes.push_back({x, w});
        x += w;
    }
    return boxes;
}

}  // namespace app
