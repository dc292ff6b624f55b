// The whole main dialog on the simulated machine, driven by seeded random sequences of what a
// user, the system and the machine do to it: selections (also past the end), Create/Rescan,
// Recover answered Yes or No, device broadcasts sent from another thread one after another
// with random gaps (also while a box is open), volume arrivals and removals, drives and
// virtual drives that come and go behind the program's back, the bus driver gone and back,
// and a fault at any step of a request. After every step the dialog is held to a model of
// what it must show and send. A failing sequence is shrunk and printed with its seed.
//   OVERREACH_RANDOM_SEED (default 1) and OVERREACH_RANDOM_SEQUENCES (default 200) choose the
//   run; tools/dialog-fuzz.sh runs a long one.
#include <windows.h>
// windows.h first: the broadcast header needs its types.
#include <dbt.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/DriveListRules.h"
#include "app/FarspanDlg.h"
#include "app/StorageGroupRules.h"
#include "app/demo/BuiltInScenario.h"
#include "app/testing/DialogKit.h"
#include "app/testing/MessageBoxes.h"
#include "busctl/BusOperations.h"
#include "busctl/BusProtocol.h"
#include "platform/Utf16.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"
#include "win32ui/testing/GdiLedger.h"

namespace app {
namespace {

constexpr uint32_t kPlugIn = busctl::BUS_PLUG_IN, kUnplug = busctl::BUS_UNPLUG;
const wchar_t kListChanged[] = L"The drive list changed while you were asked. Nothing was deleted.";

// The machine the dialog talks to, exchanged for a fresh one before every sequence: opening a
// dialog costs more under Wine than a whole sequence does.
class MachineSlot final : public platform::DeviceIo {
public:
    sim::SimulatedMachine* machine = nullptr;
    uint32_t GetClassDevs(const platform::Guid& g, uint32_t f,
                          platform::DeviceInfoSet* s) override {
        return machine->GetClassDevs(g, f, s);
    }
    uint32_t EnumDeviceInterfaces(platform::DeviceInfoSet s, const platform::Guid& g, uint32_t i,
                                  platform::DeviceInterfaceData* d) override {
        return machine->EnumDeviceInterfaces(s, g, i, d);
    }
    uint32_t GetDeviceInterfaceDetail(platform::DeviceInfoSet s,
                                      const platform::DeviceInterfaceData& d, void* detail,
                                      uint32_t size, uint32_t* required,
                                      platform::DeviceInfoData* info) override {
        return machine->GetDeviceInterfaceDetail(s, d, detail, size, required, info);
    }
    uint32_t GetDeviceRegistryProperty(platform::DeviceInfoSet s,
                                       const platform::DeviceInfoData& info, uint32_t property,
                                       uint32_t* type, void* buffer, uint32_t size,
                                       uint32_t* required) override {
        return machine->GetDeviceRegistryProperty(s, info, property, type, buffer, size, required);
    }
    uint32_t DestroyDeviceInfoList(platform::DeviceInfoSet s) override {
        return machine->DestroyDeviceInfoList(s);
    }
    uint32_t CreateFileW(const wchar_t* path, uint32_t access, uint32_t share, uint32_t creation,
                         uint32_t flags, platform::OsHandle* handle) override {
        return machine->CreateFileW(path, access, share, creation, flags, handle);
    }
    uint32_t DeviceIoControl(platform::OsHandle h, uint32_t code, const void* in, uint32_t inSize,
                             void* out, uint32_t outSize, uint32_t* returned) override {
        return machine->DeviceIoControl(h, code, in, inSize, out, outSize, returned);
    }
    uint32_t CloseHandle(platform::OsHandle h) override { return machine->CloseHandle(h); }
    uint32_t HeapAlloc(size_t bytes, bool zero, void** block) override {
        return machine->HeapAlloc(bytes, zero, block);
    }
    uint32_t HeapFree(void* block) override { return machine->HeapFree(block); }
    void Sleep(uint32_t milliseconds) override { machine->Sleep(milliseconds); }
    void OutputDebugStringW(const wchar_t* text) override { machine->OutputDebugStringW(text); }
};

// The dialog with short waits, so that a sequence runs in milliseconds.
class QuickDialog : public CFarspanDlg {
public:
    explicit QuickDialog(platform::DeviceIo& io) : CFarspanDlg(io) { SetRescanWait(4, 30); }
};

enum class Kind {
    Select,
    Create,
    Recover,
    Burst,
    Volume,
    AddDrive,
    RemoveDrive,
    PlugElsewhere,
    UnplugElsewhere,
    BusGone,
    BusBack,
    Settle,
};

// Something that changes the machine behind the program's back, followed by the system's
// broadcasts; also what happens while the Recover question is open.
struct MachineChange {
    Kind kind = Kind::Settle;  // Settle: none
    int pick = 0;              // which drive or virtual drive, modulo what there is
    uint64_t size = 0;
    bool withVirtualDrive = false;
};

struct Step {
    Kind kind = Kind::Settle;
    int line = 0;  // Select
    bool yes = false;
    std::vector<DWORD> gaps;  // Burst: one send per gap; also after a machine change
    DWORD pump = 0;           // milliseconds the user-interface thread then takes messages
    bool arrival = true;      // Volume
    MachineChange change;     // machine changes; Recover: during the question
    bool fault = false;
    sim::Fault injected;
};

const char* KindName(Kind k) {
    static const char* names[] = {
        "select",           "create",    "recover",      "burst",
        "volume",           "add drive", "remove drive", "plug in elsewhere",
        "unplug elsewhere", "bus gone",  "bus back",     "settle"};
    return names[static_cast<int>(k)];
}

std::string Describe(const Step& s) {
    std::ostringstream o;
    o << KindName(s.kind);
    switch (s.kind) {
        case Kind::Select:
            o << " line " << s.line;
            break;
        case Kind::Recover:
            o << (s.yes ? ", answered Yes" : ", answered No");
            break;
        case Kind::Volume:
            o << (s.arrival ? " arrival" : " removal");
            break;
        default:
            break;
    }
    if (s.change.kind != Kind::Settle) {
        if (s.kind == Kind::Recover) o << ", while asked: " << KindName(s.change.kind);
        o << " pick " << s.change.pick;
        if (s.change.kind == Kind::AddDrive)
            o << " size " << s.change.size
              << (s.change.withVirtualDrive ? " with virtual drive" : "");
    }
    if (!s.gaps.empty()) {
        o << ", " << s.gaps.size() << " broadcasts, gaps";
        for (DWORD g : s.gaps) o << ' ' << g;
    }
    if (s.pump) o << ", pump " << s.pump << " ms";
    if (s.fault)
        o << ", fault call " << static_cast<int>(s.injected.call) << " nth " << s.injected.nth
          << " error " << s.injected.error;
    return o.str();
}

std::vector<Step> Generate(uint32_t seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    auto gaps = [&](int most) {
        std::vector<DWORD> g(static_cast<size_t>(1 + pick(most)));
        for (DWORD& d : g) d = static_cast<DWORD>(pick(4) == 0 ? pick(12) : pick(3));
        return g;
    };
    auto change = [&] {
        static const Kind kinds[] = {Kind::AddDrive,        Kind::RemoveDrive, Kind::PlugElsewhere,
                                     Kind::UnplugElsewhere, Kind::BusGone,     Kind::BusBack};
        MachineChange c;
        c.kind = kinds[pick(6)];
        c.pick = pick(16);
        c.size = pick(4) == 0 ? 1000204886016ull : (pick(2) ? 3000592982016ull : 4000787030016ull);
        c.withVirtualDrive = pick(2) == 0;
        return c;
    };
    std::vector<Step> steps(static_cast<size_t>(3 + pick(10)));
    for (Step& s : steps) {
        const int roll = pick(100);
        // A Recover shows a box or two, which is slow under Wine: fewer of them.
        s.kind = roll < 24   ? Kind::Select
                 : roll < 42 ? Kind::Create
                 : roll < 52 ? Kind::Recover
                 : roll < 65 ? Kind::Burst
                 : roll < 70 ? Kind::Volume
                 : roll < 92 ? Kind::AddDrive  // a machine change, chosen below
                             : Kind::Settle;
        s.line = pick(5) - 1;
        s.yes = pick(3) != 0;
        s.arrival = pick(2) == 0;
        s.pump = static_cast<DWORD>(pick(3) == 0 ? pick(20) : 0);
        if (s.kind == Kind::AddDrive) {
            s.change = change();
            s.kind = s.change.kind;
        }
        if (s.kind == Kind::Recover && pick(2) == 0) s.change = change();
        if (s.kind == Kind::Burst || s.change.kind != Kind::Settle) s.gaps = gaps(6);
        if ((s.kind == Kind::Create || s.kind == Kind::Recover) && pick(5) < 2) {
            static const sim::Call calls[] = {sim::Call::GetClassDevs,
                                              sim::Call::EnumDeviceInterfaces,
                                              sim::Call::GetDeviceInterfaceDetail,
                                              sim::Call::CreateFile,
                                              sim::Call::DeviceIoControl,
                                              sim::Call::DeviceIoControl,
                                              sim::Call::HeapAlloc,
                                              sim::Call::CloseHandle};
            static const uint32_t errors[] = {5, 21, 31, 87, 1167};
            s.fault = true;
            s.injected.call = calls[pick(8)];
            s.injected.error = errors[pick(5)];
            s.injected.nth = 1 + pick(8);
        }
    }
    return steps;
}

// One dialog that plays sequence after sequence, each on a fresh machine from the same
// scenario. Play returns an empty text when every invariant held, else what broke; Where()
// then says at which step.
class Player {
public:
    Player() {
        dialog_ = std::make_unique<QuickDialog>(slot_);
        slot_.machine = machine_.get();
        LoadMachine();
        if (!dialog_->CreateModeless()) return;
        window_ = dialog_->Handle();
        SetWindowPos(window_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
        system_ = std::make_unique<testing::SystemBroadcaster>(window_);
        answerer_ = std::make_unique<testing::MessageBoxAnswerer>(IDOK, window_);
    }
    ~Player() {
        if (machine_) machine_->SetDeviceChangeObserver(nullptr);
        system_.reset();  // answers the sends still on their way
        answerer_.reset();
        if (dialog_) dialog_->DestroyWindow();
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    std::string Play(const std::vector<Step>& steps) {
        where_ = "opening";
        if (!window_) return "the dialog did not open";
        // Whatever the last sequence left on its way ends on its own machine.
        Settle();
        machine_->SetDeviceChangeObserver(nullptr);
        machine_ = std::make_unique<sim::SimulatedMachine>();
        slot_.machine = machine_.get();
        if (!LoadMachine()) return "the scenario did not load";
        // The system's burst after every plug-in and unplug, whoever sent it.
        machine_->SetDeviceChangeObserver([this] { system_->Send({{1}, {0}, {2}}); });
        scannedUnderFault_ = false;
        dialog_->ClearDriveList();
        if (!dialog_->Groups().empty() ||
            !testing::ListLines(testing::Item(window_, IDC_LIST_DRIVE)).empty())
            return "the cleared list still holds groups or lines";
        dialog_->RefreshDriveList();
        Settle();
        ui::RepaintNow(window_);
        gdiBaseline_ = ui::testing::LiveGdiObjects();
        std::string failure = Check(true);
        for (size_t i = 0; i < steps.size() && failure.empty(); ++i) {
            where_ = "step " + std::to_string(i + 1) + " (" + Describe(steps[i]) + ")";
            failure = Do(steps[i]);
            if (failure.empty()) failure = Check(steps[i].kind == Kind::Settle);
        }
        machine_->ClearFaults();
        if (failure.empty()) {
            where_ = "after the last step, settled";
            Settle();
            failure = Check(true);
        }
        return failure;
    }
    const std::string& Where() const { return where_; }

private:
    bool LoadMachine() {
        std::string error;
        return sim::LoadScenario(demo::kBuiltInScenario, *machine_, error);
    }

    // Every broadcast delivered and the rescan it asked for run.
    void Settle() {
        system_->WaitUntilDelivered();
        testing::PumpUntil([&] { return system_->Idle() && !dialog_->RescanPending(); });
    }
    void PumpFor(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        testing::PumpUntil([&] { return GetTickCount() - start >= milliseconds; });
    }

    const disk::StorageGroup* Selected() const {
        const int index = dialog_->SelectedIndex();
        const auto& groups = dialog_->Groups();
        return index >= 0 && static_cast<size_t>(index) < groups.size()
                   ? &groups[static_cast<size_t>(index)]
                   : nullptr;
    }

    void ChangeMachine(const MachineChange& c, const std::vector<DWORD>& gaps) {
        std::vector<int> physical;
        for (const sim::Drive& d : machine_->Drives())
            if (!d.virtualSerialNo) physical.push_back(d.number);
        switch (c.kind) {
            case Kind::AddDrive: {
                int number = 6 + c.pick % 10;
                while (machine_->FindDrive(number) && number < 15) ++number;
                if (machine_->FindDrive(number)) break;
                sim::Drive drive;
                drive.number = number;
                drive.size = c.size;
                drive.product = "ADDED " + std::to_string(number);
                drive.lastBlockAddress = drive.size / 512 - 1;
                machine_->AddDrive(drive);
                if (c.withVirtualDrive && drive.size > sim::kAddressLimitBytes)
                    machine_->AddVirtualDrive(static_cast<uint32_t>(number + 20), number,
                                              c.pick % 2);
                break;
            }
            case Kind::RemoveDrive:
                if (!physical.empty())
                    machine_->RemoveDrive(physical[static_cast<size_t>(c.pick) % physical.size()]);
                break;
            case Kind::PlugElsewhere:
                if (!physical.empty()) {
                    const sim::Drive* d = machine_->FindDrive(
                        physical[static_cast<size_t>(c.pick) % physical.size()]);
                    busctl::PlugInVirtualDisk(*machine_, static_cast<uint32_t>(30 + c.pick),
                                              d->deviceObjectName);
                }
                break;
            case Kind::UnplugElsewhere: {
                const auto& virtuals = machine_->Bus().VirtualDrives();
                if (virtuals.empty()) break;
                auto it = virtuals.begin();
                std::advance(it, static_cast<long>(static_cast<size_t>(c.pick) % virtuals.size()));
                const uint32_t serial = it->first;
                busctl::UnplugVirtualDisk(*machine_, serial, L"");
                break;
            }
            case Kind::BusGone:
                machine_->SetBusPresent(false);
                break;
            case Kind::BusBack:
                machine_->SetBusPresent(true);
                break;
            default:
                return;
        }
        std::vector<testing::SystemBroadcaster::Broadcast> burst;
        for (DWORD g : gaps) burst.push_back({g});
        system_->Send(burst);
    }

    // Fault armed only while nothing but the request itself can reach the machine.
    void Arm(const Step& s) {
        if (s.fault) machine_->InjectFault(s.injected);
    }

    std::vector<sim::IoctlRecord> Requests(uint32_t code) const {
        std::vector<sim::IoctlRecord> out;
        for (const auto& r : machine_->BusRequests())
            if (r.code == code) out.push_back(r);
        return out;
    }
    // A scan of all drives ran since the records were cleared: it starts at drive 0, which no
    // operation reads on its own (drive 0 of the scenario never qualifies).
    bool Rescanned() const {
        for (const auto& open : machine_->Opens())
            if (open.path == L"\\\\.\\PhysicalDrive0") return true;
        return false;
    }
    uint32_t SerialIn(const sim::IoctlRecord& r) const {
        uint32_t v = 0;
        if (r.input.size() >= 8) std::memcpy(&v, r.input.data() + 4, 4);
        return v;
    }
    std::wstring NameIn(const sim::IoctlRecord& r) const {
        return r.input.size() > 10
                   ? platform::FromUtf16Bytes(r.input.data() + 8, r.input.size() - 10)
                   : L"";
    }

    std::string Do(const Step& s) {
        machine_->ClearRecords();
        answerer_->Clear();
        answerer_->SetBeforeAnswer(nullptr);
        switch (s.kind) {
            case Kind::Select:
                // An empty list takes no clicks.
                if (!dialog_->Groups().empty()) testing::Select(window_, s.line);
                break;
            case Kind::Create:
                return DoCreate(s);
            case Kind::Recover:
                return DoRecover(s);
            case Kind::Burst: {
                std::vector<testing::SystemBroadcaster::Broadcast> burst;
                for (DWORD g : s.gaps) burst.push_back({g});
                system_->Send(burst);
                break;
            }
            case Kind::Volume:
                system_->Send(
                    {{0,
                      static_cast<WPARAM>(s.arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE),
                      DBT_DEVTYP_VOLUME}});
                break;
            case Kind::Settle:
                Settle();
                break;
            default:
                ChangeMachine(s.change, s.gaps);
                break;
        }
        PumpFor(s.pump);
        return "";
    }

    std::string DoCreate(const Step& s) {
        if (!IsWindowEnabled(testing::Item(window_, IDC_BTN_CREATE))) return "";  // not clickable
        const disk::StorageGroup* selected = Selected();
        if (!selected) return "";
        const disk::StorageGroup clicked = *selected;
        const disk::StorageGroupList listAtClick = dialog_->Groups();
        const int index = dialog_->SelectedIndex();
        const bool rescan = IsRescanState(clicked.State.Created == 1, clicked.State.Mounted == 1);
        const std::string buttons = testing::Buttons(window_);
        const std::wstring text = testing::TextOf(window_, IDC_BTN_CREATE);
        Arm(s);
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_BTN_CREATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(testing::Item(window_, IDC_BTN_CREATE)));
        machine_->ClearFaults();

        const auto plugIns = Requests(kPlugIn);
        if (!Requests(kUnplug).empty()) return "Create sent an unplug";
        if (plugIns.size() > (rescan ? 1u : 2u)) return "more plug-ins than one and its one retry";
        // The group's own serial, or the first free one for a drive without; a Create whose
        // request is refused with 87 (even before it reaches the bus driver) tries the next one.
        const uint32_t serial =
            clicked.SerialNo ? clicked.SerialNo : FindFreeSerialNo(listAtClick, 0);
        for (size_t k = 0; k < plugIns.size(); ++k) {
            if (NameIn(plugIns[k]) != clicked.DeviceObjectName)
                return "a plug-in for another drive than the one selected at the click";
            const uint32_t sent = SerialIn(plugIns[k]);
            if (k == 1 && (plugIns[0].error != 87 || sent != SerialIn(plugIns[0]) + 1))
                return "a second plug-in other than the one retry after 87";
            if (sent != serial && (rescan || sent != serial + 1))
                return "a plug-in with another serial than the selected drive's (or its first "
                       "free)";
        }
        const auto& boxes = answerer_->Boxes();
        if (boxes.size() > 1) return "more than one box for one Create";
        const bool succeeded = !plugIns.empty() && plugIns.back().error == 0 && boxes.empty();
        if (boxes.size() == 1 && (!boxes[0].exclamationIcon || boxes[0].caption != L"Overreach"))
            return "the failure box is not the error box";
        if (!succeeded && boxes.empty()) return "a failed Create showed no box";
        const disk::StorageGroup* after = Selected();
        // The error box runs a message loop of its own, in which broadcasts still on their way
        // may rebuild the list: then the list is the machine's, not the one before the click.
        const bool rescanned = Rescanned();
        scannedUnderFault_ = scannedUnderFault_ || (s.fault && rescanned);
        if (!rescanned && dialog_->SelectedIndex() != index)
            return "the selection moved during Create";
        if (succeeded) {
            if (!after || after->State.Created != 1 || after->State.Mounted != 1)
                return "after a plug-in the drive does not read as plugged in";
            if (testing::Buttons(window_) != "011")
                return "after a plug-in the buttons are not 011";
        } else if (after && !rescanned) {
            if (after->State.Created != clicked.State.Created ||
                after->State.Mounted != clicked.State.Mounted ||
                after->SerialNo != clicked.SerialNo)
                return "a failed Create changed the drive's state";
            if (testing::Buttons(window_) != buttons ||
                testing::TextOf(window_, IDC_BTN_CREATE) != text)
                return "a failed Create changed the buttons";
        }
        return "";
    }

    std::string DoRecover(const Step& s) {
        if (!IsWindowEnabled(testing::Item(window_, IDC_BTN_RECOVER))) return "";
        const disk::StorageGroup* selected = Selected();
        if (!selected) return "";
        const disk::StorageGroup clicked = *selected;
        bool answeredYes = false;
        std::unique_ptr<disk::StorageGroup> atYes;
        answerer_->SetAnswer(s.yes ? IDYES : IDNO);
        answerer_->SetBeforeAnswer([&] {
            if (answerer_->Boxes().size() != 1) return;
            if (s.change.kind != Kind::Settle) ChangeMachine(s.change, s.gaps);
            // Nothing but the answer's own request is to meet the fault.
            Settle();
            if (const disk::StorageGroup* now = Selected())
                atYes = std::make_unique<disk::StorageGroup>(*now);
            answeredYes = s.yes;
            // What the change and the rescans in the question's loop asked of the machine is
            // not the program's answer to Yes.
            machine_->ClearRecords();
            if (s.yes) Arm(s);
        });
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_BTN_RECOVER, BN_CLICKED),
                     reinterpret_cast<LPARAM>(testing::Item(window_, IDC_BTN_RECOVER)));
        machine_->ClearFaults();
        answerer_->SetBeforeAnswer(nullptr);

        const auto& boxes = answerer_->Boxes();
        const auto unplugs = Requests(kUnplug);
        if (!Requests(kPlugIn).empty()) return "Recover sent a plug-in";
        if (boxes.empty() || boxes[0].caption != L"Notice") return "Recover did not ask";
        if (!answeredYes) {
            if (!unplugs.empty()) return "an unplug after No";
            return boxes.size() == 1 ? "" : "boxes after No";
        }
        const bool same = atYes && atYes->PhysicalDriveNumber == clicked.PhysicalDriveNumber &&
                          atYes->DeviceObjectName == clicked.DeviceObjectName &&
                          atYes->SerialNo == clicked.SerialNo;
        if (!same) {
            if (!unplugs.empty())
                return "an unplug for a drive other than the one selected at the click and at Yes";
            if (boxes.size() != 2 || boxes[1].text != kListChanged)
                return "no single box saying the list changed";
            return "";
        }
        if (unplugs.size() > 1) return "more than one unplug";
        for (const auto& u : unplugs)
            if (SerialIn(u) != clicked.SerialNo) return "an unplug with another serial";
        if (boxes.size() > 2) return "more than one box after Yes";
        const bool succeeded = !unplugs.empty() && unplugs[0].error == 0 && boxes.size() == 1;
        if (!succeeded && boxes.size() != 2) return "a failed Recover showed no box";
        if (boxes.size() == 2 && !boxes[1].exclamationIcon)
            return "the failure box is not the error box";
        const disk::StorageGroup* after = Selected();
        if (succeeded &&
            (!after || after->State.Created != 0 || testing::Buttons(window_) != "100"))
            return "after an unplug the drive does not read as without a virtual drive";
        const bool rescanned = Rescanned();
        scannedUnderFault_ = scannedUnderFault_ || (s.fault && rescanned);
        if (!succeeded && !rescanned && after && after->State.Created != atYes->State.Created)
            return "a failed Recover changed the drive's state";
        return "";
    }

    // What must hold after every step; with settled, also that the list reads the machine.
    std::string Check(bool settled) {
        if (machine_->Outstanding() != sim::SimulatedMachine::Resources{})
            return "machine handles, sets or buffers left open";
        const auto& groups = dialog_->Groups();
        const int index = dialog_->SelectedIndex();
        HWND list = testing::Item(window_, IDC_LIST_DRIVE);
        const auto lines = testing::ListLines(list);
        if (lines.size() != groups.size()) return "list lines and groups differ in number";
        for (size_t i = 0; i < groups.size(); ++i)
            if (lines[i] != FormatDriveLine(groups[i].ModelText, groups[i].CapacityText))
                return "a list line that is not its group";
        const LRESULT cursel = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (!groups.empty() && (cursel != index || index >= static_cast<int>(groups.size())))
            return "the selection is not a line of the list";
        const disk::StorageGroup* g = Selected();
        const bool created = g && g->State.Created == 1, mounted = g && g->State.Mounted == 1;
        const OperationButtons table = ButtonsForSelection(created, mounted);
        const std::string expected =
            groups.empty() ? "000"
                           : std::string(table.createOrRescan ? "1" : "0") +
                                 (table.recover ? "1" : "0") + (table.partition ? "1" : "0");
        if (testing::Buttons(window_) != expected)
            return "buttons " + testing::Buttons(window_) + " where the table says " + expected;
        const bool rescanText = !groups.empty() && IsRescanState(created, mounted);
        if (testing::TextOf(window_, IDC_BTN_CREATE) != (rescanText ? L"Rescan" : L"Create"))
            return "1014 reads otherwise than the table";
        if (!settled) return "";

        // A scan that met the fault meant for a request shows what it read until the machine
        // changes again: the broadcast of such a change comes first.
        if (scannedUnderFault_) {
            system_->SendBurst(1);
            Settle();
            scannedUnderFault_ = false;
        }
        disk::StorageGroupList fresh;
        machine_->ClearFaults();
        disk::ScanStorageGroups(*machine_, fresh);
        if (!SameStorageGroups(groups, fresh))
            return "the list does not show what a fresh scan shows";
        if (const size_t live = ui::testing::LiveGdiObjects(); live != gdiBaseline_)
            return "GDI objects not flat: " + std::to_string(gdiBaseline_) + " after opening, " +
                   std::to_string(live) + " now";
        return "";
    }

    MachineSlot slot_;
    std::unique_ptr<sim::SimulatedMachine> machine_ = std::make_unique<sim::SimulatedMachine>();
    std::unique_ptr<QuickDialog> dialog_;
    HWND window_ = nullptr;
    std::unique_ptr<testing::SystemBroadcaster> system_;
    std::unique_ptr<testing::MessageBoxAnswerer> answerer_;
    size_t gdiBaseline_ = 0;
    bool scannedUnderFault_ = false;
    std::string where_;
};

struct Outcome {
    std::string what, where;  // what is empty when every invariant held
};

Outcome Play(Player& run, const std::vector<Step>& steps) {
    Outcome o;
    o.what = run.Play(steps);
    o.where = run.Where();
    return o;
}

// The shortest sequence found that still fails the same way, removing chunks of steps and
// then single ones.
std::vector<Step> Shrink(Player& run, std::vector<Step> steps, const std::string& what) {
    for (size_t chunk = steps.size() / 2; chunk >= 1; chunk /= 2) {
        for (size_t at = 0; at + chunk <= steps.size();) {
            std::vector<Step> shorter = steps;
            shorter.erase(shorter.begin() + static_cast<long>(at),
                          shorter.begin() + static_cast<long>(at + chunk));
            if (!shorter.empty() && Play(run, shorter).what == what)
                steps = shorter;
            else
                at += 1;
        }
        if (chunk == 1) break;
    }
    return steps;
}

uint32_t EnvironmentNumber(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

TEST(DialogRandomTest, EverySequenceKeepsTheModelsInvariants) {
    const uint32_t first = EnvironmentNumber("OVERREACH_RANDOM_SEED", 1);
    const uint32_t count = EnvironmentNumber("OVERREACH_RANDOM_SEQUENCES", 200);
    // With OVERREACH_RANDOM_SURVEY set, every failing seed is listed instead of the first one
    // shrunk.
    const bool survey = std::getenv("OVERREACH_RANDOM_SURVEY") != nullptr;
    const DWORD start = GetTickCount();
    Player run;
    for (uint32_t seed = first; seed < first + count; ++seed) {
        const std::vector<Step> steps = Generate(seed);
        const Outcome failure = Play(run, steps);
        if (failure.what.empty()) continue;
        if (survey) {
            ADD_FAILURE() << "seed " << seed << ": " << failure.where << ": " << failure.what;
            continue;
        }
        const std::vector<Step> shortest = Shrink(run, steps, failure.what);
        const Outcome again = Play(run, shortest);
        std::ostringstream o;
        o << "seed " << seed << " (sequence " << seed - first + 1 << " of the run) fails at "
          << failure.where << ": " << failure.what << "\nshortest failing sequence (" << again.where
          << ": " << again.what << "):\n";
        for (const Step& s : shortest) o << "  " << Describe(s) << "\n";
        FAIL() << o.str();
    }
    std::printf("%u sequences from seed %u passed in %lu ms\n", count, first,
                static_cast<unsigned long>(GetTickCount() - start));
}

}  // namespace
}  // namespace app
