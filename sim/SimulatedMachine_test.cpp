// The simulated machine must answer like the real system: same records, same codes. These
// tests drive it with raw calls, the way no client code of ours would.
#include "sim/SimulatedMachine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/DeviceResources.h"
#include "platform/Utf16.h"

namespace sim {
namespace {

using namespace platform;
using Bytes = std::vector<uint8_t>;

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Drive d;
        d.number = 0;
        d.size = 1000204886016;
        machine.AddDrive(d);
        d.number = 3;
        d.size = 3000592982016;
        d.lastBlockAddress = d.size / 512 - 1;
        d.product = "Big Drive";
        big = machine.AddDrive(d).deviceObjectName;
        machine.SetDeviceChangeObserver([this] { ++changes; });
    }

    // Sends raw bytes to the bus device; returns the code and leaves the answer in out.
    uint32_t Send(uint32_t code, Bytes in, Bytes& out, uint32_t access = kGenericRead) {
        HandleOwner bus(machine);
        if (uint32_t e = machine.CreateFileW(SimulatedMachine::BusInterfacePath().c_str(), access,
                                             0, kOpenExisting, 0, bus.Receive()))
            return e;
        uint32_t returned = 0;
        return machine.DeviceIoControl(bus.Get(), code, in.data(), uint32_t(in.size()),
                                       out.empty() ? nullptr : out.data(), uint32_t(out.size()),
                                       &returned);
    }
    uint32_t Send(uint32_t code, Bytes in) {
        Bytes none;
        return Send(code, std::move(in), none);
    }

    static Bytes Request(size_t size, uint32_t sizeField, uint32_t second = 0) {
        Bytes b(size, 0);
        std::memcpy(b.data(), &sizeField, 4);
        if (size >= 8) std::memcpy(b.data() + 4, &second, 4);
        return b;
    }
    Bytes PlugIn(uint32_t serial, const std::wstring& name) {
        Bytes b = Request(8 + 2 * (name.size() + 1), 8, serial);
        WriteUtf16z(ToUtf16(name), b.data() + 8);
        return b;
    }

    SimulatedMachine machine;
    std::wstring big;
    int changes = 0;
};

TEST_F(MachineTest, InterfaceDetailFollowsTheSizeQueryProtocol) {
    DeviceInfoSetOwner set(machine);
    ASSERT_EQ(0u, machine.GetClassDevs(kDiskInterfaceClass,
                                       kDigcfPresent | kDigcfProfile | kDigcfDeviceInterface,
                                       set.Receive()));
    DeviceInterfaceData data{};
    EXPECT_EQ(kErrorInvalidUserBuffer,
              machine.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, 0, &data));
    data.cbSize = sizeof(data);
    ASSERT_EQ(0u, machine.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, 0, &data));
    EXPECT_EQ(kErrorNoMoreItems,
              machine.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, 2, &data));

    uint32_t required = 0;
    EXPECT_EQ(kErrorInsufficientBuffer,
              machine.GetDeviceInterfaceDetail(set.Get(), data, nullptr, 0, &required, nullptr));
    Bytes detail(required, 0);
    EXPECT_EQ(kErrorInvalidUserBuffer,  // cbSize not set
              machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), required, nullptr,
                                               nullptr));
    const uint32_t cb = kInterfaceDetailFixedSize;
    std::memcpy(detail.data(), &cb, 4);
    EXPECT_EQ(kErrorInsufficientBuffer,
              machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), required - 2,
                                               nullptr, nullptr));
    DeviceInfoData devInfo{};
    devInfo.cbSize = sizeof(devInfo);
    ASSERT_EQ(0u, machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), required,
                                                   nullptr, &devInfo));
    // Drive 3 enumerates first: interfaces do not come in the order of drive numbers.
    EXPECT_EQ(SimulatedMachine::DiskInterfacePath(3),
              FromUtf16Bytes(detail.data() + 4, detail.size() - 4));

    uint32_t type = 0;
    EXPECT_EQ(kErrorInsufficientBuffer,
              machine.GetDeviceRegistryProperty(set.Get(), devInfo, kSpdrpPhysicalDeviceObjectName,
                                                &type, nullptr, 0, &required));
    EXPECT_EQ(2 * (big.size() + 1), required);  // the name and its terminator, in bytes
    Bytes name(required, 0);
    ASSERT_EQ(0u,
              machine.GetDeviceRegistryProperty(set.Get(), devInfo, kSpdrpPhysicalDeviceObjectName,
                                                &type, name.data(), required, &required));
    EXPECT_EQ(1u, type);
    EXPECT_EQ(big, FromUtf16Bytes(name.data(), name.size()));
}

TEST_F(MachineTest, DrivesGetUniqueSystemStyleNamesAndOpenByNumber) {
    EXPECT_EQ(L"\\Device\\00000032", machine.FindDrive(0)->deviceObjectName);
    EXPECT_EQ(L"\\Device\\00000033", big);
    HandleOwner h(machine);
    EXPECT_EQ(0u, machine.CreateFileW(L"\\\\.\\PhysicalDrive3", 0, kFileShareRead | kFileShareWrite,
                                      kOpenExisting, 0, h.Receive()));
    EXPECT_EQ(kErrorFileNotFound,
              machine.CreateFileW(L"\\\\.\\PhysicalDrive1", 0, 3, kOpenExisting, 0, h.Receive()));
    EXPECT_EQ(kErrorFileNotFound,
              machine.CreateFileW(L"\\\\.\\PhysicalDrive03", 0, 3, kOpenExisting, 0, h.Receive()));
}

TEST_F(MachineTest, BusRequestsNeedReadAccessAndTheDeviceIsExclusive) {
    Bytes out(520);
    EXPECT_EQ(kErrorAccessDenied, Send(0x2A4014, Request(520, 520), out, 0));

    HandleOwner first(machine), second(machine);
    const std::wstring path = SimulatedMachine::BusInterfacePath();
    ASSERT_EQ(
        0u, machine.CreateFileW(path.c_str(), kGenericRead, 0, kOpenExisting, 0, first.Receive()));
    EXPECT_EQ(32u, machine.CreateFileW(path.c_str(), kGenericRead, 0, kOpenExisting, 0,
                                       second.Receive()));
    first.Reset();
    machine.SetBusPresent(false);
    EXPECT_EQ(kErrorFileNotFound, machine.CreateFileW(path.c_str(), kGenericRead, 0, kOpenExisting,
                                                      0, second.Receive()));
}

TEST_F(MachineTest, MalformedBusRequestsAreRefusedWith87) {
    Bytes plug = PlugIn(1, big);
    plug[0] = 9;  // Size must be 8
    EXPECT_EQ(87u, Send(0x2A4004, plug));
    plug = PlugIn(1, big);
    plug.resize(plug.size() - 2);  // terminator missing
    EXPECT_EQ(87u, Send(0x2A4004, plug));
    plug = PlugIn(1, big);
    plug.insert(plug.end(), {0, 0});  // more than the text and its terminator
    EXPECT_EQ(87u, Send(0x2A4004, plug));
    EXPECT_EQ(87u, Send(0x2A4004, PlugIn(0, big)));  // serial 0 means none

    EXPECT_EQ(87u, Send(0x2A4008, Request(19, 20)));
    EXPECT_EQ(87u, Send(0x2A4008, Request(20, 16)));

    Bytes out(2080);
    EXPECT_EQ(87u, Send(0x2A4010, Request(2079, 16), out));
    EXPECT_EQ(87u, Send(0x2A4010, Request(2080, 2080), out));
    Bytes shortOut(2079);
    EXPECT_EQ(87u, Send(0x2A4010, Request(2080, 16), shortOut));

    Bytes lookupOut(520);
    EXPECT_EQ(87u, Send(0x2A4014, Request(520, 516), lookupOut));
    Bytes unterminated = Request(520, 520);
    std::fill(unterminated.begin() + 4, unterminated.begin() + 516, 'a');
    EXPECT_EQ(87u, Send(0x2A4014, unterminated, lookupOut));

    Bytes sizeOut(544);
    EXPECT_EQ(87u, Send(0x2A4018, Request(544, 520), sizeOut));
    EXPECT_EQ(87u, Send(0x2A4018, Request(540, 544), sizeOut));

    EXPECT_EQ(1u, Send(0x2A400C, Request(16, 16)));  // known to the set, answered by nobody
    EXPECT_EQ(0, changes);
}

TEST_F(MachineTest, PlugInRulesOfTheBusDriver) {
    EXPECT_EQ(0u, Send(0x2A4004, PlugIn(1, big)));
    EXPECT_EQ(1, changes);
    // Another serial for a drive that already has its virtual drive.
    EXPECT_EQ(183u, Send(0x2A4004, PlugIn(2, big)));
    // A drive that ends within the address limit has nothing beyond it.
    EXPECT_EQ(50u, Send(0x2A4004, PlugIn(2, machine.FindDrive(0)->deviceObjectName)));
    EXPECT_EQ(kErrorFileNotFound, Send(0x2A4004, PlugIn(2, L"\\Device\\nothing")));

    // After a restart the virtual drive exists but is not plugged in; plugging it in again
    // with its own serial mounts it.
    Bytes out(2080);
    machine.Bus().AddVirtualDrive({1, ToUtf16(big), false});
    ASSERT_EQ(0u, Send(0x2A4010, Request(2080, 16, 1), out));
    EXPECT_EQ(1, out[2072]);
    EXPECT_EQ(0, out[2073]);
    EXPECT_EQ(0u, Send(0x2A4004, PlugIn(1, big)));
    ASSERT_EQ(0u, Send(0x2A4010, Request(2080, 16, 1), out));
    EXPECT_EQ(1, out[2073]);
    EXPECT_EQ(2, changes);
}

// The friendly name of the physical side is the product text without its padding blanks.
TEST_F(MachineTest, TheQueryNamesThePhysicalSideByItsTrimmedProductText) {
    Drive d;
    d.number = 5;
    d.size = 3000592982016;
    d.product = "  WD30 EZRX   ";
    const std::wstring padded = machine.AddDrive(d).deviceObjectName;
    d.number = 6;
    d.product = "    ";
    const std::wstring blank = machine.AddDrive(d).deviceObjectName;
    machine.Bus().AddVirtualDrive({7, ToUtf16(padded), true});
    machine.Bus().AddVirtualDrive({8, ToUtf16(blank), true});
    Bytes out(2080);
    ASSERT_EQ(0u, Send(0x2A4010, Request(2080, 16, 7), out));
    EXPECT_EQ(L"WD30 EZRX", FromUtf16Bytes(out.data() + 8, 512));
    // Whatever the reply does not fill is zero: after each name, and the padding.
    EXPECT_EQ(Bytes(512 - 20, 0), Bytes(out.begin() + 8 + 20, out.begin() + 8 + 512));
    EXPECT_EQ(Bytes(6, 0), Bytes(out.begin() + 2074, out.end()));
    EXPECT_EQ(L"Virtual Disk 7", FromUtf16Bytes(out.data() + 1040, 512));
    ASSERT_EQ(0u, Send(0x2A4010, Request(2080, 16, 8), out));
    EXPECT_EQ(L"", FromUtf16Bytes(out.data() + 8, 512));
}

// The bus driver's children come and go with plug-in and unplug, as drives of their own.
TEST_F(MachineTest, PluggedInVirtualDrivesAreDrivesOfTheMachine) {
    std::vector<size_t> drivesSeenByObserver;
    machine.SetDeviceChangeObserver(
        [&] { drivesSeenByObserver.push_back(machine.Drives().size()); });
    ASSERT_EQ(0u, Send(0x2A4004, PlugIn(4, big)));
    const Drive* disk = machine.FindVirtualDriveDisk(4);
    ASSERT_NE(nullptr, disk);
    EXPECT_EQ(4, disk->number);  // after the drives already there
    EXPECT_EQ(3000592982016u - kAddressLimitBytes, disk->size);
    EXPECT_EQ(disk->size / 512 - 1, disk->lastBlockAddress);
    EXPECT_EQ(2u, disk->partitionStyle);  // not yet initialised
    EXPECT_EQ(kVirtualDriveVendor, disk->vendor);
    EXPECT_NE(big, disk->deviceObjectName);
    EXPECT_NE(machine.FindDrive(0)->deviceObjectName, disk->deviceObjectName);
    // The observer hears of it once the drive is there.
    EXPECT_EQ(std::vector<size_t>{3}, drivesSeenByObserver);

    // A new disk interface, opened like any other.
    HandleOwner file(machine);
    EXPECT_EQ(0u, machine.CreateFileW(SimulatedMachine::DiskInterfacePath(4).c_str(), 0, 3,
                                      kOpenExisting, 0, file.Receive()));
    file.Reset();

    // A refused plug-in adds nothing; an unplug takes the drive away again.
    EXPECT_EQ(183u, Send(0x2A4004, PlugIn(5, big)));
    EXPECT_EQ(3u, machine.Drives().size());
    Bytes unplug = Request(20, 20, 4);
    unplug[8] = unplug[9] = 1;  // both option bytes
    EXPECT_EQ(0u, Send(0x2A4008, unplug));
    EXPECT_EQ(nullptr, machine.FindVirtualDriveDisk(4));
    EXPECT_EQ(nullptr, machine.FindDrive(4));
    EXPECT_EQ((std::vector<size_t>{3, 2}), drivesSeenByObserver);

    // A virtual drive known but not plugged in has no drive until it is plugged in again.
    machine.AddVirtualDrive(6, 3, false);
    EXPECT_EQ(nullptr, machine.FindVirtualDriveDisk(6));
    ASSERT_EQ(0u, Send(0x2A4004, PlugIn(6, big)));
    ASSERT_NE(nullptr, machine.FindVirtualDriveDisk(6));
    EXPECT_EQ(4, machine.FindVirtualDriveDisk(6)->number);
    EXPECT_EQ(SimulatedMachine::Resources{}, machine.Outstanding());
}

TEST_F(MachineTest, WaitsAreRecordedAndRealOnlyWhenAskedFor) {
    machine.Sleep(200);
    EXPECT_EQ(200u, machine.SleptMilliseconds());
    machine.SetRealWaits(true);
    const auto start = std::chrono::steady_clock::now();
    machine.Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_EQ(2u, machine.SleepCalls());
}

TEST_F(MachineTest, DiskSizeAnswersTheTrueFiguresByName) {
    Bytes in = Request(544, 544, 11);
    WriteUtf16z(ToUtf16(big), in.data() + 8);
    Bytes out(544);
    ASSERT_EQ(0u, Send(0x2A4018, in, out));
    uint64_t size = 0, last = 0;
    uint32_t block = 0;
    std::memcpy(&size, out.data() + 520, 8);
    std::memcpy(&last, out.data() + 528, 8);
    std::memcpy(&block, out.data() + 536, 4);
    EXPECT_EQ(3000592982016u, size);
    EXPECT_EQ(3000592982016u / 512 - 1, last);
    EXPECT_EQ(512u, block);

    // An unknown name: the answer is 2 and nothing is copied back.
    WriteUtf16z(u"\\Device\\nothing", in.data() + 8);
    Bytes untouched(544, 0xAB);
    EXPECT_EQ(kErrorFileNotFound, Send(0x2A4018, in, untouched));
    EXPECT_EQ(Bytes(544, 0xAB), untouched);
}

TEST_F(MachineTest, FaultsHitTheChosenCallAndReleasesAreCounted) {
    machine.InjectFault({Call::CreateFile, 5, 2});
    HandleOwner a(machine), b(machine), c(machine);
    EXPECT_EQ(0u,
              machine.CreateFileW(L"\\\\.\\PhysicalDrive0", 0, 3, kOpenExisting, 0, a.Receive()));
    EXPECT_EQ(5u,
              machine.CreateFileW(L"\\\\.\\PhysicalDrive0", 0, 3, kOpenExisting, 0, b.Receive()));
    EXPECT_EQ(0u,
              machine.CreateFileW(L"\\\\.\\PhysicalDrive0", 0, 3, kOpenExisting, 0, c.Receive()));
    EXPECT_EQ(2u, machine.Outstanding().handles);

    machine.InjectFault({Call::HeapAlloc, 8, 0, {}, {}, {}});
    void* block = nullptr;
    EXPECT_EQ(8u, machine.HeapAlloc(16, true, &block));

    OsHandle raw = a.Get();
    a.Reset();
    EXPECT_EQ(kErrorInvalidHandle, machine.CloseHandle(raw));
    EXPECT_EQ(1u, machine.Outstanding().releaseErrors);
}

// A test changes the machine between two calls of one operation: the hook runs once each
// call has returned, with the count so far, and the change is what the next call meets.
// Faults that fired and plug-ins of what is already plugged in are counted.
TEST_F(MachineTest, TheCallHookRunsBetweenCallsAndTheBusCountsSecondPlugIns) {
    std::vector<size_t> seen;
    machine.SetCallHook([&](size_t calls) {
        seen.push_back(calls);
        if (seen.size() == 1) machine.RemoveDrive(3);
    });
    const size_t before = machine.DeviceCalls();
    HandleOwner first(machine), second(machine);
    EXPECT_EQ(
        0u, machine.CreateFileW(L"\\\\.\\PhysicalDrive3", 0, 3, kOpenExisting, 0, first.Receive()));
    EXPECT_EQ(kErrorFileNotFound, machine.CreateFileW(L"\\\\.\\PhysicalDrive3", 0, 3, kOpenExisting,
                                                      0, second.Receive()));
    EXPECT_EQ((std::vector<size_t>{before + 1, before + 2}), seen);
    machine.SetCallHook(nullptr);
    first.Reset();

    machine.InjectFault({Call::HeapAlloc, 8, 2});
    void* block = nullptr;
    const size_t fired = machine.FaultsFired();
    EXPECT_EQ(0u, machine.HeapAlloc(4, true, &block));
    EXPECT_EQ(8u, machine.HeapAlloc(4, true, &block));
    EXPECT_EQ(fired + 1, machine.FaultsFired());
    machine.ClearFaults();
}

TEST_F(MachineTest, ASecondPlugInOfAPluggedInVirtualDriveIsCountedAndRemovalIsBehindTheBack) {
    EXPECT_EQ(0u, Send(0x2A4004, PlugIn(1, big)));
    EXPECT_EQ(0u, machine.Bus().PlugInsWhilePluggedIn());
    EXPECT_EQ(0u, Send(0x2A4004, PlugIn(1, big)));
    EXPECT_EQ(1u, machine.Bus().PlugInsWhilePluggedIn());
    ASSERT_NE(nullptr, machine.FindVirtualDriveDisk(1));
    // Taken off the bus without a request: no broadcast, and its drive goes with it.
    EXPECT_TRUE(machine.RemoveVirtualDrive(1));
    EXPECT_FALSE(machine.RemoveVirtualDrive(1));
    EXPECT_EQ(nullptr, machine.FindVirtualDriveDisk(1));
    EXPECT_EQ(2, changes);
}

}  // namespace
}  // namespace sim

namespace sim {
namespace {

// Raw disk controls on \\.\PhysicalDriveN, checked against the system's layouts.
TEST_F(MachineTest, DiskControlsAnswerWithTheSystemsLayouts) {
    HandleOwner disk(machine);
    ASSERT_EQ(kErrorFileNotFound, machine.CreateFileW(L"\\\\.\\PhysicalDrive7", 0, 3, kOpenExisting,
                                                      0, disk.Receive()));
    ASSERT_EQ(
        0u, machine.CreateFileW(L"\\\\.\\PhysicalDrive3", 0, 3, kOpenExisting, 0, disk.Receive()));
    uint32_t returned = 0;

    Bytes number(12, 0xEE);
    EXPECT_EQ(kErrorInsufficientBuffer, machine.DeviceIoControl(disk.Get(), 0x2D1080, nullptr, 0,
                                                                number.data(), 11, &returned));
    ASSERT_EQ(0u, machine.DeviceIoControl(disk.Get(), 0x2D1080, nullptr, 0, number.data(), 12,
                                          &returned));
    EXPECT_EQ(12u, returned);
    EXPECT_EQ(Bytes({7, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}), number);

    // The header alone reports the full Size; the full query carries the texts.
    Bytes query(12, 0), header(8, 0);
    ASSERT_EQ(0u, machine.DeviceIoControl(disk.Get(), 0x2D1400, query.data(), 12, header.data(), 8,
                                          &returned));
    uint32_t size = 0;
    std::memcpy(&size, header.data() + 4, 4);
    EXPECT_EQ(8u, returned);
    Bytes full(size, 0);
    ASSERT_EQ(0u, machine.DeviceIoControl(disk.Get(), 0x2D1400, query.data(), 12, full.data(), size,
                                          &returned));
    EXPECT_EQ(size, returned);
    uint32_t vendorOffset = 1, productOffset = 0, busType = 0;
    std::memcpy(&vendorOffset, full.data() + 12, 4);
    std::memcpy(&productOffset, full.data() + 16, 4);
    std::memcpy(&busType, full.data() + 28, 4);
    EXPECT_EQ(0u, vendorOffset);
    EXPECT_STREQ("Big Drive", reinterpret_cast<const char*>(full.data() + productOffset));
    uint32_t revisionOffset = 0, serialOffset = 0;
    std::memcpy(&revisionOffset, full.data() + 20, 4);
    std::memcpy(&serialOffset, full.data() + 24, 4);
    ASSERT_LT(revisionOffset, size);
    ASSERT_LT(serialOffset, size);
    EXPECT_STREQ("1.0", reinterpret_cast<const char*>(full.data() + revisionOffset));
    EXPECT_STREQ("SIM3", reinterpret_cast<const char*>(full.data() + serialOffset));
    EXPECT_EQ(size, serialOffset + 5);  // the serial number's terminator ends the descriptor
    EXPECT_EQ(11u, busType);
    query[0] = 1;  // another property
    EXPECT_EQ(50u, machine.DeviceIoControl(disk.Get(), 0x2D1400, query.data(), 12, full.data(),
                                           size, &returned));

    Bytes partition(144, 0xEE);
    EXPECT_EQ(kErrorInsufficientBuffer, machine.DeviceIoControl(disk.Get(), 0x70048, nullptr, 0,
                                                                partition.data(), 143, &returned));
    ASSERT_EQ(0u, machine.DeviceIoControl(disk.Get(), 0x70048, nullptr, 0, partition.data(), 144,
                                          &returned));
    EXPECT_EQ(0u, partition[0]);
    uint64_t length = 0;
    std::memcpy(&length, partition.data() + 16, 8);
    EXPECT_EQ(3000592982016u, length);
    disk.Reset();
    EXPECT_EQ(SimulatedMachine::Resources{}, machine.Outstanding());
}

// What the system checks of each call, the machine checks too, so that a client that sets
// a flag, a size or a mode wrongly fails in a test as it would on a user's machine.
TEST_F(MachineTest, EachClassIsEnumeratedWithItsOwnFlagsOnly) {
    DeviceInfoSetOwner set(machine);
    const uint32_t disk = kDigcfPresent | kDigcfProfile | kDigcfDeviceInterface;
    const uint32_t bus = kDigcfPresent | kDigcfDeviceInterface;
    EXPECT_EQ(0u, machine.GetClassDevs(kDiskInterfaceClass, disk, set.Receive()));
    EXPECT_EQ(0u, machine.GetClassDevs(kBusInterfaceClass, bus, set.Receive()));
    for (uint32_t bit = 1; bit < 0x100; bit <<= 1) {
        EXPECT_EQ(87u, machine.GetClassDevs(kDiskInterfaceClass, disk ^ bit, set.Receive())) << bit;
        EXPECT_EQ(87u, machine.GetClassDevs(kBusInterfaceClass, bus ^ bit, set.Receive())) << bit;
    }
    set.Reset();
    EXPECT_EQ(SimulatedMachine::Resources{}, machine.Outstanding());
    EXPECT_EQ(18u, machine.ClassDevsFlags().size());
}

TEST_F(MachineTest, SetupRecordsMustCarryThePlatformsSize) {
    // 28 bytes in a 32-bit program, 32 in a 64-bit one.
    EXPECT_EQ(sizeof(void*) == 8 ? 32u : 28u, kDeviceInterfaceDataSize);
    EXPECT_EQ(sizeof(void*) == 8 ? 32u : 28u, kDeviceInfoDataSize);
    DeviceInfoSetOwner set(machine);
    ASSERT_EQ(0u, machine.GetClassDevs(kDiskInterfaceClass, 0x1A, set.Receive()));
    DeviceInterfaceData data{};
    for (uint32_t wrong : {0u, 6u, 8u, 28u, 32u, 36u}) {
        if (wrong == kDeviceInterfaceDataSize) continue;
        data.cbSize = wrong;
        EXPECT_EQ(kErrorInvalidUserBuffer,
                  machine.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, 0, &data));
    }
    data.cbSize = kDeviceInterfaceDataSize;
    ASSERT_EQ(0u, machine.EnumDeviceInterfaces(set.Get(), kDiskInterfaceClass, 0, &data));
    Bytes detail(1024, 0);
    const uint32_t cb = kInterfaceDetailFixedSize;
    std::memcpy(detail.data(), &cb, 4);
    DeviceInfoData devInfo{};
    devInfo.cbSize = kDeviceInfoDataSize + 4;
    EXPECT_EQ(
        kErrorInvalidUserBuffer,
        machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), 1024, nullptr, &devInfo));
    devInfo.cbSize = kDeviceInfoDataSize;
    data.cbSize = kDeviceInterfaceDataSize - 4;
    EXPECT_EQ(87u, machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), 1024, nullptr,
                                                    &devInfo));
    data.cbSize = kDeviceInterfaceDataSize;
    ASSERT_EQ(0u, machine.GetDeviceInterfaceDetail(set.Get(), data, detail.data(), 1024, nullptr,
                                                   &devInfo));
    Bytes name(256, 0);
    devInfo.cbSize = kDeviceInfoDataSize - 4;
    EXPECT_EQ(kErrorInvalidUserBuffer,
              machine.GetDeviceRegistryProperty(set.Get(), devInfo, kSpdrpPhysicalDeviceObjectName,
                                                nullptr, name.data(), 256, nullptr));
}

TEST_F(MachineTest, OpensAreCheckedForAccessSharingAndFlags) {
    HandleOwner h(machine);
    const wchar_t* drive = L"\\\\.\\PhysicalDrive3";
    const std::wstring bus = SimulatedMachine::BusInterfacePath();
    const std::wstring iface = SimulatedMachine::DiskInterfacePath(3);
    for (const wchar_t* path : {drive, iface.c_str()}) {
        EXPECT_EQ(5u, machine.CreateFileW(path, kGenericRead, 3, kOpenExisting, 0, h.Receive()));
        EXPECT_EQ(5u, machine.CreateFileW(path, kGenericWrite, 3, kOpenExisting, 0, h.Receive()));
        EXPECT_EQ(32u, machine.CreateFileW(path, 0, 0, kOpenExisting, 0, h.Receive()));
        EXPECT_EQ(32u, machine.CreateFileW(path, 0, kFileShareRead, kOpenExisting, 0, h.Receive()));
        EXPECT_EQ(32u,
                  machine.CreateFileW(path, 0, kFileShareWrite, kOpenExisting, 0, h.Receive()));
        EXPECT_EQ(87u, machine.CreateFileW(path, 0, 3, 1, 0, h.Receive()));  // CREATE_NEW
        EXPECT_EQ(87u, machine.CreateFileW(path, 0, 3, kOpenExisting, 0x40000000, h.Receive()));
        EXPECT_EQ(0u, machine.CreateFileW(path, 0, 3, kOpenExisting, 0, h.Receive()));
        h.Reset();
    }
    EXPECT_EQ(5u, machine.CreateFileW(bus.c_str(), kGenericRead | kGenericWrite, 0, kOpenExisting,
                                      0, h.Receive()));
    EXPECT_EQ(5u,
              machine.CreateFileW(bus.c_str(), kGenericWrite, 0, kOpenExisting, 0, h.Receive()));
    EXPECT_EQ(32u,
              machine.CreateFileW(bus.c_str(), kGenericRead, 1, kOpenExisting, 0, h.Receive()));
    EXPECT_EQ(32u,
              machine.CreateFileW(bus.c_str(), kGenericRead, 3, kOpenExisting, 0, h.Receive()));
    EXPECT_EQ(87u,
              machine.CreateFileW(bus.c_str(), kGenericRead, 0, kOpenExisting, 0x80, h.Receive()));
    EXPECT_EQ(0u, machine.CreateFileW(bus.c_str(), kGenericRead, 0, kOpenExisting, 0, h.Receive()));
    h.Reset();
    ASSERT_EQ(22u, machine.Opens().size());
    const OpenRecord& last = machine.Opens().back();
    EXPECT_EQ(bus, last.path);
    EXPECT_EQ(kGenericRead, last.access);
    EXPECT_EQ(0u, last.shareMode);
    EXPECT_EQ(kOpenExisting, last.creation);
    EXPECT_EQ(0u, last.flags);
    EXPECT_EQ(0u, last.error);
    EXPECT_EQ(32u, machine.Opens()[2].error);
}

TEST_F(MachineTest, DiskControlsRefuseInputTheyDoNotTakeAndShortRequests) {
    HandleOwner disk(machine);
    ASSERT_EQ(
        0u, machine.CreateFileW(L"\\\\.\\PhysicalDrive3", 0, 3, kOpenExisting, 0, disk.Receive()));
    uint32_t returned = 0;
    Bytes in(12, 0), out(1024, 0);
    EXPECT_EQ(87u, machine.DeviceIoControl(disk.Get(), 0x2D1080, in.data(), 12, out.data(), 12,
                                           &returned));
    EXPECT_EQ(87u, machine.DeviceIoControl(disk.Get(), 0x70048, in.data(), 12, out.data(), 144,
                                           &returned));
    EXPECT_EQ(87u, machine.DeviceIoControl(disk.Get(), 0x2D1400, in.data(), 11, out.data(), 8,
                                           &returned));
    EXPECT_EQ(kErrorInvalidUserBuffer,
              machine.DeviceIoControl(disk.Get(), 0x2D1400, in.data(), 12, out.data(), 8, nullptr));
    EXPECT_EQ(kErrorInvalidUserBuffer,  // a length without its buffer, either way
              machine.DeviceIoControl(disk.Get(), 0x2D1400, nullptr, 12, out.data(), 8, &returned));
    EXPECT_EQ(kErrorInvalidUserBuffer,
              machine.DeviceIoControl(disk.Get(), 0x2D1400, in.data(), 12, nullptr, 8, &returned));
    EXPECT_EQ(
        0u, machine.DeviceIoControl(disk.Get(), 0x2D1400, in.data(), 12, out.data(), 8, &returned));
}

TEST_F(MachineTest, BusRequestsRefuseNonZeroReservedBytesAndUnaskedOutput) {
    Bytes out(16);
    EXPECT_EQ(87u, Send(0x2A4004, PlugIn(1, big), out));  // plug-in answers nothing

    auto unplug = [](uint8_t first, uint8_t second, size_t dirty) {
        Bytes b = Request(20, 20, 1);
        b[8] = first;
        b[9] = second;
        if (dirty) b[dirty] = 1;
        return b;
    };
    machine.Bus().AddVirtualDrive({1, ToUtf16(big), true});
    EXPECT_EQ(87u, Send(0x2A4008, unplug(0, 1, 0)));
    EXPECT_EQ(87u, Send(0x2A4008, unplug(1, 0, 0)));
    EXPECT_EQ(87u, Send(0x2A4008, unplug(1, 2, 0)));
    EXPECT_EQ(87u, Send(0x2A4008, unplug(1, 1, 10)));
    EXPECT_EQ(87u, Send(0x2A4008, unplug(1, 1, 19)));
    EXPECT_EQ(87u, Send(0x2A4008, unplug(1, 1, 0), out));
    EXPECT_EQ(0u, Send(0x2A4008, unplug(1, 1, 0)));

    machine.Bus().AddVirtualDrive({1, ToUtf16(big), true});
    Bytes reply(2080);
    for (size_t dirty : {8u, 15u, 16u, 2079u}) {
        Bytes q = Request(2080, 16, 1);
        q[dirty] = 1;
        EXPECT_EQ(87u, Send(0x2A4010, q, reply)) << dirty;
    }
    EXPECT_EQ(0u, Send(0x2A4010, Request(2080, 16, 1), reply));

    Bytes lookup = Request(520, 520);
    WriteUtf16z(ToUtf16(big), lookup.data() + 4);
    const size_t afterName = 4 + 2 * (big.size() + 1);
    Bytes lookupOut(520);
    for (size_t dirty : {afterName, size_t{515}, size_t{516}, size_t{519}}) {
        Bytes l = lookup;
        l[dirty] = 1;
        EXPECT_EQ(87u, Send(0x2A4014, l, lookupOut)) << dirty;
    }
    EXPECT_EQ(0u, Send(0x2A4014, lookup, lookupOut));

    Bytes size = Request(544, 544, 11);
    WriteUtf16z(ToUtf16(big), size.data() + 8);
    Bytes sizeOut(544);
    for (size_t dirty : {8 + 2 * (big.size() + 1), size_t{520}, size_t{536}, size_t{543}}) {
        Bytes d = size;
        d[dirty] = 1;
        EXPECT_EQ(87u, Send(0x2A4018, d, sizeOut)) << dirty;
    }
    EXPECT_EQ(0u, Send(0x2A4018, size, sizeOut));
}

// A warning status fails the call, yet the buffered reply comes back with it, as the system
// copies it back; an error status brings nothing back.
TEST_F(MachineTest, ALookupAnsweredWithTheWarningCarriesTheSerialNumber) {
    machine.AddVirtualDrive(9, 3, true, true);
    HandleOwner bus(machine);
    ASSERT_EQ(0u, machine.CreateFileW(SimulatedMachine::BusInterfacePath().c_str(), kGenericRead, 0,
                                      kOpenExisting, 0, bus.Receive()));
    Bytes lookup = Request(520, 520);
    WriteUtf16z(ToUtf16(big), lookup.data() + 4);
    uint32_t returned = 0;
    EXPECT_EQ(kErrorNoMoreItems, machine.DeviceIoControl(bus.Get(), 0x2A4014, lookup.data(), 520,
                                                         lookup.data(), 520, &returned));
    EXPECT_EQ(520u, returned);
    uint32_t serial = 0;
    std::memcpy(&serial, lookup.data() + 516, 4);
    EXPECT_EQ(9u, serial);

    Bytes other = Request(520, 520);
    WriteUtf16z(u"\\Device\\nothing", other.data() + 4);
    Bytes untouched(520, 0xAB);
    EXPECT_EQ(kErrorFileNotFound, machine.DeviceIoControl(bus.Get(), 0x2A4014, other.data(), 520,
                                                          untouched.data(), 520, &returned));
    EXPECT_EQ(0u, returned);
    EXPECT_EQ(Bytes(520, 0xAB), untouched);
}

TEST_F(MachineTest, SleepsAreRecordedWithTheirPlaceAmongTheRequests) {
    machine.Sleep(200);
    Bytes out(520);
    Send(0x2A4014, Request(520, 520), out);
    machine.Sleep(5);
    ASSERT_EQ(2u, machine.Sleeps().size());
    EXPECT_EQ(200u, machine.Sleeps()[0].milliseconds);
    EXPECT_EQ(0u, machine.Sleeps()[0].afterIoctls);
    EXPECT_EQ(1u, machine.Sleeps()[1].afterIoctls);
    EXPECT_EQ(205u, machine.SleptMilliseconds());
    machine.ClearRecords();
    EXPECT_EQ(0u, machine.SleepCalls());
    EXPECT_TRUE(machine.Opens().empty());
}

}  // namespace
}  // namespace sim
