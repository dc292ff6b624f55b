// The bus operations against the simulated machine: the bytes that reach the bus driver,
// the result of every failing step, and that nothing is left open afterwards.
#include "busctl/BusOperations.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/SimulatedMachine.h"

namespace busctl {
namespace {

using platform::kErrorFileNotFound;
using platform::kErrorInvalidParameter;
using platform::kErrorNoMoreItems;
using Bytes = std::vector<uint8_t>;
using sim::Call;

constexpr uint64_t kThreeTB = 3000592982016;
const std::wstring kName = L"\\Device\\00000032";  // 16 characters

Bytes Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

Bytes Utf16z(const std::wstring& s) {
    Bytes b;
    for (wchar_t c : s) {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::u16string Text(const char16_t* field) {
    return std::u16string(field);
}

class BusOperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Drive drive;
        drive.number = 1;
        drive.deviceObjectName = kName;
        drive.product = "WD30EZRX-00D8PB0";
        drive.size = kThreeTB;
        drive.lastBlockAddress = kThreeTB / 512 - 1;
        machine.AddDrive(drive);
        machine.SetDeviceChangeObserver([this] { ++changes; });
    }
    void TearDown() override {
        // Every operation, on every path, leaves nothing open.
        EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine.Outstanding());
    }
    std::vector<sim::IoctlRecord> Sent() { return machine.BusRequests(); }

    sim::SimulatedMachine machine;
    int changes = 0;
};

TEST_F(BusOperationsTest, PlugInSendsHeaderOfEightThenTheZeroTerminatedName) {
    EXPECT_EQ(0u, PlugInVirtualDisk(machine, 3, kName));
    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0x2A4004u, sent[0].code);
    EXPECT_EQ(42u, sent[0].input.size());
    EXPECT_EQ(Cat({Le32(8), Le32(3), Utf16z(kName)}), sent[0].input);
    EXPECT_EQ(0u, sent[0].outSize);
    EXPECT_EQ(1u, machine.Bus().VirtualDrives().count(3));
    EXPECT_EQ(1, changes);
}

TEST_F(BusOperationsTest, PlugInWithAnEmptyNameSendsTenBytes) {
    // The stand-in knows no drive of that name and says so.
    EXPECT_EQ(kErrorFileNotFound, PlugInVirtualDisk(machine, 4, L""));
    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(Cat({Le32(8), Le32(4), Bytes{0, 0}}), sent[0].input);
}

TEST_F(BusOperationsTest, PlugInOfASerialUsedByAnotherDriveIsRefusedWith87) {
    machine.AddVirtualDrive(5, 1, true);
    EXPECT_EQ(kErrorInvalidParameter, PlugInVirtualDisk(machine, 5, L"\\Device\\00000077"));
    EXPECT_EQ(0, changes);
}

TEST_F(BusOperationsTest, UnplugSendsExactlyTwentyBytesWhateverTheText) {
    machine.AddVirtualDrive(7, 1, true);
    machine.AddVirtualDrive(8, 1, true);
    EXPECT_EQ(0u, UnplugVirtualDisk(machine, 7, kName));
    EXPECT_EQ(0u, UnplugVirtualDisk(machine, 8, std::wstring(300, L'x')));
    const Bytes expected7 = Cat({Le32(20), Le32(7), Bytes{1, 1}, Bytes(10, 0)});
    const Bytes expected8 = Cat({Le32(20), Le32(8), Bytes{1, 1}, Bytes(10, 0)});
    const auto sent = Sent();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(0x2A4008u, sent[0].code);
    EXPECT_EQ(expected7, sent[0].input);
    EXPECT_EQ(expected8, sent[1].input);
    EXPECT_TRUE(machine.Bus().VirtualDrives().empty());
    EXPECT_EQ(2, changes);

    EXPECT_EQ(kErrorFileNotFound, UnplugVirtualDisk(machine, 7, kName));
}

TEST_F(BusOperationsTest, SendBusRequestsPlugsInBeforeItUnplugs) {
    BusOperationSelector both;
    both.PlugIn = 1;
    both.Unplug = 1;
    EXPECT_EQ(0u, SendBusRequests(machine, both, 9, kName));
    auto sent = Sent();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(0x2A4004u, sent[0].code);
    EXPECT_EQ(0x2A4008u, sent[1].code);

    // A failed plug-in ends the operation: nothing is unplugged.
    machine.ClearRecords();
    EXPECT_EQ(kErrorFileNotFound, SendBusRequests(machine, both, 9, L"\\Device\\nothing"));
    sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0x2A4004u, sent[0].code);
}

TEST_F(BusOperationsTest, QuerySends2080BytesAndCopiesTheReplyFields) {
    machine.AddVirtualDrive(2, 1, false);
    VirtualDiskState state{};
    state.Size = 0x1234;
    state.PhysicalDisk.SecondName[0] = u'k';
    state.VirtualDisk.SecondName[0] = u'k';
    EXPECT_EQ(0u, QueryVirtualDisk(machine, 2, state));

    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0x2A4010u, sent[0].code);
    Bytes expected(2080, 0);
    expected[0] = 16;
    expected[4] = 2;
    EXPECT_EQ(expected, sent[0].input);
    EXPECT_EQ(2080u, sent[0].outSize);

    EXPECT_EQ(2u, state.SerialNo);
    EXPECT_EQ(1, state.Created);
    EXPECT_EQ(0, state.Mounted);
    EXPECT_EQ(u"WD30EZRX-00D8PB0", Text(state.PhysicalDisk.FriendlyName));
    EXPECT_EQ(u"Virtual Disk 2", Text(state.VirtualDisk.FriendlyName));
    EXPECT_EQ(int64_t{1} << 41, state.PhysicalDisk.Value);
    EXPECT_EQ(int64_t(kThreeTB) - (int64_t{1} << 41), state.VirtualDisk.Value);
    // Neither the size field nor the second names are taken from the reply.
    EXPECT_EQ(0x1234u, state.Size);
    EXPECT_EQ(u"k", Text(state.PhysicalDisk.SecondName));
    EXPECT_EQ(u"k", Text(state.VirtualDisk.SecondName));
}

TEST_F(BusOperationsTest, QueryForAnUnknownSerialKeepsTheClearedReply) {
    for (uint32_t code : {kErrorFileNotFound, kErrorInvalidParameter}) {
        if (code == kErrorInvalidParameter)
            machine.InjectFault({Call::DeviceIoControl, code, 0, 0x2A4010u});
        VirtualDiskState state{};
        state.SerialNo = 9;
        state.Created = state.Mounted = 1;
        state.PhysicalDisk.FriendlyName[0] = state.VirtualDisk.FriendlyName[0] = u'x';
        state.PhysicalDisk.Value = state.VirtualDisk.Value = 5;
        EXPECT_EQ(code, QueryVirtualDisk(machine, 9, state)) << code;
        EXPECT_EQ(0u, state.SerialNo);
        EXPECT_EQ(0, state.Created);
        EXPECT_EQ(0, state.Mounted);
        EXPECT_EQ(u"", Text(state.PhysicalDisk.FriendlyName));
        EXPECT_EQ(u"", Text(state.VirtualDisk.FriendlyName));
        EXPECT_EQ(0, state.PhysicalDisk.Value);
        EXPECT_EQ(0, state.VirtualDisk.Value);
    }
}

TEST_F(BusOperationsTest, QueryFailingOtherwiseLeavesTheDestinationAlone) {
    machine.AddVirtualDrive(2, 1, true);
    machine.InjectFault({Call::DeviceIoControl, 31, 0, 0x2A4010u});
    VirtualDiskState state{};
    state.SerialNo = 44;
    state.Created = 1;
    EXPECT_EQ(31u, QueryVirtualDisk(machine, 2, state));
    EXPECT_EQ(44u, state.SerialNo);
    EXPECT_EQ(1, state.Created);
}

TEST_F(BusOperationsTest, QueryCutsFriendlyNamesTo128Characters) {
    sim::Drive longName;
    longName.number = 2;
    longName.product = std::string(200, 'M');
    longName.size = kThreeTB;
    const std::wstring name = machine.AddDrive(longName).deviceObjectName;
    ASSERT_EQ(0u, PlugInVirtualDisk(machine, 6, name));

    VirtualDiskState state{};
    EXPECT_EQ(0u, QueryVirtualDisk(machine, 6, state));
    EXPECT_EQ(std::u16string(128, u'M'), Text(state.PhysicalDisk.FriendlyName));
}

TEST_F(BusOperationsTest, LookupSends520BytesAndReadsTheSerialAtOffset516) {
    machine.AddVirtualDrive(11, 1, true);
    uint32_t serial = 0;
    EXPECT_EQ(0u, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(11u, serial);

    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0x2A4014u, sent[0].code);
    Bytes expected = Cat({Le32(520), Utf16z(kName)});
    expected.resize(520, 0);
    EXPECT_EQ(expected, sent[0].input);
    EXPECT_EQ(520u, sent[0].outSize);
}

TEST_F(BusOperationsTest, LookupAnsweredWith2Or259YieldsWhatTheBufferHolds) {
    uint32_t serial = 77;
    EXPECT_EQ(kErrorFileNotFound, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(0u, serial);

    machine.InjectFault({Call::DeviceIoControl, kErrorNoMoreItems, 0, 0x2A4014u});
    serial = 77;
    EXPECT_EQ(kErrorNoMoreItems, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(0u, serial);

    machine.ClearFaults();
    machine.InjectFault({Call::DeviceIoControl, 31, 0, 0x2A4014u});
    serial = 77;
    EXPECT_EQ(31u, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(77u, serial);

    // The driver's own 259 is a warning: the serial number it wrote comes back with it.
    machine.ClearFaults();
    machine.AddVirtualDrive(12, 1, true, true);
    EXPECT_EQ(kErrorNoMoreItems, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(12u, serial);
}

TEST_F(BusOperationsTest, DiskSizeSends544BytesInOneBufferAndReadsTheThreeFigures) {
    BusDiskSize answer;
    BusConnection::Step step = BusConnection::Step::Open;
    EXPECT_EQ(0u, RequestDiskSize(machine, 11, kName, &answer, step));
    EXPECT_EQ(BusConnection::Step::None, step);
    EXPECT_EQ(kThreeTB, answer.DiskSize);
    EXPECT_EQ(kThreeTB / 512 - 1, answer.LastBlockAddress);
    EXPECT_EQ(512u, answer.BytesPerBlock);

    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0x2A4018u, sent[0].code);
    Bytes expected = Cat({Le32(544), Le32(11), Utf16z(kName)});
    expected.resize(544, 0);
    EXPECT_EQ(expected, sent[0].input);
    EXPECT_EQ(544u, sent[0].outSize);
}

TEST_F(BusOperationsTest, DiskSizeNamesTheFailedStepAndLeavesTheAnswerAlone) {
    BusDiskSize answer;
    answer.DiskSize = 9;
    BusConnection::Step step = BusConnection::Step::None;
    EXPECT_EQ(kErrorFileNotFound,
              RequestDiskSize(machine, 11, L"\\Device\\Unknown", &answer, step));
    EXPECT_EQ(BusConnection::Step::Request, step);
    EXPECT_EQ(9u, answer.DiskSize);

    machine.InjectFault({Call::CreateFile, 5});
    EXPECT_EQ(5u, RequestDiskSize(machine, 11, kName, &answer, step));
    EXPECT_EQ(BusConnection::Step::Open, step);
    EXPECT_EQ(9u, answer.DiskSize);

    // Refused before anything is opened: a name longer than the record holds, no answer.
    machine.ClearFaults();
    EXPECT_EQ(platform::kErrorFilenameExcedRange,
              RequestDiskSize(machine, 11, std::wstring(256, L'n'), &answer, step));
    EXPECT_EQ(kErrorInvalidParameter, RequestDiskSize(machine, 11, kName, nullptr, step));
    EXPECT_EQ(BusConnection::Step::None, step);
    EXPECT_EQ(1u, Sent().size());
}

TEST_F(BusOperationsTest, ANameTooLongForTheRecordIsRefusedBeforeAnythingIsOpened) {
    uint32_t serial = 5;
    EXPECT_EQ(platform::kErrorFilenameExcedRange,
              LookupVirtualDiskSerial(machine, std::wstring(256, L'n'), serial));
    EXPECT_EQ(5u, serial);
    EXPECT_TRUE(Sent().empty());

    // 255 characters and the terminator still fit.
    EXPECT_EQ(kErrorFileNotFound,
              LookupVirtualDiskSerial(machine, std::wstring(255, L'n'), serial));
    const auto sent = Sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(0, sent[0].input[4 + 2 * 255]);
}

TEST_F(BusOperationsTest, WithoutTheBusDriverNothingIsSent) {
    machine.SetBusPresent(false);
    VirtualDiskState state{};
    EXPECT_EQ(kErrorNoMoreItems, PlugInVirtualDisk(machine, 1, kName));
    EXPECT_EQ(kErrorNoMoreItems, UnplugVirtualDisk(machine, 1, kName));
    EXPECT_EQ(kErrorNoMoreItems, QueryVirtualDisk(machine, 1, state));
    uint32_t serial = 42;
    EXPECT_EQ(0u, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(42u, serial);
    EXPECT_TRUE(machine.Ioctls().empty());
}

// One failing step of the common opening, and what each operation returns for it.
struct OpeningFault {
    const char* step;
    sim::Fault fault;
    uint32_t plugIn, unplug, query, lookup;
};

void PrintTo(const OpeningFault& p, std::ostream* os) {
    *os << p.step;
}

class CommonOpeningTest : public BusOperationsTest,
                          public ::testing::WithParamInterface<OpeningFault> {};

TEST_P(CommonOpeningTest, ReturnsTheStepsCodeSendsNothingAndReleasesEverything) {
    const OpeningFault& p = GetParam();
    machine.AddVirtualDrive(3, 1, true);
    const sim::SimulatedMachine::Resources none{};

    machine.InjectFault(p.fault);
    EXPECT_EQ(p.plugIn, PlugInVirtualDisk(machine, 3, kName));
    EXPECT_EQ(none, machine.Outstanding());

    machine.ClearFaults();
    machine.InjectFault(p.fault);
    EXPECT_EQ(p.unplug, UnplugVirtualDisk(machine, 3, kName));
    EXPECT_EQ(none, machine.Outstanding());

    machine.ClearFaults();
    machine.InjectFault(p.fault);
    VirtualDiskState state{};
    state.Created = 9;
    EXPECT_EQ(p.query, QueryVirtualDisk(machine, 3, state));
    EXPECT_EQ(9, state.Created);
    EXPECT_EQ(none, machine.Outstanding());

    machine.ClearFaults();
    machine.InjectFault(p.fault);
    uint32_t serial = 66;
    EXPECT_EQ(p.lookup, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(66u, serial);

    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(1u, machine.Bus().VirtualDrives().count(3));
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, CommonOpeningTest,
    ::testing::Values(
        OpeningFault{"ClassSet", {Call::GetClassDevs, 8}, 8, 8, 8, 8},
        // No bus interface: the lookup reports no virtual drive rather than an error.
        OpeningFault{"EnumerateNone", {Call::EnumDeviceInterfaces, 259}, 259, 259, 259, 0},
        // Any other enumeration failure is reported as the failure it is.
        OpeningFault{"EnumerateOther", {Call::EnumDeviceInterfaces, 6}, 6, 6, 6, 6},
        OpeningFault{"DetailSize", {Call::GetDeviceInterfaceDetail, 87, 1}, 87, 87, 87, 87},
        OpeningFault{"Allocate", {Call::HeapAlloc, 8, 1}, 122, 122, 122, 122},
        OpeningFault{"Detail", {Call::GetDeviceInterfaceDetail, 1784, 2}, 1784, 1784, 1784, 1784},
        OpeningFault{"Open", {Call::CreateFile, 5}, 5, 5, 5, 5}),
    [](const auto& info) { return std::string(info.param.step); });

TEST_F(BusOperationsTest, PlugInWhoseRequestCannotBeAllocatedSendsNothing) {
    machine.InjectFault({Call::HeapAlloc, 8, 2});
    EXPECT_EQ(platform::kErrorInsufficientBuffer, PlugInVirtualDisk(machine, 3, kName));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(BusOperationsTest, FailedRequestsReturnTheirCodeAndReleaseEverything) {
    machine.AddVirtualDrive(3, 1, true);
    machine.InjectFault({Call::DeviceIoControl, 1167});
    VirtualDiskState state{};
    uint32_t serial = 0;
    EXPECT_EQ(1167u, PlugInVirtualDisk(machine, 4, kName));
    EXPECT_EQ(1167u, UnplugVirtualDisk(machine, 3, kName));
    EXPECT_EQ(1167u, QueryVirtualDisk(machine, 3, state));
    EXPECT_EQ(1167u, LookupVirtualDiskSerial(machine, kName, serial));
    EXPECT_EQ(4u, Sent().size());
}

TEST_F(BusOperationsTest, AnOperationFindsItsOwnFlagOnly) {
    machine.AddVirtualDrive(3, 1, true);
    BusOperationSelector lookupOnly;
    lookupOnly.LookupSerial = 1;
    VirtualDiskState state{};
    EXPECT_EQ(0u, QueryVirtualDisk(machine, lookupOnly, 3, state));
    EXPECT_EQ(0, state.Created);
    BusOperationSelector none;
    EXPECT_EQ(0u, SendBusRequests(machine, none, 3, kName));
    EXPECT_TRUE(Sent().empty());

    // The scan's shared selector: a lookup followed by a query.
    BusOperationSelector scan;
    scan.LookupSerial = 1;
    scan.Query = 1;
    uint32_t serial = 0;
    EXPECT_EQ(0u, LookupVirtualDiskSerial(machine, scan, kName, serial));
    EXPECT_EQ(0u, QueryVirtualDisk(machine, scan, serial, state));
    EXPECT_EQ(1, state.Created);
    EXPECT_EQ(2u, Sent().size());
}

}  // namespace
}  // namespace busctl
