#include "disk/Capacity.h"

#include <cwchar>

#include "platform/Diagnostics.h"
#include "platform/StoreRounding.h"

namespace disk {

using platform::WriteDiagnostic;

namespace {
uint32_t High(uint64_t v) {
    return static_cast<uint32_t>(v >> 32);
}
uint32_t Low(uint64_t v) {
    return static_cast<uint32_t>(v);
}
}  // namespace

bool ExceedsAddressLimit(uint64_t diskSize) {
    return High(diskSize) > 0x200 || (High(diskSize) == 0x200 && Low(diskSize) != 0);
}

bool HasMbrBlockSize(uint32_t bytesPerBlock) {
    return bytesPerBlock == 512 || bytesPerBlock == 0;
}

float CapacityGigabytes(int64_t bytes) {
    return platform::StoreRounded(
        static_cast<float>(static_cast<double>(bytes) * (1.0 / 1073741824.0)));
}

std::wstring FormatCapacityText(uint64_t diskSize) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%.2f",
                  static_cast<double>(CapacityGigabytes(static_cast<int64_t>(diskSize))));
    return text;
}

void ReportDiskSize(platform::DeviceIo& io, const DiskSizeInfo& size) {
    WriteDiagnostic(io, L"HDD Size: 0x%X%X\n", High(size.DiskSize), Low(size.DiskSize));
    WriteDiagnostic(io, L"HDD Block Address: 0x%X%X  BytesPerBlock = 0x%X\n",
                    High(size.LastBlockAddress), Low(size.LastBlockAddress), size.BytesPerBlock);
}

}  // namespace disk
