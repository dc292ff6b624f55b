#include "busctl/BusOperations.h"

#include <cstring>
#include <limits>

#include "busctl/BusConnection.h"
#include "platform/DeviceResources.h"
#include "platform/Utf16.h"

namespace busctl {

using namespace platform;

namespace {

uint32_t SendPlugIn(DeviceIo& io, OsHandle device, uint32_t serialNo, const std::u16string& text) {
    const size_t size = sizeof(PlugInHeader) + 2 * (text.size() + 1);
    HeapBlock request(io);
    if (request.Allocate(size, false) != kErrorSuccess) return kErrorInsufficientBuffer;
    const PlugInHeader header{sizeof(PlugInHeader), serialNo};
    std::memcpy(request.Bytes(), &header, sizeof(header));
    WriteUtf16z(text, request.Bytes() + sizeof(header));
    uint32_t returned = 0;
    return io.DeviceIoControl(device, BUS_PLUG_IN, request.Bytes(), static_cast<uint32_t>(size),
                              nullptr, 0, &returned);
}

uint32_t SendUnplug(DeviceIo& io, OsHandle device, uint32_t serialNo) {
    UnplugRequest request{};
    request.Size = sizeof(request);
    request.SerialNo = serialNo;
    request.FirstOption = 1;
    request.SecondOption = 1;
    uint32_t returned = 0;
    return io.DeviceIoControl(device, BUS_UNPLUG, &request, sizeof(request), nullptr, 0, &returned);
}

bool IsNoSuchVirtualDisk(uint32_t error) {
    return error == kErrorFileNotFound || error == kErrorInvalidParameter;
}

// The reply names are cut to their first 128 characters; dest starts zero-filled, so its
// own fields stay terminated.
constexpr size_t kCopiedNameChars = 128;

void CopyReply(const VirtualDiskState& reply, VirtualDiskState& dest) {
    dest.SerialNo = reply.SerialNo;
    std::memcpy(dest.PhysicalDisk.FriendlyName, reply.PhysicalDisk.FriendlyName,
                kCopiedNameChars * sizeof(char16_t));
    dest.PhysicalDisk.Value = reply.PhysicalDisk.Value;
    std::memcpy(dest.VirtualDisk.FriendlyName, reply.VirtualDisk.FriendlyName,
                kCopiedNameChars * sizeof(char16_t));
    dest.VirtualDisk.Value = reply.VirtualDisk.Value;
    dest.Created = reply.Created;
    dest.Mounted = reply.Mounted;
}

}  // namespace

uint32_t SendBusRequests(DeviceIo& io, const BusOperationSelector& selector, uint32_t serialNo,
                         const std::wstring& identification) {
    const std::u16string text = ToUtf16(identification);
    // The request length must fit the 32-bit length of the call.
    if (text.size() > (std::numeric_limits<uint32_t>::max() - sizeof(PlugInHeader)) / 2 - 1)
        return kErrorFilenameExcedRange;

    BusConnection bus(io);
    if (const uint32_t error = bus.Open(); error != kErrorSuccess) return error;

    if (selector.PlugIn) {
        if (const uint32_t error = SendPlugIn(io, bus.Handle(), serialNo, text);
            error != kErrorSuccess)
            return error;
    }
    if (selector.Unplug) return SendUnplug(io, bus.Handle(), serialNo);
    return kErrorSuccess;
}

uint32_t PlugInVirtualDisk(DeviceIo& io, uint32_t serialNo, const std::wstring& identification) {
    BusOperationSelector selector;
    selector.PlugIn = 1;
    return SendBusRequests(io, selector, serialNo, identification);
}

uint32_t UnplugVirtualDisk(DeviceIo& io, uint32_t serialNo, const std::wstring& identification) {
    BusOperationSelector selector;
    selector.Unplug = 1;
    return SendBusRequests(io, selector, serialNo, identification);
}

uint32_t QueryVirtualDisk(DeviceIo& io, const BusOperationSelector& selector, uint32_t serialNo,
                          VirtualDiskState& dest) {
    BusConnection bus(io);
    if (const uint32_t error = bus.Open(); error != kErrorSuccess) return error;
    if (!selector.Query) return kErrorSuccess;

    // The request is the first 16 bytes of a zero input as long as the reply.
    uint8_t input[kQueryBufferSize] = {};
    const QueryRequest request{sizeof(QueryRequest), serialNo, {}};
    std::memcpy(input, &request, sizeof(request));
    VirtualDiskState reply{};
    reply.Size = sizeof(reply);
    uint32_t returned = 0;
    const uint32_t error = io.DeviceIoControl(bus.Handle(), BUS_QUERY, input, sizeof(input), &reply,
                                              sizeof(reply), &returned);
    if (error != kErrorSuccess && !IsNoSuchVirtualDisk(error)) return error;
    CopyReply(reply, dest);
    return error;
}

uint32_t QueryVirtualDisk(DeviceIo& io, uint32_t serialNo, VirtualDiskState& dest) {
    BusOperationSelector selector;
    selector.Query = 1;
    return QueryVirtualDisk(io, selector, serialNo, dest);
}

uint32_t LookupVirtualDiskSerial(DeviceIo& io, const BusOperationSelector& selector,
                                 const std::wstring& deviceObjectName, uint32_t& serialNo) {
    const std::u16string name = ToUtf16(deviceObjectName);
    if (name.size() > kMaxNameLength) return kErrorFilenameExcedRange;

    BusConnection bus(io);
    if (const uint32_t error = bus.Open(); error != kErrorSuccess)
        // No bus interface means no virtual drive: not an error for the lookup.
        return bus.NoInterface() ? kErrorSuccess : error;
    if (!selector.LookupSerial) return kErrorSuccess;

    LookupSerialRecord record{};
    record.Size = sizeof(record);
    WriteUtf16z(name, record.DeviceObjectName);
    uint32_t returned = 0;
    const uint32_t error = io.DeviceIoControl(bus.Handle(), BUS_LOOKUP_SERIAL, &record,
                                              sizeof(record), &record, sizeof(record), &returned);
    if (error == kErrorSuccess || error == kErrorFileNotFound || error == kErrorNoMoreItems)
        serialNo = record.SerialNo;
    return error;
}

uint32_t LookupVirtualDiskSerial(DeviceIo& io, const std::wstring& deviceObjectName,
                                 uint32_t& serialNo) {
    BusOperationSelector selector;
    selector.LookupSerial = 1;
    return LookupVirtualDiskSerial(io, selector, deviceObjectName, serialNo);
}

uint32_t RequestDiskSize(DeviceIo& io, uint32_t busType, const std::wstring& deviceObjectName,
                         BusDiskSize* answer, BusConnection::Step& failedStep) {
    failedStep = BusConnection::Step::None;
    const std::u16string name = ToUtf16(deviceObjectName);
    if (name.size() > kMaxNameLength) return kErrorFilenameExcedRange;
    if (!answer) return kErrorInvalidParameter;

    BusConnection bus(io);
    if (const uint32_t error = bus.Open(); error != kErrorSuccess) {
        failedStep = bus.FailedStep();
        return error;
    }
    DiskSizeRecord record{};
    record.Size = sizeof(record);
    record.BusType = busType;
    WriteUtf16z(name, record.DeviceObjectName);
    uint32_t returned = 0;
    if (const uint32_t error =
            io.DeviceIoControl(bus.Handle(), BUS_DISK_SIZE, &record, sizeof(record), &record,
                               sizeof(record), &returned)) {
        failedStep = BusConnection::Step::Request;
        return error;
    }
    answer->DiskSize = record.DiskSize;
    answer->LastBlockAddress = record.LastBlockAddress;
    answer->BytesPerBlock = record.BytesPerBlock;
    return kErrorSuccess;
}

}  // namespace busctl
