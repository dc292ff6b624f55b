#include "sim/SimulatedMachine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <thread>

#include "platform/Utf16.h"
#include "sim/DiskStandIn.h"

namespace sim {

using namespace platform;

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kSpintActive = 1;
constexpr uint32_t kFileShareReadWrite = kFileShareRead | kFileShareWrite;
constexpr uint32_t kErrorMoreData = 234;

// The one set of flags each class is enumerated with. The system would hand back a
// different set (absent devices, other hardware profiles, setup classes) for other flags;
// the machine refuses them instead, so that a changed flag fails where a test sees it.
uint32_t ExpectedClassDevsFlags(const Guid& classGuid) {
    if (classGuid == kBusInterfaceClass) return kDigcfPresent | kDigcfDeviceInterface;
    return kDigcfPresent | kDigcfProfile | kDigcfDeviceInterface;
}

// Warning statuses (STATUS_NO_MORE_ENTRIES, STATUS_BUFFER_OVERFLOW) fail the call, yet the
// I/O manager still copies a buffered reply back to the caller.
bool IsWarning(uint32_t error) {
    return error == kErrorNoMoreItems || error == kErrorMoreData;
}
constexpr uint32_t kBusTypeVirtual = 14;  // STORAGE_BUS_TYPE
constexpr uint32_t kPartitionStyleRaw = 2;

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

// Where on Linux wchar_t is 32-bit, names are compared as UTF-16 either way.
std::u16string Units(const std::wstring& s) {
    return ToUtf16(s);
}

// The name exactly as the system spells it: no leading zeros, no trailing characters.
std::wstring PhysicalDrivePath(int n) {
    return L"\\\\.\\physicaldrive" + std::to_wstring(n);
}

void* TokenPointer(uintptr_t token) {
    return reinterpret_cast<void*>(token);
}
uintptr_t PointerToken(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

}  // namespace

SimulatedMachine::SimulatedMachine()
    : bus_([this](const std::u16string& name) { return DriveByName(name); },
           [this] {
               SyncVirtualDriveDisks();
               if (observer_) observer_();
           }) {}

SimulatedMachine::~SimulatedMachine() {
    for (void* block : buffers_) std::free(block);
}

const Drive& SimulatedMachine::AddDrive(Drive drive) {
    if (drive.deviceObjectName.empty()) {
        // Unique among the drives, in the system's style of eight decimal digits.
        for (unsigned n = static_cast<unsigned>(drives_.size()) + 0x20;; ++n) {
            wchar_t name[32];
            std::swprintf(name, 32, L"\\Device\\%08u", n);
            if (!DriveByName(Units(name))) {
                drive.deviceObjectName = name;
                break;
            }
        }
    }
    drives_.push_back(std::move(drive));
    return drives_.back();
}

const Drive* SimulatedMachine::FindDrive(int number) const {
    for (const auto& d : drives_)
        if (d.number == number) return &d;
    return nullptr;
}

bool SimulatedMachine::RemoveDrive(int number) {
    return std::erase_if(drives_, [&](const Drive& d) { return d.number == number; }) != 0;
}

const Drive* SimulatedMachine::DriveByName(const std::u16string& name) const {
    for (const auto& d : drives_)
        if (Units(d.deviceObjectName) == name) return &d;
    return nullptr;
}

void SimulatedMachine::AddVirtualDrive(uint32_t serialNo, int driveNumber, bool mounted,
                                       bool lookupWarning) {
    const Drive* drive = FindDrive(driveNumber);
    bus_.AddVirtualDrive(VirtualDrive{serialNo, drive ? Units(drive->deviceObjectName) : u"",
                                      mounted, lookupWarning});
    SyncVirtualDriveDisks();
}

bool SimulatedMachine::RemoveVirtualDrive(uint32_t serialNo) {
    if (!bus_.RemoveVirtualDrive(serialNo)) return false;
    SyncVirtualDriveDisks();
    return true;
}

const Drive* SimulatedMachine::FindVirtualDriveDisk(uint32_t serialNo) const {
    for (const auto& d : drives_)
        if (serialNo != 0 && d.virtualSerialNo == serialNo) return &d;
    return nullptr;
}

void SimulatedMachine::SyncVirtualDriveDisks() {
    const auto& virtuals = bus_.VirtualDrives();
    std::erase_if(drives_, [&](const Drive& d) {
        if (d.virtualSerialNo == 0) return false;
        const auto it = virtuals.find(d.virtualSerialNo);
        return it == virtuals.end() || !it->second.mounted;
    });
    for (const auto& [serial, v] : virtuals) {
        if (!v.mounted || FindVirtualDriveDisk(serial)) continue;
        const Drive* parent = DriveByName(v.physicalName);
        if (!parent || parent->size <= kAddressLimitBytes) continue;
        // The bus driver's child: the part beyond the address limit, not yet initialised,
        // numbered after the drives already there.
        Drive disk;
        for (const Drive& d : drives_) disk.number = std::max(disk.number, d.number + 1);
        disk.vendor = kVirtualDriveVendor;
        disk.product = kVirtualDriveProduct;
        disk.busType = kBusTypeVirtual;
        disk.partitionStyle = kPartitionStyleRaw;
        disk.size = parent->size - kAddressLimitBytes;
        disk.bytesPerBlock = 512;
        disk.lastBlockAddress = disk.size / disk.bytesPerBlock - 1;
        disk.virtualSerialNo = serial;
        AddDrive(std::move(disk));
    }
}

std::vector<IoctlRecord> SimulatedMachine::BusRequests() const {
    std::vector<IoctlRecord> out;
    for (const auto& r : ioctls_)
        if (r.toBus) out.push_back(r);
    return out;
}

void SimulatedMachine::ClearRecords() {
    ioctls_.clear();
    opens_.clear();
    classDevsFlags_.clear();
    debugLines_.clear();
    sleeps_.clear();
}

uint64_t SimulatedMachine::SleptMilliseconds() const {
    uint64_t total = 0;
    for (const auto& s : sleeps_) total += s.milliseconds;
    return total;
}

SimulatedMachine::Resources SimulatedMachine::Outstanding() const {
    return {files_.size(), sets_.size(), buffers_.size(), releaseErrors_};
}

std::wstring SimulatedMachine::BusInterfacePath() {
    return L"\\\\?\\root#system#0001#{87378828-6560-4011-bf8e-4ccb16c0ba0b}";
}

std::wstring SimulatedMachine::DiskInterfacePath(int driveNumber) {
    wchar_t path[160];
    std::swprintf(path, 160,
                  L"\\\\?\\scsi#disk&ven_sim&prod_drive#4&2c7a9e1&0&%06d#"
                  L"{53f56307-b6bf-11d0-94f2-00a0c91efb8b}",
                  driveNumber);
    return path;
}

uint32_t SimulatedMachine::Injected(const CallInfo& info) {
    for (auto& active : faults_) {
        const Fault& f = active.fault;
        if (f.call != info.call) continue;
        if (f.ioctl && *f.ioctl != info.ioctl) continue;
        if (f.drive && *f.drive != info.drive) continue;
        if (f.bus && *f.bus != info.bus) continue;
        ++active.seen;
        if (f.nth == 0 || f.nth == active.seen) {
            ++faultsFired_;
            return f.error;
        }
    }
    return kErrorSuccess;
}

std::vector<SimulatedMachine::InterfaceEntry> SimulatedMachine::InterfacesOf(
    const Guid& classGuid) const {
    std::vector<InterfaceEntry> entries;
    if (classGuid == kBusInterfaceClass) {
        if (busPresent_) entries.push_back({BusInterfacePath(), -1, 1});
    } else if (classGuid == kDiskInterfaceClass) {
        // Like a real system, disks do not enumerate in the order of their numbers.
        std::vector<const Drive*> order;
        for (const auto& d : drives_) order.push_back(&d);
        std::stable_sort(order.begin(), order.end(), [](const Drive* a, const Drive* b) {
            return (a->number * 5 + 3) % 17 < (b->number * 5 + 3) % 17;
        });
        for (const Drive* d : order)
            entries.push_back({DiskInterfacePath(d->number), d->number,
                               static_cast<uint32_t>(0x100 + d->number)});
    }
    return entries;
}

SimulatedMachine::InfoSet* SimulatedMachine::FindSet(DeviceInfoSet set) {
    auto it = sets_.find(PointerToken(set));
    return it == sets_.end() ? nullptr : &it->second;
}

const SimulatedMachine::InterfaceEntry* SimulatedMachine::FindEntry(InfoSet& set,
                                                                    uintptr_t token) const {
    if (token == 0 || token > set.entries.size()) return nullptr;
    return &set.entries[token - 1];
}

uint32_t SimulatedMachine::GetClassDevs(const Guid& classGuid, uint32_t flags, DeviceInfoSet* set) {
    const Counted counted(*this);
    if (const uint32_t e = Injected({Call::GetClassDevs, 0, -1, classGuid == kBusInterfaceClass}))
        return e;
    classDevsFlags_.push_back(flags);
    if (!set) return kErrorInvalidParameter;
    if (flags != ExpectedClassDevsFlags(classGuid)) return kErrorInvalidParameter;
    InfoSet info{classGuid, {}};
    // Without DIGCF_DEVICEINTERFACE the GUID names a setup class, which holds no interfaces.
    if (flags & kDigcfDeviceInterface) info.entries = InterfacesOf(classGuid);
    const uintptr_t token = (nextToken_ += 4);
    sets_[token] = std::move(info);
    *set = TokenPointer(token);
    return kErrorSuccess;
}

uint32_t SimulatedMachine::EnumDeviceInterfaces(DeviceInfoSet set, const Guid& classGuid,
                                                uint32_t index, DeviceInterfaceData* data) {
    const Counted counted(*this);
    InfoSet* info = FindSet(set);
    const InterfaceEntry* entry =
        info && info->classGuid == classGuid ? FindEntry(*info, index + 1) : nullptr;
    if (const uint32_t e = Injected({Call::EnumDeviceInterfaces, 0, entry ? entry->drive : -1,
                                     classGuid == kBusInterfaceClass}))
        return e;
    if (!info) return kErrorInvalidHandle;
    if (!data || data->cbSize != kDeviceInterfaceDataSize) return kErrorInvalidUserBuffer;
    if (!entry) return kErrorNoMoreItems;
    data->InterfaceClassGuid = classGuid;
    data->Flags = kSpintActive;
    data->Reserved = index + 1;
    return kErrorSuccess;
}

uint32_t SimulatedMachine::GetDeviceInterfaceDetail(DeviceInfoSet set,
                                                    const DeviceInterfaceData& data, void* detail,
                                                    uint32_t detailSize, uint32_t* requiredSize,
                                                    DeviceInfoData* devInfo) {
    const Counted counted(*this);
    InfoSet* info = FindSet(set);
    const InterfaceEntry* entry = info ? FindEntry(*info, data.Reserved) : nullptr;
    if (const uint32_t e = Injected({Call::GetDeviceInterfaceDetail, 0, entry ? entry->drive : -1,
                                     entry && entry->drive < 0}))
        return e;
    if (!info) return kErrorInvalidHandle;
    if (data.cbSize != kDeviceInterfaceDataSize || !entry) return kErrorInvalidParameter;
    if (devInfo && devInfo->cbSize != kDeviceInfoDataSize) return kErrorInvalidUserBuffer;

    const std::u16string path = Units(entry->path);
    const uint32_t required =
        static_cast<uint32_t>(kInterfaceDetailPathOffset + 2 * (path.size() + 1));
    if (!detail) {
        if (detailSize != 0) return kErrorInvalidUserBuffer;
        if (requiredSize) *requiredSize = required;
        return kErrorInsufficientBuffer;
    }
    uint32_t cbSize = 0;
    if (detailSize >= sizeof(cbSize)) std::memcpy(&cbSize, detail, sizeof(cbSize));
    if (detailSize < kInterfaceDetailFixedSize || cbSize != kInterfaceDetailFixedSize)
        return kErrorInvalidUserBuffer;
    if (detailSize < required) {
        if (requiredSize) *requiredSize = required;
        return kErrorInsufficientBuffer;
    }
    WriteUtf16z(path, static_cast<uint8_t*>(detail) + kInterfaceDetailPathOffset);
    if (requiredSize) *requiredSize = required;
    if (devInfo) {
        devInfo->ClassGuid = info->classGuid;
        devInfo->DevInst = entry->devInst;
        devInfo->Reserved = data.Reserved;
    }
    return kErrorSuccess;
}

uint32_t SimulatedMachine::GetDeviceRegistryProperty(DeviceInfoSet set,
                                                     const DeviceInfoData& devInfo,
                                                     uint32_t property, uint32_t* regType,
                                                     void* buffer, uint32_t bufferSize,
                                                     uint32_t* requiredSize) {
    const Counted counted(*this);
    InfoSet* info = FindSet(set);
    const InterfaceEntry* entry = info ? FindEntry(*info, devInfo.Reserved) : nullptr;
    if (const uint32_t e = Injected({Call::GetDeviceRegistryProperty, 0, entry ? entry->drive : -1,
                                     entry && entry->drive < 0}))
        return e;
    if (!info) return kErrorInvalidHandle;
    if (devInfo.cbSize != kDeviceInfoDataSize) return kErrorInvalidUserBuffer;
    if (!entry) return kErrorInvalidParameter;
    if (property != kSpdrpPhysicalDeviceObjectName) return kErrorInvalidData;

    const Drive* drive = FindDrive(entry->drive);
    const std::u16string value = Units(drive ? drive->deviceObjectName : L"\\Device\\00000001");
    const uint32_t required = static_cast<uint32_t>(2 * (value.size() + 1));
    if (requiredSize) *requiredSize = required;
    if (!buffer && bufferSize != 0) return kErrorInvalidUserBuffer;
    if (bufferSize < required) return kErrorInsufficientBuffer;
    WriteUtf16z(value, buffer);
    if (regType) *regType = kRegSz;
    return kErrorSuccess;
}

uint32_t SimulatedMachine::DestroyDeviceInfoList(DeviceInfoSet set) {
    const Counted counted(*this);
    const uint32_t injected = Injected({Call::DestroyDeviceInfoList});
    if (sets_.erase(PointerToken(set)) == 0) {
        ++releaseErrors_;
        return kErrorInvalidHandle;
    }
    return injected;
}

uint32_t SimulatedMachine::CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                                       uint32_t creation, uint32_t flags, OsHandle* handle) {
    const Counted counted(*this);
    opens_.push_back({path ? path : L"", access, shareMode, creation, flags, 0});
    const uint32_t error = Open(path, access, shareMode, creation, flags, handle);
    opens_.back().error = error;
    return error;
}

uint32_t SimulatedMachine::Open(const wchar_t* path, uint32_t access, uint32_t shareMode,
                                uint32_t creation, uint32_t flags, OsHandle* handle) {
    if (handle) *handle = platform::kInvalidHandle;
    const std::wstring p = Lower(path ? path : L"");
    OpenFile file{Target::PhysicalDrive, -1, access, shareMode};
    bool known = false;
    if (busPresent_ && p == Lower(BusInterfacePath())) {
        file.target = Target::Bus;
        known = true;
    }
    for (const auto& d : drives_) {
        if (p == Lower(DiskInterfacePath(d.number))) {
            file = {Target::DiskInterface, d.number, access, shareMode};
            known = true;
        }
    }
    int n = -1;
    if (!known && std::swscanf(p.c_str(), L"\\\\.\\physicaldrive%d", &n) == 1 && n >= 0 &&
        p == PhysicalDrivePath(n)) {
        file = {Target::PhysicalDrive, n, access, shareMode};
        known = FindDrive(n) != nullptr;
    }
    if (const uint32_t e = Injected({Call::CreateFile, 0, file.drive, file.target == Target::Bus}))
        return e;
    if (!handle) return kErrorInvalidParameter;
    // No overlapped or caching flags: every request of ours is synchronous.
    if (creation != kOpenExisting || flags != 0) return kErrorInvalidParameter;
    if (!known) return kErrorFileNotFound;
    if (file.target == Target::Bus) {
        // The bus driver's control device admits reading clients only, one at a time: its
        // create handler refuses write access and any sharing.
        if (access & ~kGenericRead) return kErrorAccessDenied;
        if (shareMode != 0) return platform::kErrorSharingViolation;
    } else {
        // The disk's volumes hold it open for reading and writing, so an open that does not
        // share both conflicts with them; reading or writing the raw disk takes rights the
        // device queries do not need, and this machine grants them to nobody.
        if (access != 0) return kErrorAccessDenied;
        if ((shareMode & kFileShareReadWrite) != kFileShareReadWrite)
            return platform::kErrorSharingViolation;
    }
    // The bus device is opened exclusively (share mode 0): a second open must wait.
    for (const auto& [token, open] : files_) {
        if (open.target == file.target && open.drive == file.drive &&
            (open.shareMode == 0 || shareMode == 0))
            return platform::kErrorSharingViolation;
    }
    const uintptr_t token = (nextToken_ += 4);
    files_[token] = file;
    *handle = TokenPointer(token);
    return kErrorSuccess;
}

uint32_t SimulatedMachine::DeviceIoControl(OsHandle handle, uint32_t code, const void* in,
                                           uint32_t inSize, void* out, uint32_t outSize,
                                           uint32_t* returned) {
    const Counted counted(*this);
    if (returned) *returned = 0;
    const auto it = files_.find(PointerToken(handle));
    IoctlRecord record;
    record.code = code;
    record.outSize = outSize;
    if (in && inSize)
        record.input.assign(static_cast<const uint8_t*>(in),
                            static_cast<const uint8_t*>(in) + inSize);
    if (it != files_.end()) {
        record.toBus = it->second.target == Target::Bus;
        record.drive = it->second.drive;
    }
    auto finish = [&](uint32_t error) {
        record.error = error;
        ioctls_.push_back(std::move(record));
        return error;
    };

    if (const uint32_t e = Injected({Call::DeviceIoControl, code, record.drive, record.toBus}))
        return finish(e);
    if (it == files_.end()) return finish(kErrorInvalidHandle);
    // Without an OVERLAPPED the call must have somewhere to put the count.
    if (!returned || (inSize && !in) || (outSize && !out)) return finish(kErrorInvalidUserBuffer);

    // The I/O manager checks the access the code demands against the handle's access.
    const uint32_t requiredAccess = (code >> 14) & 3;
    if (((requiredAccess & 1) && !(it->second.access & kGenericRead)) ||
        ((requiredAccess & 2) && !(it->second.access & kGenericWrite)))
        return finish(kErrorAccessDenied);

    // METHOD_BUFFERED: the driver sees one system buffer holding the input, writes its
    // answer there, and only a successful answer is copied back to the output.
    std::vector<uint8_t> system(std::max(inSize, outSize), 0);
    if (inSize) std::memcpy(system.data(), in, inSize);
    uint32_t information = 0;
    uint32_t error = kErrorSuccess;
    if (it->second.target == Target::Bus) {
        const BusStandIn::Reply reply = bus_.Handle(code, system, inSize, outSize);
        error = reply.error;
        information = reply.information;
    } else {
        error = DiskRequest(it->second, code, system, inSize, outSize, information);
    }
    if (error == kErrorSuccess || IsWarning(error)) {
        information = std::min(information, outSize);
        if (information) std::memcpy(out, system.data(), information);
        if (returned) *returned = information;
    }
    return finish(error);
}

uint32_t SimulatedMachine::DiskRequest(const OpenFile& file, uint32_t code,
                                       std::vector<uint8_t>& systemBuffer, uint32_t inSize,
                                       uint32_t outSize, uint32_t& information) {
    const Drive* drive = FindDrive(file.drive);
    // The drive was removed while the handle stayed open.
    if (!drive) return kErrorFileNotFound;
    const DiskReply reply = HandleDiskRequest(*drive, code, systemBuffer, inSize, outSize);
    information = reply.information;
    return reply.error;
}

uint32_t SimulatedMachine::CloseHandle(OsHandle handle) {
    const Counted counted(*this);
    const uint32_t injected = Injected({Call::CloseHandle});
    if (files_.erase(PointerToken(handle)) == 0) {
        ++releaseErrors_;
        return kErrorInvalidHandle;
    }
    return injected;
}

uint32_t SimulatedMachine::HeapAlloc(size_t bytes, bool zeroFill, void** block) {
    const Counted counted(*this);
    if (const uint32_t e = Injected({Call::HeapAlloc})) return e;
    if (!block) return kErrorInvalidParameter;
    void* p = std::malloc(bytes ? bytes : 1);
    if (!p) return kErrorNotEnoughMemory;
    // Memory that was not asked to be zeroed is not: code relying on it shows up.
    std::memset(p, zeroFill ? 0 : 0xCD, bytes);
    buffers_.insert(p);
    *block = p;
    return kErrorSuccess;
}

uint32_t SimulatedMachine::HeapFree(void* block) {
    const Counted counted(*this);
    const uint32_t injected = Injected({Call::HeapFree});
    if (buffers_.erase(block) == 0) {
        ++releaseErrors_;
        return kErrorInvalidParameter;
    }
    std::free(block);
    return injected;
}

void SimulatedMachine::Sleep(uint32_t milliseconds) {
    const Counted counted(*this);
    sleeps_.push_back({milliseconds, ioctls_.size()});
    if (realWaits_) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SimulatedMachine::OutputDebugStringW(const wchar_t* text) {
    debugLines_.emplace_back(text ? text : L"");
    if (sink_) sink_(debugLines_.back());
}

}  // namespace sim
