#include "sim/BusStandIn.h"

#include <algorithm>

#include "platform/DeviceIo.h"

namespace sim {

using namespace platform;

namespace {

constexpr size_t kNameFieldBytes = 512;
constexpr size_t kDescriptorBytes = 1032;
constexpr size_t kQueryBytes = 2080;
constexpr size_t kLookupBytes = 520;
constexpr size_t kDiskSizeBytes = 544;

std::u16string Widen(const std::string& bytes) {
    std::u16string out;
    for (unsigned char c : bytes) out.push_back(c);
    return out;
}

// The descriptor texts are padded with blanks; the driver's friendly name is not.
std::u16string Trimmed(const std::string& bytes) {
    const auto first = bytes.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return Widen(bytes.substr(first, bytes.find_last_not_of(' ') - first + 1));
}

// Reserved bytes and what follows a text's terminator must be sent as zero.
bool ZeroFrom(const wire::Bytes& b, size_t from, size_t to) {
    return std::all_of(b.begin() + from, b.begin() + to, [](uint8_t x) { return x == 0; });
}

// The zero-terminated name in a field, with every byte after its terminator zero.
bool NameField(const wire::Bytes& b, size_t at, std::u16string& name) {
    return wire::Text(b, at, kNameFieldBytes, name) &&
           ZeroFrom(b, at + 2 * (name.size() + 1), at + kNameFieldBytes);
}

void PutDescriptor(wire::Bytes& b, size_t at, const std::u16string& friendly,
                   const std::u16string& second, uint64_t value) {
    wire::PutText(b, at, kNameFieldBytes, friendly);
    wire::PutText(b, at + kNameFieldBytes, kNameFieldBytes, second);
    wire::PutU64(b, at + 2 * kNameFieldBytes, value);
}

}  // namespace

BusStandIn::Reply BusStandIn::Handle(uint32_t code, wire::Bytes& b, uint32_t inSize,
                                     uint32_t outSize) {
    switch (code) {
        case kPlugIn:
            return PlugIn(b, inSize, outSize);
        case kUnplug:
            return Unplug(b, inSize, outSize);
        case kQuery:
            return Query(b, inSize, outSize);
        case kLookupSerial:
            return LookupSerial(b, inSize, outSize);
        case kDiskSize:
            return DiskSize(b, inSize, outSize);
        case kRequest3:  // belongs to the set, but nothing this machine models answers it
        default:
            return {kErrorInvalidFunction, 0};
    }
}

BusStandIn::Reply BusStandIn::PlugIn(const wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    // Size counts the 8-byte header; the text must end, with its terminator, at the end.
    // The request answers nothing, so an output buffer is a malformed request.
    if (outSize != 0 || inSize < 10 || inSize % 2 != 0 || wire::U32(b, 0) != 8)
        return {kErrorInvalidParameter, 0};
    std::u16string name;
    if (!wire::Text(b, 8, inSize - 8, name) || 8 + 2 * (name.size() + 1) != inSize)
        return {kErrorInvalidParameter, 0};
    const uint32_t serialNo = wire::U32(b, 4);
    if (serialNo == 0) return {kErrorInvalidParameter, 0};

    if (auto it = drives_.find(serialNo); it != drives_.end()) {
        // The same drive again is a re-plug; another drive may not take a used number.
        if (it->second.physicalName != name) return {kErrorInvalidParameter, 0};
        if (it->second.mounted) ++plugInsWhilePluggedIn_;
        it->second.mounted = true;
        devicesChanged_();
        return {kErrorSuccess, 0};
    }
    const Drive* drive = findDrive_(name);
    if (!drive) return {kErrorFileNotFound, 0};
    for (const auto& [serial, existing] : drives_)
        if (existing.physicalName == name) return {kErrorAlreadyExists, 0};
    if (drive->size <= kAddressLimitBytes) return {kErrorNotSupported, 0};
    drives_[serialNo] = VirtualDrive{serialNo, name, true};
    devicesChanged_();
    return {kErrorSuccess, 0};
}

BusStandIn::Reply BusStandIn::Unplug(const wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    if (outSize != 0 || inSize != 20 || wire::U32(b, 0) != 20) return {kErrorInvalidParameter, 0};
    // Both option bytes are 1; the ten reserved bytes are zero.
    if (b[8] != 1 || b[9] != 1 || !ZeroFrom(b, 10, 20)) return {kErrorInvalidParameter, 0};
    if (drives_.erase(wire::U32(b, 4)) == 0) return {kErrorFileNotFound, 0};
    devicesChanged_();
    return {kErrorSuccess, 0};
}

BusStandIn::Reply BusStandIn::Query(wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    // Only the first 16 bytes carry the request; all after the serial number is zero.
    if (inSize != kQueryBytes || outSize != kQueryBytes || wire::U32(b, 0) != 16 ||
        !ZeroFrom(b, 8, kQueryBytes))
        return {kErrorInvalidParameter, 0};
    const auto it = drives_.find(wire::U32(b, 4));
    if (it == drives_.end()) return {kErrorFileNotFound, 0};
    const VirtualDrive& v = it->second;
    const Drive* drive = findDrive_(v.physicalName);

    std::fill(b.begin(), b.begin() + kQueryBytes, 0);
    wire::PutU32(b, 0, kQueryBytes);
    wire::PutU32(b, 4, v.serialNo);
    const uint64_t size = drive ? drive->size : 0;
    const std::string serial = std::to_string(v.serialNo);
    PutDescriptor(b, 8, drive ? Trimmed(drive->product) : u"", v.physicalName,
                  std::min(size, kAddressLimitBytes));
    PutDescriptor(b, 8 + kDescriptorBytes, Widen("Virtual Disk " + serial),
                  Widen("\\Device\\VirtualDisk" + serial),
                  size > kAddressLimitBytes ? size - kAddressLimitBytes : 0);
    b[2072] = 1;  // Created
    b[2073] = v.mounted ? 1 : 0;
    return {kErrorSuccess, static_cast<uint32_t>(kQueryBytes)};
}

BusStandIn::Reply BusStandIn::LookupSerial(wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    std::u16string name;
    if (inSize != kLookupBytes || outSize != kLookupBytes || wire::U32(b, 0) != kLookupBytes ||
        !NameField(b, 4, name) || !ZeroFrom(b, 516, kLookupBytes))
        return {kErrorInvalidParameter, 0};
    for (const auto& [serial, v] : drives_) {
        if (v.physicalName == name) {
            wire::PutU32(b, 516, serial);
            return {v.lookupWarning ? kErrorNoMoreItems : kErrorSuccess,
                    static_cast<uint32_t>(kLookupBytes)};
        }
    }
    return {kErrorFileNotFound, 0};
}

BusStandIn::Reply BusStandIn::DiskSize(wire::Bytes& b, uint32_t inSize, uint32_t outSize) {
    std::u16string name;
    if (inSize != kDiskSizeBytes || outSize != kDiskSizeBytes ||
        wire::U32(b, 0) != kDiskSizeBytes || !NameField(b, 8, name) ||
        !ZeroFrom(b, 520, kDiskSizeBytes))
        return {kErrorInvalidParameter, 0};
    const Drive* drive = findDrive_(name);
    if (!drive) return {kErrorFileNotFound, 0};
    wire::PutU64(b, 520, drive->size);
    wire::PutU64(b, 528, drive->lastBlockAddress);
    wire::PutU32(b, 536, drive->bytesPerBlock);
    return {kErrorSuccess, static_cast<uint32_t>(kDiskSizeBytes)};
}

}  // namespace sim
