// A machine with physical drives and a stand-in for the virtual disk bus driver, behind
// the same DeviceIo seam as the real system. It answers with the records and error codes
// the real calls give, lets any call fail on demand, and counts everything it hands out.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/DeviceIo.h"
#include "sim/BusStandIn.h"
#include "sim/Drive.h"

namespace sim {

enum class Call {
    GetClassDevs,
    EnumDeviceInterfaces,
    GetDeviceInterfaceDetail,
    GetDeviceRegistryProperty,
    DestroyDeviceInfoList,
    CreateFile,
    DeviceIoControl,
    CloseHandle,
    HeapAlloc,
    HeapFree,
};

// Makes matching calls fail with error before they do anything. A failing release call
// still releases, so a fault never turns into a leak of its own.
struct Fault {
    Call call = Call::GetClassDevs;
    uint32_t error = 0;
    int nth = 0;                    // 0: every matching call; n: only the n-th one (from 1)
    std::optional<uint32_t> ioctl;  // only this control code
    std::optional<int> drive;       // only calls about this drive number
    std::optional<bool> bus;        // only calls about the bus interface (or none of them)
};

// A device I/O control call as the machine received it.
struct IoctlRecord {
    uint32_t code = 0;
    std::vector<uint8_t> input;
    uint32_t outSize = 0;
    uint32_t error = 0;
    bool toBus = false;
    int drive = -1;
};

// A CreateFileW call as the machine received it.
struct OpenRecord {
    std::wstring path;
    uint32_t access = 0;
    uint32_t shareMode = 0;
    uint32_t creation = 0;
    uint32_t flags = 0;
    uint32_t error = 0;
};

// A Sleep call, and how many device I/O controls had been received before it.
struct SleepRecord {
    uint32_t milliseconds = 0;
    size_t afterIoctls = 0;
};

// The record sizes of SetupAPI as a 32-bit (28) or 64-bit (32) program must set them.
inline constexpr uint32_t kDeviceInterfaceDataSize = sizeof(void*) == 8 ? 32 : 28;
inline constexpr uint32_t kDeviceInfoDataSize = sizeof(void*) == 8 ? 32 : 28;

// Interface classes the machine knows.
inline constexpr platform::Guid kDiskInterfaceClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr platform::Guid kBusInterfaceClass = {
    0x87378828, 0x6560, 0x4011, {0xBF, 0x8E, 0x4C, 0xCB, 0x16, 0xC0, 0xBA, 0x0B}};

class SimulatedMachine final : public platform::DeviceIo {
public:
    SimulatedMachine();
    ~SimulatedMachine() override;

    // Building the machine.
    void SetBusPresent(bool present) { busPresent_ = present; }
    bool BusPresent() const { return busPresent_; }
    // Adds a drive; an empty device object name gets a unique \Device\000000NN.
    const Drive& AddDrive(Drive drive);
    const Drive* FindDrive(int number) const;
    // Takes a drive out, as when it is pulled from the machine; false when there is none.
    bool RemoveDrive(int number);
    const std::vector<Drive>& Drives() const { return drives_; }
    // A virtual drive that already exists on drive number driveNumber; lookupWarning makes
    // the bus driver answer the serial number lookup for it with 259 and the number.
    void AddVirtualDrive(uint32_t serialNo, int driveNumber, bool mounted,
                         bool lookupWarning = false);
    // Takes a virtual drive off the bus behind the program's back; false when there is none.
    bool RemoveVirtualDrive(uint32_t serialNo);
    // The drive that presents virtual drive serialNo, or null while it is not plugged in.
    const Drive* FindVirtualDriveDisk(uint32_t serialNo) const;
    BusStandIn& Bus() { return bus_; }

    void InjectFault(const Fault& fault) { faults_.push_back({fault, 0}); }
    void ClearFaults() { faults_.clear(); }
    // How many calls an injected fault has failed since the machine was made.
    size_t FaultsFired() const { return faultsFired_; }

    // Runs after every device call (debugger output is none) with the count of calls so far,
    // so that a test can change the machine between two calls of one operation: between a
    // plug-in and its re-read, or in the middle of a scan.
    void SetCallHook(std::function<void(size_t calls)> hook) { callHook_ = std::move(hook); }
    size_t DeviceCalls() const { return deviceCalls_; }

    // Runs after the bus driver added, re-plugged or removed a virtual drive, as the
    // system's device-nodes-changed broadcast would follow.
    void SetDeviceChangeObserver(std::function<void()> observer) {
        observer_ = std::move(observer);
    }
    // Receives each debugger line as it is written.
    void SetDebugSink(std::function<void(const std::wstring&)> sink) { sink_ = std::move(sink); }

    // What happened.
    const std::vector<IoctlRecord>& Ioctls() const { return ioctls_; }
    std::vector<IoctlRecord> BusRequests() const;
    void ClearRecords();
    const std::vector<OpenRecord>& Opens() const { return opens_; }
    // SetupDiGetClassDevsW flags in the order the calls came.
    const std::vector<uint32_t>& ClassDevsFlags() const { return classDevsFlags_; }
    const std::vector<std::wstring>& DebugLines() const { return debugLines_; }
    const std::vector<SleepRecord>& Sleeps() const { return sleeps_; }
    uint64_t SleptMilliseconds() const;
    size_t SleepCalls() const { return sleeps_.size(); }

    struct Resources {
        size_t handles = 0;
        size_t deviceInfoSets = 0;
        size_t buffers = 0;
        size_t releaseErrors = 0;  // a release of something not held
        bool operator==(const Resources&) const = default;
    };
    Resources Outstanding() const;

    // DeviceIo
    uint32_t GetClassDevs(const platform::Guid& classGuid, uint32_t flags,
                          platform::DeviceInfoSet* set) override;
    uint32_t EnumDeviceInterfaces(platform::DeviceInfoSet set, const platform::Guid& classGuid,
                                  uint32_t index, platform::DeviceInterfaceData* data) override;
    uint32_t GetDeviceInterfaceDetail(platform::DeviceInfoSet set,
                                      const platform::DeviceInterfaceData& data, void* detail,
                                      uint32_t detailSize, uint32_t* requiredSize,
                                      platform::DeviceInfoData* devInfo) override;
    uint32_t GetDeviceRegistryProperty(platform::DeviceInfoSet set,
                                       const platform::DeviceInfoData& devInfo, uint32_t property,
                                       uint32_t* regType, void* buffer, uint32_t bufferSize,
                                       uint32_t* requiredSize) override;
    uint32_t DestroyDeviceInfoList(platform::DeviceInfoSet set) override;
    uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t shareMode,
                         uint32_t creation, uint32_t flags, platform::OsHandle* handle) override;
    uint32_t DeviceIoControl(platform::OsHandle handle, uint32_t code, const void* in,
                             uint32_t inSize, void* out, uint32_t outSize,
                             uint32_t* returned) override;
    uint32_t CloseHandle(platform::OsHandle handle) override;
    uint32_t HeapAlloc(size_t bytes, bool zeroFill, void** block) override;
    uint32_t HeapFree(void* block) override;
    // Waits are recorded; with real waits they also take their time, as on the real system.
    void SetRealWaits(bool real) { realWaits_ = real; }
    void Sleep(uint32_t milliseconds) override;
    void OutputDebugStringW(const wchar_t* text) override;

    // Device paths, as the interface details report them.
    static std::wstring BusInterfacePath();
    static std::wstring DiskInterfacePath(int driveNumber);

private:
    struct InterfaceEntry {
        std::wstring path;
        int drive = -1;  // -1: the bus interface
        uint32_t devInst = 0;
    };
    struct InfoSet {
        platform::Guid classGuid{};
        std::vector<InterfaceEntry> entries;
    };
    enum class Target { Bus, DiskInterface, PhysicalDrive };
    struct OpenFile {
        Target target;
        int drive = -1;
        uint32_t access = 0;
        uint32_t shareMode = 0;
    };
    struct CallInfo {
        Call call;
        uint32_t ioctl = 0;
        int drive = -1;
        bool bus = false;
    };
    struct ActiveFault {
        Fault fault;
        int seen;
    };

    uint32_t Injected(const CallInfo& info);
    // Counts one device call and, once it has returned, runs the hook.
    class Counted {
    public:
        explicit Counted(SimulatedMachine& m) : m_(m) { ++m_.deviceCalls_; }
        ~Counted() {
            if (m_.callHook_) m_.callHook_(m_.deviceCalls_);
        }
        Counted(const Counted&) = delete;
        Counted& operator=(const Counted&) = delete;

    private:
        SimulatedMachine& m_;
    };
    InfoSet* FindSet(platform::DeviceInfoSet set);
    const InterfaceEntry* FindEntry(InfoSet& set, uintptr_t token) const;
    std::vector<InterfaceEntry> InterfacesOf(const platform::Guid& classGuid) const;
    const Drive* DriveByName(const std::u16string& deviceObjectName) const;
    uint32_t Open(const wchar_t* path, uint32_t access, uint32_t shareMode, uint32_t creation,
                  uint32_t flags, platform::OsHandle* handle);
    // Adds a drive for every plugged-in virtual drive that has none and removes the drives of
    // virtual drives that are gone or unplugged, as the bus driver's children come and go.
    void SyncVirtualDriveDisks();
    uint32_t DiskRequest(const OpenFile& file, uint32_t code, std::vector<uint8_t>& systemBuffer,
                         uint32_t inSize, uint32_t outSize, uint32_t& information);

    bool busPresent_ = true;
    std::vector<Drive> drives_;
    BusStandIn bus_;
    std::vector<ActiveFault> faults_;
    size_t faultsFired_ = 0;
    std::function<void(size_t)> callHook_;
    size_t deviceCalls_ = 0;
    std::function<void()> observer_;
    std::function<void(const std::wstring&)> sink_;

    std::map<uintptr_t, InfoSet> sets_;
    std::map<uintptr_t, OpenFile> files_;
    std::set<void*> buffers_;
    uintptr_t nextToken_ = 0x100;
    size_t releaseErrors_ = 0;

    std::vector<IoctlRecord> ioctls_;
    std::vector<std::wstring> debugLines_;
    bool realWaits_ = false;
    std::vector<OpenRecord> opens_;
    std::vector<uint32_t> classDevsFlags_;
    std::vector<SleepRecord> sleeps_;
};

}  // namespace sim
