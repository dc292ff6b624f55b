#include "busctl/BusConnection.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "busctl/BusProtocol.h"
#include "platform/Utf16.h"

namespace busctl {

using namespace platform;

uint32_t BusConnection::Open() {
    uint32_t error =
        io_.GetClassDevs(kBusInterfaceClass, kDigcfPresent | kDigcfDeviceInterface, set_.Receive());
    if (error != kErrorSuccess) return Fail(Step::ClassDevs, error);

    DeviceInterfaceData data{};
    data.cbSize = sizeof(data);
    error = io_.EnumDeviceInterfaces(set_.Get(), kBusInterfaceClass, 0, &data);
    if (error != kErrorSuccess) {
        noInterface_ = error == kErrorNoMoreItems;
        return Fail(Step::Enumerate, error);
    }

    uint32_t required = 0;
    error = io_.GetDeviceInterfaceDetail(set_.Get(), data, nullptr, 0, &required, nullptr);
    if (error != kErrorInsufficientBuffer)
        // A size query cannot succeed without a buffer; never let it pass as success.
        return Fail(Step::DetailSize, error != kErrorSuccess ? error : kErrorInvalidUserBuffer);

    // Never smaller than the fixed part, so writing cbSize stays inside the block.
    const size_t size = std::max<size_t>(required, kInterfaceDetailFixedSize);
    if (detail_.Allocate(size, false) != kErrorSuccess)
        return Fail(Step::Allocate, kErrorInsufficientBuffer);
    const uint32_t cbSize = kInterfaceDetailFixedSize;
    std::memcpy(detail_.Bytes(), &cbSize, sizeof(cbSize));
    error = io_.GetDeviceInterfaceDetail(set_.Get(), data, detail_.Bytes(),
                                         static_cast<uint32_t>(size), nullptr, nullptr);
    if (error != kErrorSuccess) return Fail(Step::Detail, error);

    const std::wstring path = FromUtf16Bytes(detail_.Bytes() + kInterfaceDetailPathOffset,
                                             size - kInterfaceDetailPathOffset);
    error = io_.CreateFileW(path.c_str(), kGenericRead, 0, kOpenExisting, 0, device_.Receive());
    if (error != kErrorSuccess) return Fail(Step::Open, error);
    return kErrorSuccess;
}

}  // namespace busctl
