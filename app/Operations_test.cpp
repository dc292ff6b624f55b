// Create, Rescan and Recover clicked in the dialog on the simulated machine, and the list
// following the machine's device-change broadcasts.
#include <windows.h>
// windows.h first: the broadcast header needs its types.
#include <dbt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/FarspanDlg.h"
#include "app/SystemError.h"
#include "app/demo/BuiltInScenario.h"
#include "app/testing/DialogFixture.h"
#include "app/testing/MessageBoxes.h"
#include "busctl/BusOperations.h"
#include "platform/Utf16.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Capture.h"

namespace app {
namespace {

constexpr uint32_t kPlugIn = 0x2A4004, kUnplug = 0x2A4008, kLookupSerial = 0x2A4014;
constexpr COLORREF kSilver = 0xC0C0C0;
using Resources = sim::SimulatedMachine::Resources;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

class OperationsTest : public testing::DialogFixture<> {
protected:
    void AddBigDrive(int number, const char* product) {
        sim::Drive drive;
        drive.number = number;
        drive.size = 3000592982016;
        drive.product = product;
        drive.lastBlockAddress = drive.size / 512 - 1;
        machine().AddDrive(drive);
    }
    int ListSelection() const {
        return static_cast<int>(SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
    }
    void Open(const char* scenario = demo::kBuiltInScenario) {
        DialogFixture::Open(scenario);
        answerer = std::make_unique<testing::MessageBoxAnswerer>(IDOK, dialog->Handle());
    }
    void Close() override {
        answerer.reset();
        DialogFixture::Close();
    }
    LRESULT Broadcast(WPARAM event, LPARAM data = 0) {
        return SendMessageW(dialog->Handle(), WM_DEVICECHANGE, event, data);
    }
    void Pump() { testing::PumpMessages(); }
    // count device-node broadcasts sent as the system sends them, and the rescan they ask for.
    void Deliver(int count = 1, DWORD gap = 2) {
        testing::SystemBroadcaster system(dialog->Handle());
        system.SendBurst(count, gap);
        ASSERT_TRUE(system.WaitUntilDelivered());
        ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
    }
    std::vector<sim::IoctlRecord> Requests(uint32_t code) const {
        std::vector<sim::IoctlRecord> out;
        for (const auto& r : machine().BusRequests())
            if (r.code == code) out.push_back(r);
        return out;
    }
    // One full scan asks the bus driver once per qualifying drive for its serial number.
    size_t Scans(size_t qualifying) const { return Requests(kLookupSerial).size() / qualifying; }
    COLORREF BarPixel(int id) {
        RECT r{};
        GetWindowRect(Item(id), &r);
        MapWindowPoints(nullptr, dialog->Handle(), reinterpret_cast<POINT*>(&r), 2);
        ui::RepaintNow(dialog->Handle());
        return ui::CaptureClient(dialog->Handle()).At(r.left + 4, r.top + 4);
    }
    std::unique_ptr<testing::MessageBoxAnswerer> answerer;
};

// The built-in machine: line 0 carries serial 1 (plugged in), line 1 none, line 2 serial 2
// (not plugged in). The random test (DialogRandom_test.cpp) holds every operation to the
// serial numbers, names, boxes and buttons it must have; the cases here pin down details it
// does not check.
TEST_F(OperationsTest, ANumberTakenOutsideTheListIsRetriedOnceWithTheNext) {
    // The GPT drive is not listed, but its virtual drive holds serial 1 on the bus.
    Open(
        "drive 1 size=3000592982016 product=\"A\"\n"
        "drive 4 size=6001175126016 style=gpt\nvirtual 1 drive=4\n");
    machine().ClearRecords();
    Click(IDC_BTN_CREATE);
    const auto plugIns = Requests(kPlugIn);
    ASSERT_EQ(2u, plugIns.size());
    EXPECT_EQ(87u, plugIns[0].error);
    EXPECT_EQ(1u, U32(plugIns[0].input, 4));
    EXPECT_EQ(2u, U32(plugIns[1].input, 4));
    EXPECT_EQ(0u, plugIns[1].error);
    EXPECT_EQ(2u, dialog->Groups()[0].SerialNo);
    EXPECT_EQ(1, dialog->Groups()[0].State.Created);
}

// The question names the drive it is about, warns, and an Enter pressed out of habit says No.
// Run in English and, by its own test entry, in Traditional Chinese.
TEST_F(OperationsTest, RecoverAsksFirstAndNoChangesNothing) {
    Open();
    const bool chinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
    // The Chinese run must not pass as an English one.
    ASSERT_EQ(GetEnvironmentVariableW(L"OVERREACH_TEST_CHINESE", nullptr, 0) > 0, chinese);
    const wchar_t* expected =
        chinese
            ? L"執行「還原」磁碟內的資料將會遺失。確定要執行嗎？\n\n"
              L"磁碟 1：ST3000DM008-2DM166 - 2794.52GB，虛擬磁碟 746.52GB"
            : L"All data on the hard drive will be deleted during the recovery process. Are you "
              L"sure you want to continue?\n\nDrive 1: ST3000DM008-2DM166 - 2794.52GB, virtual "
              L"drive 746.52GB";
    answerer->SetAnswer(IDNO);
    machine().ClearRecords();
    Click(IDC_BTN_RECOVER);
    ASSERT_EQ(1u, answerer->Boxes().size());
    EXPECT_EQ(chinese ? L"注意" : L"Notice", answerer->Boxes()[0].caption);
    EXPECT_EQ(expected, answerer->Boxes()[0].text);
    EXPECT_TRUE(answerer->Boxes()[0].exclamationIcon);  // the warning icon
    EXPECT_EQ(IDNO, answerer->Boxes()[0].defaultButton);
    EXPECT_TRUE(machine().BusRequests().empty());
    EXPECT_EQ(1, dialog->Groups()[0].State.Created);
    EXPECT_EQ("011", Buttons());

    answerer->SetAnswer(IDYES);
    Click(IDC_BTN_RECOVER);
    const auto unplugs = Requests(kUnplug);
    ASSERT_EQ(1u, unplugs.size());
    EXPECT_EQ(20u, unplugs[0].input.size());
    EXPECT_EQ(20u, U32(unplugs[0].input, 0));
    EXPECT_EQ(1u, U32(unplugs[0].input, 4));
    EXPECT_EQ("100", Buttons());
    EXPECT_EQ(kSilver, BarPixel(IDC_CAPACITY_BAR_0));
    EXPECT_EQ(nullptr, machine().FindVirtualDriveDisk(1));

    // The broadcast that follows brings the line in step with the bus driver.
    Deliver();
    EXPECT_EQ(0u, dialog->Groups()[0].SerialNo);
    EXPECT_EQ(0, dialog->Groups()[0].State.Created);
    EXPECT_EQ(0, dialog->SelectedIndex());
    EXPECT_EQ("100", Buttons());
    EXPECT_EQ(Resources{}, machine().Outstanding());
}

// While the question is open, the selected drive goes and another drive, with a virtual drive
// of its own, takes its line. Yes then deletes nothing, and one box says why.
TEST_F(OperationsTest, RecoverAfterTheListChangedUnderTheQuestionDeletesNothing) {
    Open();
    Select(2);  // serial 2 on drive 3
    testing::SystemBroadcaster system(dialog->Handle());
    answerer->SetAnswer(IDYES);
    answerer->SetBeforeAnswer([&] {
        if (answerer->Boxes().size() != 1) return;
        machine().RemoveDrive(3);
        sim::Drive other;
        other.number = 7;
        other.size = 3000592982016;
        other.product = "OTHER";
        other.lastBlockAddress = other.size / 512 - 1;
        machine().AddDrive(other);
        machine().AddVirtualDrive(7, 7, true);
        system.SendBurst(3, 5);
        ASSERT_TRUE(testing::PumpUntil([&] {
            return system.Idle() && dialog->Groups().size() == 3 &&
                   dialog->Groups()[2].SerialNo == 7;
        }));
    });
    machine().ClearRecords();
    Click(IDC_BTN_RECOVER);
    EXPECT_TRUE(Requests(kUnplug).empty());
    ASSERT_EQ(2u, answerer->Boxes().size());
    EXPECT_EQ(L"The drive list changed while you were asked. Nothing was deleted.",
              answerer->Boxes()[1].text);
    EXPECT_NE(nullptr, machine().FindVirtualDriveDisk(7));
    EXPECT_EQ(Resources{}, machine().Outstanding());
}

// The plug-in succeeds and reading the drive again fails, or the bus driver does not know the
// new serial number yet: the drive is shown plugged in, and nothing offers a second plug-in,
// not even a rescan that reads the same "not known", until the bus driver tells otherwise.
TEST_F(OperationsTest, ACreateWhoseReReadFailsShowsTheDrivePluggedIn) {
    const sim::Fault reReads[] = {
        {sim::Call::DeviceIoControl, 31, 0, 0x70048u, 2},       // the drive half gone
        {sim::Call::DeviceIoControl, 2, 1, busctl::BUS_QUERY},  // serial not known yet
    };
    for (const sim::Fault& reRead : reReads) {
        SCOPED_TRACE(reRead.error);
        Close();
        Open();
        Select(1);
        machine().InjectFault(reRead);
        machine().ClearRecords();
        Click(IDC_BTN_CREATE);
        ASSERT_EQ(1u, Requests(kPlugIn).size());
        EXPECT_TRUE(answerer->Boxes().empty());
        EXPECT_EQ("011", Buttons());
        EXPECT_EQ(L"Create", TextOf(IDC_BTN_CREATE));
        const disk::StorageGroup& group = dialog->Groups()[1];
        EXPECT_EQ(3u, group.SerialNo);
        EXPECT_EQ(1, group.State.Created);
        EXPECT_EQ(1, group.State.Mounted);
        Click(IDC_BTN_CREATE);

        machine().ClearFaults();
        machine().InjectFault({sim::Call::DeviceIoControl, 2, 0, kLookupSerial, 2});
        Deliver();
        EXPECT_EQ("011", Buttons());
        Click(IDC_BTN_CREATE);
        EXPECT_EQ(1u, Requests(kPlugIn).size());
        // The bus driver's word that it is unplugged ends it: Rescan is offered.
        machine().ClearFaults();
        machine().AddVirtualDrive(3, 2, false);
        Deliver();
        EXPECT_EQ("111", Buttons());
        EXPECT_EQ(L"Rescan", TextOf(IDC_BTN_CREATE));
        EXPECT_EQ(Resources{}, machine().Outstanding());
    }
}

TEST_F(OperationsTest, WithNoLineSelectedNothingIsSentOrAsked) {
    Open();
    Select(-1);
    const std::string buttons = Buttons();
    machine().ClearRecords();
    Click(IDC_BTN_CREATE);
    Click(IDC_BTN_RECOVER);
    EXPECT_TRUE(machine().BusRequests().empty());
    EXPECT_TRUE(answerer->Boxes().empty());
    EXPECT_EQ(buttons, Buttons());
    EXPECT_EQ(1, dialog->Groups()[0].State.Created);
    EXPECT_EQ(0, dialog->Groups()[1].State.Created);
}

// Every step of each request failing: one box with the system's text, the screen as before
// the click, and nothing left open.
TEST_F(OperationsTest, EachFailingStepIsOneMessageAndTheStateAsBefore) {
    const sim::Fault faults[] = {
        {sim::Call::GetClassDevs, 8, 0, {}, {}, true},
        {sim::Call::EnumDeviceInterfaces, 259, 0, {}, {}, true},
        {sim::Call::GetDeviceInterfaceDetail, 13, 0, {}, {}, true},
        {sim::Call::HeapAlloc, 8, 1},
        {sim::Call::HeapAlloc, 8, 2},
        {sim::Call::CreateFile, 5, 0, {}, {}, true},
        {sim::Call::DeviceIoControl, 1167, 0, kPlugIn},
        {sim::Call::DeviceIoControl, 1167, 0, kUnplug},
    };
    // Create on line 1, Rescan on line 2, Recover on line 0.
    const struct {
        int line, button;
    } operations[] = {{1, IDC_BTN_CREATE}, {2, IDC_BTN_CREATE}, {0, IDC_BTN_RECOVER}};
    for (const auto& op : operations) {
        for (const sim::Fault& fault : faults) {
            const bool unplug = op.button == IDC_BTN_RECOVER;
            if (fault.ioctl && (*fault.ioctl == kUnplug) != unplug) continue;
            if (unplug && fault.call == sim::Call::HeapAlloc && fault.nth == 2) continue;
            SCOPED_TRACE(::testing::Message()
                         << "line " << op.line << ", call " << static_cast<int>(fault.call)
                         << ", nth " << fault.nth);
            Close();
            Open();
            sim::SimulatedMachine& m = machine();
            answerer->SetAnswer(unplug ? IDYES : IDOK);
            Select(op.line);
            const disk::StorageGroup before = dialog->Groups()[static_cast<size_t>(op.line)];
            const std::string buttons = Buttons();
            const std::wstring createText = TextOf(IDC_BTN_CREATE);
            const std::wstring description = TextOf(IDC_CREATE_DESCRIPTION);
            m.InjectFault(fault);
            m.ClearRecords();
            Click(op.button);

            const auto& boxes = answerer->Boxes();
            ASSERT_EQ(unplug ? 2u : 1u, boxes.size());
            const testing::ShownBox& box = boxes.back();
            EXPECT_EQ(L"Overreach", box.caption);
            // Running out of memory for a buffer is reported as a buffer too small.
            const uint32_t code = fault.call == sim::Call::HeapAlloc ? 122 : fault.error;
            EXPECT_EQ(SystemErrorText(HResultFromWin32(static_cast<int32_t>(code))), box.text);
            EXPECT_FALSE(box.text.empty());
            EXPECT_TRUE(box.exclamationIcon);
            const disk::StorageGroup& after = dialog->Groups()[static_cast<size_t>(op.line)];
            EXPECT_EQ(before.State.Created, after.State.Created);
            EXPECT_EQ(before.State.Mounted, after.State.Mounted);
            EXPECT_EQ(before.SerialNo, after.SerialNo);
            EXPECT_EQ(buttons, Buttons());
            EXPECT_EQ(createText, TextOf(IDC_BTN_CREATE));
            EXPECT_EQ(description, TextOf(IDC_CREATE_DESCRIPTION));
            EXPECT_EQ(Resources{}, m.Outstanding());
        }
    }
}

// A code the system has no words for still names itself, in the same box.
TEST_F(OperationsTest, ACodeWithoutSystemTextIsShownInHexadecimal) {
    Open();
    Select(1);
    machine().InjectFault({sim::Call::DeviceIoControl, 0xDEAD, 0, kPlugIn});
    Click(IDC_BTN_CREATE);
    ASSERT_EQ(1u, answerer->Boxes().size());
    EXPECT_EQ(L"Error 0x8007DEAD", answerer->Boxes()[0].text);
    EXPECT_EQ(L"Overreach", answerer->Boxes()[0].caption);
    EXPECT_TRUE(answerer->Boxes()[0].exclamationIcon);
    EXPECT_EQ("100", Buttons());
}

// --- device changes ------------------------------------------------------------------------

TEST_F(OperationsTest, EveryNamedEventWritesItsLineAndNothingIsRefused) {
    Open();
    const struct {
        WPARAM event;
        const wchar_t* name;
    } events[] = {
        {DBT_QUERYCHANGECONFIG, L"DBT_QUERYCHANGECONFIG"},
        {DBT_CONFIGCHANGED, L"DBT_CONFIGCHANGED"},
        {DBT_CONFIGCHANGECANCELED, L"DBT_CONFIGCHANGECANCELED"},
        {DBT_DEVICEARRIVAL, L"DBT_DEVICEARRIVAL"},
        {DBT_DEVICEQUERYREMOVE, L"DBT_DEVICEQUERYREMOVE"},
        {DBT_DEVICEQUERYREMOVEFAILED, L"DBT_DEVICEQUERYREMOVEFAILED"},
        {DBT_DEVICEREMOVEPENDING, L"DBT_DEVICEREMOVEPENDING"},
        {DBT_DEVICEREMOVECOMPLETE, L"DBT_DEVICEREMOVECOMPLETE"},
        {DBT_DEVICETYPESPECIFIC, L"DBT_DEVICETYPESPECIFIC"},
        {DBT_CUSTOMEVENT, L"DBT_CUSTOMEVENT"},
        {DBT_DEVNODES_CHANGED, L"DBT_DEVNODES_CHANGED"},
    };
    // A port, not a volume: the events that look at the header change nothing for it.
    DEV_BROADCAST_HDR port{sizeof(port), DBT_DEVTYP_PORT, 0};
    for (const auto& e : events) {
        machine().ClearRecords();
        EXPECT_EQ(0, Broadcast(e.event, reinterpret_cast<LPARAM>(&port))) << e.name;
        ASSERT_EQ(1u, machine().DebugLines().size()) << e.name;
        EXPECT_EQ(std::wstring(L"OnMyDeviceChange Info - ") + e.name + L"\n",
                  machine().DebugLines()[0]);
        EXPECT_TRUE(machine().Ioctls().empty()) << e.name;  // nothing scanned yet
    }
    machine().ClearRecords();
    EXPECT_EQ(0, Broadcast(0x1234));
    EXPECT_TRUE(machine().DebugLines().empty());
    // Events that carry no header at all are not read through.
    EXPECT_EQ(0, Broadcast(DBT_DEVICEARRIVAL, 0));
    Pump();
}

TEST_F(OperationsTest, ABroadcastThatChangesNothingLeavesTheWindowAlone) {
    Open();
    Select(2);
    ui::RepaintNow(dialog->Handle());
    const auto lines = ListLines();
    const std::string buttons = Buttons();
    const CapacityChart chart = dialog->Chart();
    machine().ClearRecords();
    Broadcast(DBT_DEVNODES_CHANGED);
    // Only the rescan's timer is to come: handled here, it must leave nothing to repaint.
    MSG m;
    while (dialog->RescanPending()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_TIMER | QS_POSTMESSAGE);
        while (PeekMessageW(&m, dialog->Handle(), 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE))
            DispatchMessageW(&m);
    }
    EXPECT_EQ(1u, Scans(3));
    RECT dirty{};
    EXPECT_FALSE(GetUpdateRect(Item(IDC_LIST_DRIVE), &dirty, FALSE));
    EXPECT_EQ(lines, ListLines());
    EXPECT_EQ(2, SendMessageW(Item(IDC_LIST_DRIVE), LB_GETCURSEL, 0, 0));
    EXPECT_EQ(buttons, Buttons());
    EXPECT_EQ(0, std::memcmp(&chart, &dialog->Chart(), sizeof(chart)));
    EXPECT_EQ(Resources{}, machine().Outstanding());
}

// The user chose a drive, not a line: whatever rebuilds the list, a drive that arrives before
// it moves its line, and when it leaves nothing is selected, so nothing acts on another drive.
TEST_F(OperationsTest, TheSelectionFollowsItsDrive) {
    const DWORD kinds[] = {0, DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE};
    for (DWORD kind : kinds) {
        SCOPED_TRACE(kind);
        Close();
        Open();
        auto rebuild = [&] {
            testing::SystemBroadcaster system(dialog->Handle());
            system.Send({kind ? testing::SystemBroadcaster::Broadcast{0, kind, DBT_DEVTYP_VOLUME}
                              : testing::SystemBroadcaster::Broadcast{}});
            ASSERT_TRUE(system.WaitUntilDelivered());
            ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
        };
        Select(2);  // drive 3, serial 2, not plugged in
        machine().RemoveDrive(0);
        AddBigDrive(0, "NEW DRIVE");
        rebuild();
        ASSERT_EQ(4u, ListLines().size());
        EXPECT_EQ(3, ListSelection());
        EXPECT_EQ(3, dialog->SelectedIndex());
        EXPECT_EQ("111", Buttons());
        EXPECT_EQ(L"Rescan", TextOf(IDC_BTN_CREATE));
        answerer->SetAnswer(IDYES);
        machine().ClearRecords();
        Click(IDC_BTN_RECOVER);
        ASSERT_EQ(1u, Requests(kUnplug).size());
        EXPECT_EQ(2u, U32(Requests(kUnplug)[0].input, 4));

        // The selected drive leaves: no line, no operation, an empty panel.
        machine().RemoveDrive(3);
        rebuild();
        ASSERT_EQ(3u, ListLines().size());
        EXPECT_EQ(-1, ListSelection());
        EXPECT_EQ("000", Buttons());
        EXPECT_EQ(1, dialog->Chart().count);
        answerer->Clear();
        machine().ClearRecords();
        Click(IDC_BTN_RECOVER);
        Click(IDC_BTN_CREATE);
        EXPECT_TRUE(machine().BusRequests().empty());
        EXPECT_TRUE(answerer->Boxes().empty());

        // Same lines, one of them changed: the selection stays with its drive.
        Select(2);
        ASSERT_EQ(
            0u, busctl::PlugInVirtualDisk(machine(), 9, machine().FindDrive(2)->deviceObjectName));
        rebuild();
        EXPECT_EQ(2, ListSelection());
        EXPECT_EQ(9u, dialog->Groups()[2].SerialNo);
        EXPECT_EQ("011", Buttons());
        EXPECT_EQ(Resources{}, machine().Outstanding());
    }
}

// Volume broadcasts wait with the device-node ones: a burst of both costs one rescan, and no
// broadcast is held up by a scan. Broadcasts about other kinds of device change nothing.
TEST_F(OperationsTest, VolumeAndDeviceNodeBroadcastsShareOneRescan) {
    Open();
    testing::SystemBroadcaster system(dialog->Handle());
    DEV_BROADCAST_HDR deviceInterface{sizeof(deviceInterface), DBT_DEVTYP_DEVICEINTERFACE, 0};
    DEV_BROADCAST_HDR port{sizeof(port), DBT_DEVTYP_PORT, 0};
    machine().ClearRecords();
    Broadcast(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&deviceInterface));
    Broadcast(DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&port));
    Pump();
    EXPECT_FALSE(dialog->RescanPending());
    EXPECT_TRUE(machine().Ioctls().empty());

    using B = testing::SystemBroadcaster::Broadcast;
    system.Send({B{}, B{5, DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME}, B{5},
                 B{5, DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME},
                 B{5, DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_VOLUME}, B{5}});
    ASSERT_TRUE(system.WaitUntilDelivered());
    EXPECT_TRUE(machine().Ioctls().empty());  // nothing scanned while the burst comes in
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
    EXPECT_EQ(1u, Scans(3));
    EXPECT_EQ(Resources{}, machine().Outstanding());
}

// A drive that fails one request while the list is read again (spinning up: 21; half removed:
// 31) hides no drive: the list shown stays, and a try a moment later, with no device change,
// reads the machine. A drive that keeps failing has the last try's list shown.
TEST_F(OperationsTest, AScanThatStopsEarlyKeepsTheListAndIsTriedAgain) {
    for (uint32_t code : {21u, 31u}) {
        SCOPED_TRACE(code);
        Close();
        Open();
        AddBigDrive(7, "LATE");
        machine().InjectFault({sim::Call::DeviceIoControl, code, 1, {}, 1});
        machine().ClearRecords();
        Deliver();
        EXPECT_EQ(3u, ListLines().size());
        EXPECT_EQ(0, ListSelection());
        EXPECT_TRUE(dialog->RetryPending());
        EXPECT_EQ(1u, std::count(machine().DebugLines().begin(), machine().DebugLines().end(),
                                 std::wstring(L"UpdateStorageGroupEx1 error code = 0x") +
                                     (code == 21 ? L"15" : L"1f") + L"\n"));
        ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RetryPending(); }, 3000));
        EXPECT_EQ(4u, ListLines().size());
        EXPECT_EQ(0, ListSelection());
        EXPECT_EQ(Resources{}, machine().Outstanding());
    }
    machine().InjectFault({sim::Call::DeviceIoControl, 21, 0, {}, 2});
    machine().ClearRecords();
    Deliver();
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RetryPending(); }, 12000));
    EXPECT_EQ(4u, Scans(1));  // the first scan and three tries, each stopped at drive 2
    EXPECT_EQ(1u, ListLines().size());
    EXPECT_EQ(Resources{}, machine().Outstanding());
}

// Broadcasts as the system sends them, one after another from another thread, each waiting
// for its answer: every send is answered at once, and the rescan comes once the burst is over.
// A burst that never stops is still answered within the ceiling.
TEST_F(OperationsTest, BroadcastsSentOneAfterAnotherCostOneRescanAfterTheBurst) {
    Open();
    testing::SystemBroadcaster system(dialog->Handle());
    machine().ClearRecords();
    system.SendBurst(5, 10);
    ASSERT_TRUE(system.WaitUntilDelivered());
    EXPECT_EQ(5u, machine().DebugLines().size());
    EXPECT_TRUE(machine().Ioctls().empty());  // nothing scanned while the burst comes in
    // A handler that waited for the quiet spell (150 ms) would hold every send that long; a
    // busy machine delays some sends, not most of them.
    std::vector<double> sends = system.SendTimes();
    std::sort(sends.begin(), sends.end());
    ASSERT_EQ(5u, sends.size());
    EXPECT_LT(sends[2], 50.0) << "the median send";
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
    EXPECT_EQ(1u, Scans(3));
    EXPECT_EQ(600u, machine().SleptMilliseconds());

    // A drive arrives between two broadcasts of one burst: the one rescan reads it.
    machine().ClearRecords();
    system.SendBurst(2, 10);
    ASSERT_TRUE(system.WaitUntilDelivered());
    sim::Drive late;
    late.number = 9;
    late.size = 3000592982016;
    late.product = "LATE";
    late.lastBlockAddress = late.size / 512 - 1;
    machine().AddDrive(late);
    system.SendBurst(2, 10);
    ASSERT_TRUE(system.WaitUntilDelivered());
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
    EXPECT_EQ(1u, Requests(kLookupSerial).size() / 4);
    EXPECT_EQ(4u, ListLines().size());

    // Every 3 ms for two seconds: the quiet spell never comes, the ceiling does, and the
    // broadcasts after it do not put it off.
    machine().ClearRecords();
    system.SendBurst(600, 3);
    ASSERT_TRUE(testing::PumpUntil([&] { return Requests(kLookupSerial).size() >= 4; }, 20000));
    EXPECT_FALSE(system.Idle()) << "the rescan came only after the burst";
    ASSERT_TRUE(system.WaitUntilDelivered(30000));
    ASSERT_TRUE(testing::PumpUntil([&] { return !dialog->RescanPending(); }));
}

}  // namespace
}  // namespace app
