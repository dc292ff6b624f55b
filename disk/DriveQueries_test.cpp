#include "disk/DriveQueries.h"

#include <cstring>

#include "disk/Capacity.h"
#include "disk/DeviceObjectName.h"
#include "disk/DiskSize.h"
#include "disk/testing/DiskTestMachine.h"
#include "platform/testing/ForwardingDeviceIo.h"

namespace disk {
namespace {

using sim::Call;

TEST_F(DiskTest, ModelTextJoinsVendorAndProduct) {
    Load(
        "drive 0 size=1 vendor=\"WXY     \" product=\"XY3000-Z1  \"\n"
        "drive 1 size=1 product=\" Lone \"\n"
        "drive 2 size=1 vendor=\"0000\" product=\"\\x01bad\"\n");
    std::wstring model = L"old";
    ASSERT_EQ(0u, ReadDriveModel(machine, 0, &model));
    EXPECT_EQ(L"WXY XY3000-Z1", model);
    ASSERT_EQ(0u, ReadDriveModel(machine, 1, &model));
    EXPECT_EQ(L"Lone", model);
    ASSERT_EQ(0u, ReadDriveModel(machine, 2, &model));
    EXPECT_EQ(L"", model);
    EXPECT_EQ(2u, ReadDriveModel(machine, 3, &model));
    EXPECT_EQ(160u, ReadDriveModel(machine, 0, nullptr));
    ExpectNothingHeld();
}

// Firmware that answers with a broken descriptor must not make us read past the reply.
TEST_F(DiskTest, BrokenDescriptorsYieldAbsentTextsAndUnknownBusType) {
    Load("drive 0 size=1\n");
    std::vector<uint8_t> raw(48, 0);
    const uint32_t size = 48, vendorAt = 44, productAt = 9000, bus = 11;
    std::memcpy(raw.data() + 4, &size, 4);
    std::memcpy(raw.data() + 12, &vendorAt, 4);   // "ABCD" with no terminator
    std::memcpy(raw.data() + 16, &productAt, 4);  // far outside
    std::memcpy(raw.data() + 28, &bus, 4);
    std::memcpy(raw.data() + 44, "ABCD", 4);
    sim::Drive odd = *machine.FindDrive(0);
    odd.number = 1;
    odd.deviceObjectName.clear();
    odd.rawDescriptor = raw;
    machine.AddDrive(odd);
    std::wstring model = L"x";
    ASSERT_EQ(0u, ReadDriveModel(machine, 1, &model));
    EXPECT_EQ(L"", model);
    uint32_t busType = 99;
    ASSERT_EQ(0u, RetrieveBusType(machine, 1, &busType));
    EXPECT_EQ(11u, busType);

    // A header whose Size is too small to hold the bus type.
    const uint32_t tiny = 20;
    std::memcpy(raw.data() + 4, &tiny, 4);
    odd.number = 2;
    odd.rawDescriptor = raw;
    machine.AddDrive(odd);
    ASSERT_EQ(0u, RetrieveBusType(machine, 2, &busType));
    EXPECT_EQ(0u, busType);
    ExpectNothingHeld();
}

TEST_F(DiskTest, BusTypeAndPartitionStyleComeFromTheDrive) {
    Load("drive 0 size=1 bus=8 style=gpt\ndrive 1 size=1 style=raw\n");
    uint32_t value = 99;
    ASSERT_EQ(0u, RetrieveBusType(machine, 0, &value));
    EXPECT_EQ(8u, value);
    ASSERT_EQ(0u, GetPartitionStyle(machine, 0, &value));
    EXPECT_EQ(kPartitionStyleGpt, value);
    ASSERT_EQ(0u, GetPartitionStyle(machine, 1, &value));
    EXPECT_EQ(kPartitionStyleRaw, value);
    EXPECT_EQ(160u, RetrieveBusType(machine, 0, nullptr));
    value = 99;
    EXPECT_EQ(2u, RetrieveBusType(machine, 5, &value));
    EXPECT_EQ(0u, value);  // cleared before anything is tried
}

TEST_F(DiskTest, EveryFailingStepOfTheQueriesReturnsItsCodeAndReleasesAll) {
    Load("drive 0 size=1\n");
    uint32_t value = 0;
    std::wstring model;
    const sim::Fault faults[] = {
        {Call::CreateFile, 5},
        {Call::DeviceIoControl, 31, 1},
        {Call::DeviceIoControl, 31, 2},  // the full descriptor query of the bus type
        {Call::HeapAlloc, 8},
    };
    for (const auto& f : faults) {
        machine.ClearFaults();
        machine.InjectFault(f);
        const uint32_t model_rc = ReadDriveModel(machine, 0, &model);
        machine.ClearFaults();
        machine.InjectFault(f);
        const uint32_t bus_rc = RetrieveBusType(machine, 0, &value);
        machine.ClearFaults();
        machine.InjectFault(f);
        const uint32_t style_rc = GetPartitionStyle(machine, 0, &value);
        const bool second = f.call == Call::DeviceIoControl && f.nth == 2;
        EXPECT_EQ(f.call == Call::HeapAlloc || second ? 0u : f.error, model_rc);
        EXPECT_EQ(f.error, bus_rc);
        EXPECT_EQ(f.call == Call::HeapAlloc || second ? 0u : f.error, style_rc);
        ExpectNothingHeld();
    }
    // None of these queries writes a diagnostic line.
    EXPECT_TRUE(machine.DebugLines().empty());
}

TEST_F(DiskTest, DeviceObjectNameIsFoundWhateverTheInterfaceOrder) {
    Load(
        "drive 0 size=1\ndrive 1 size=1\ndrive 2 size=1 pdo=\\Device\\Named\n"
        "drive 3 size=1\ndrive 5 size=1\ndrive 20 size=1\n");
    for (int n : {0, 1, 2, 3, 5, 20}) {
        std::wstring name;
        ASSERT_EQ(0u, RetrievePhysicalDeviceObjectName(machine, &name, n)) << n;
        EXPECT_EQ(machine.FindDrive(n)->deviceObjectName, name);
    }
    std::wstring name = L"kept";
    EXPECT_EQ(259u, RetrievePhysicalDeviceObjectName(machine, &name, 4));
    EXPECT_TRUE(Logged(L"RetrievePhysicalDeviceObjectName Error - SetupDiEnumDeviceInterfaces \n"));
    EXPECT_EQ(L"kept", name);
    EXPECT_EQ(87u, RetrievePhysicalDeviceObjectName(machine, nullptr, 0));
    ExpectNothingHeld();
}

TEST_F(DiskTest, ANameWithoutBackslashLeavesTheOutputWithSuccess) {
    Load("drive 0 size=1 pdo=Device00000032\n");
    std::wstring name;
    EXPECT_EQ(0u, RetrievePhysicalDeviceObjectName(machine, &name, 0));
    EXPECT_EQ(L"", name);
}

TEST_F(DiskTest, DeviceObjectNameStepsFailWithTheirCodeAndLine) {
    Load("drive 0 size=1\n");
    const wchar_t* detailLine =
        L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceInterfaceDetail \n";
    const struct {
        sim::Fault fault;
        uint32_t rc;
        const wchar_t* line;
    } cases[] = {
        {{Call::GetClassDevs, 8},
         8,
         L"RetrievePhysicalDeviceObjectName Error - SetupDiGetClassDevs \n"},
        {{Call::EnumDeviceInterfaces, 6},
         6,
         L"RetrievePhysicalDeviceObjectName Error - SetupDiEnumDeviceInterfaces \n"},
        {{Call::GetDeviceInterfaceDetail, 87, 1}, 87, detailLine},      // its size
        {{Call::HeapAlloc, 8, 1}, 122, detailLine},                     // its buffer
        {{Call::GetDeviceInterfaceDetail, 1784, 2}, 1784, detailLine},  // the detail
        {{Call::CreateFile, 5}, 5, L"RetrievePhysicalDeviceObjectName Error - CreateFile \n"},
        {{Call::DeviceIoControl, 1},
         1,
         L"RetrievePhysicalDeviceObjectName Error - DeviceIoControl \n"},
        {{Call::GetDeviceRegistryProperty, 13, 2},
         13,
         L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceRegistryProperty dwResult = 13 "
         L"\n"},
        {{Call::HeapAlloc, 8, 2}, 8, nullptr},  // the name's buffer
    };
    for (const auto& c : cases) {
        machine.ClearRecords();
        machine.ClearFaults();
        machine.InjectFault(c.fault);
        std::wstring name;
        EXPECT_EQ(c.rc, RetrievePhysicalDeviceObjectName(machine, &name, 0)) << c.fault.error;
        EXPECT_EQ(L"", name);
        if (c.line) {
            EXPECT_EQ(std::vector<std::wstring>{c.line}, machine.DebugLines()) << c.fault.error;
        } else {
            EXPECT_TRUE(machine.DebugLines().empty());
        }
        ExpectNothingHeld();
    }
}

// Systems that answer the interface detail otherwise than the simulated machine does: a
// path longer than 1 KB is read whole, and a size query that claims success is refused
// with 1784, the answer the bus operations give for the same step.
TEST_F(DiskTest, TheDiskWalkTakesAnyPathLengthAndRefusesASizeQueryThatSucceeds) {
    Load("drive 0 size=1\ndrive 3 size=1\ndrive 7 size=1\n");
    platform::testing::LongInterfacePaths longPaths(machine);
    std::wstring name;
    ASSERT_EQ(0u, RetrievePhysicalDeviceObjectName(longPaths, &name, 7));
    EXPECT_EQ(machine.FindDrive(7)->deviceObjectName, name);

    machine.ClearRecords();
    platform::testing::DetailSizeQuerySucceeds sizeSucceeds(machine);
    name.clear();
    EXPECT_EQ(1784u, RetrievePhysicalDeviceObjectName(sizeSucceeds, &name, 7));
    EXPECT_EQ(L"", name);
    EXPECT_TRUE(
        Logged(L"RetrievePhysicalDeviceObjectName Error - SetupDiGetDeviceInterfaceDetail \n"));
    DiskSizeInfo size;
    EXPECT_EQ(1784u,
              RetrieveDiskSizeEx1(sizeSucceeds, 11, machine.FindDrive(7)->deviceObjectName, &size));
    EXPECT_TRUE(Logged(L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #1\n"));
}

TEST_F(DiskTest, DiskSizeComesFromTheBusDriver) {
    Load("drive 0 size=3000592982016 lastblock=77 blocksize=4096\n");
    const std::wstring name = machine.FindDrive(0)->deviceObjectName;
    DiskSizeInfo size;
    ASSERT_EQ(0u, RetrieveDiskSizeEx1(machine, 11, name, &size));
    EXPECT_EQ(3000592982016u, size.DiskSize);
    EXPECT_EQ(77u, size.LastBlockAddress);
    EXPECT_EQ(4096u, size.BytesPerBlock);
    const auto requests = machine.BusRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(544u, requests[0].input.size());
    EXPECT_EQ(544u, requests[0].outSize);
    EXPECT_EQ((std::vector<uint8_t>{0x20, 2, 0, 0, 11, 0, 0, 0}),
              std::vector<uint8_t>(requests[0].input.begin(), requests[0].input.begin() + 8));

    DiskSizeInfo untouched{1, 2, 3};
    EXPECT_EQ(2u, RetrieveDiskSizeEx1(machine, 11, L"\\Device\\Unknown", &untouched));
    EXPECT_TRUE(Logged(L"RetrieveDiskSizeEx1 Error - DeviceIoControl \n"));
    EXPECT_EQ(1u, untouched.DiskSize);
    ExpectNothingHeld();
}

TEST_F(DiskTest, DiskSizeRefusesAnOverlongNameBeforeOpeningAnything) {
    Load("drive 0 size=1\n");
    machine.ClearRecords();
    DiskSizeInfo size;
    EXPECT_EQ(206u, RetrieveDiskSizeEx1(machine, 11, std::wstring(256, L'n'), &size));
    EXPECT_TRUE(machine.Ioctls().empty());
    EXPECT_EQ(2u, RetrieveDiskSizeEx1(machine, 11, std::wstring(255, L'n'), &size));
}

TEST_F(DiskTest, DiskSizeOpeningStepsFailWithTheirCodeAndLine) {
    Load("drive 0 size=1\n");
    const std::wstring name = machine.FindDrive(0)->deviceObjectName;
    const struct {
        sim::Fault fault;
        uint32_t rc;
        const wchar_t* line;
    } cases[] = {
        {{Call::GetClassDevs, 8}, 8, L"RetrieveDiskSizeEx1 Error - SetupDiGetClassDevs\n"},
        {{Call::EnumDeviceInterfaces, 259},
         259,
         L"RetrieveDiskSizeEx1 Error - SetupDiEnumDeviceInterfaces\n"},
        {{Call::GetDeviceInterfaceDetail, 87, 1},
         87,
         L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #1\n"},
        {{Call::HeapAlloc, 8}, 122, nullptr},
        {{Call::GetDeviceInterfaceDetail, 1784, 2},
         1784,
         L"RetrieveDiskSizeEx1 Error - SetupDiGetDeviceInterfaceDetail #2\n"},
        {{Call::CreateFile, 5}, 5, L"RetrieveDiskSizeEx1 Error - CreateFile \n"},
    };
    for (const auto& c : cases) {
        machine.ClearRecords();
        machine.ClearFaults();
        machine.InjectFault(c.fault);
        DiskSizeInfo size;
        EXPECT_EQ(c.rc, RetrieveDiskSizeEx1(machine, 11, name, &size));
        if (c.line) {
            EXPECT_TRUE(Logged(c.line)) << c.rc;
        }
        EXPECT_TRUE(machine.BusRequests().empty());
        ExpectNothingHeld();
    }
}

TEST(CapacityTest, TheAddressLimitAndTheCapacityText) {
    EXPECT_FALSE(ExceedsAddressLimit(2199023255552));
    EXPECT_TRUE(ExceedsAddressLimit(2199023255553));
    EXPECT_TRUE(ExceedsAddressLimit(0x20100000000));
    EXPECT_FALSE(ExceedsAddressLimit(0x1FFFFFFFFFF));
    EXPECT_EQ(L"2794.52", FormatCapacityText(3000592982016));
    EXPECT_EQ(L"2048.00", FormatCapacityText(2199023255552));
    EXPECT_EQ(L"0.00", FormatCapacityText(0));
    // 2794.5250001 GiB is 2794.5249 in single precision: the 32-bit build must round there
    // too, not format the x87 unit's wider value.
    EXPECT_EQ(L"2794.52", FormatCapacityText(3000598370810));
}

}  // namespace
}  // namespace disk
