// The whole main dialog on the simulated machine, driven by seeded random sequences of what a
// user, the system and the machine do to it: selections, Create/Rescan, Recover answered Yes
// or No with the question kept open, device and volume broadcasts from another thread,
// drives and virtual drives that come and go (between steps, inside boxes, between two
// device calls of one operation), the bus driver gone and back, and faults at any device
// call, rescans included. After every step the window and the machine's records are held to
// an independent model (app/testing/DialogModel.h). A failing sequence is shrunk and printed
// as text that the test reads back:
//   OVERREACH_RANDOM_SEED (default 1), OVERREACH_RANDOM_SEQUENCES (default 200): the run;
//   OVERREACH_RANDOM_REPLAY=FILE: play the sequence written in FILE, and nothing else;
//   OVERREACH_RANDOM_SURVEY: list every failing seed instead of shrinking the first;
//   OVERREACH_RANDOM_SKIP=question: look past the Recover question's form;
//   OVERREACH_RANDOM_TRACE: print the list after every step.
// tools/dialog-fuzz.sh runs a long one.
#include <windows.h>
// windows.h first: the broadcast header needs its types.
#include <dbt.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/demo/BuiltInScenario.h"
#include "app/testing/DialogKit.h"
#include "app/testing/DialogModel.h"
#include "app/testing/MessageBoxes.h"
#include "app/testing/RandomSequence.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"
#include "win32ui/testing/GdiLedger.h"

namespace app {
namespace {

using testing::ChangeKind;
using testing::ChangeWhen;
using testing::DialogView;
using testing::ModelLine;
using testing::RandomSequence;
using testing::RandomStep;
using testing::StepKind;

// The bus driver's control codes, spelled out rather than taken from the client.
constexpr uint32_t kPlugIn = 0x2A4004, kUnplug = 0x2A4008;
const wchar_t kListChanged[] = L"The drive list changed while you were asked. Nothing was deleted.";
const wchar_t kRecoverQuestion[] =
    L"All data on the hard drive will be deleted during the recovery process. Are you sure you "
    L"want to continue?";

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

// The dialog, with the rescan's waits chosen per sequence.
class TimedDialog : public CFarspanDlg {
public:
    explicit TimedDialog(platform::DeviceIo& io) : CFarspanDlg(io) {}
    using CFarspanDlg::SetRescanWait;
};

std::string Narrow(const std::wstring& w) {
    return std::string(w.begin(), w.end());
}

bool Skipped(const char* invariant) {
    const char* skip = std::getenv("OVERREACH_RANDOM_SKIP");
    return skip && std::strstr(skip, invariant);
}

// One dialog that plays sequence after sequence, each on a fresh machine. Play returns an
// empty text when every invariant held, else "invariant: what broke"; Where() says when.
class Player {
public:
    Player() {
        dialog_ = std::make_unique<TimedDialog>(slot_);
        slot_.machine = machine_.get();
        if (!dialog_->CreateModeless()) return;
        window_ = dialog_->Handle();
        SetWindowPos(window_, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
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

    std::string Play(const RandomSequence& seq) {
        where_ = "opening";
        if (!window_) return "setup: the dialog did not open";
        Settle();  // what the last sequence left on its way ends on its own machine
        machine_->SetDeviceChangeObserver(nullptr);
        machine_ = std::make_unique<sim::SimulatedMachine>();
        slot_.machine = machine_.get();
        // Device object names never met before: the dialog outlives the machine, and what it
        // plugged in on one machine must not carry over to a drive of the next by its name.
        ++sequences_;
        std::string scenario, error;
        for (const std::string& m : seq.machine) {
            scenario += m;
            if (m.rfind("drive ", 0) == 0 && m.find("pdo=") == std::string::npos)
                scenario += " pdo=" + Narrow(DeviceName(std::atoi(m.c_str() + 6)));
            scenario += "\n";
        }
        if (!sim::LoadScenario(scenario, *machine_, error)) return "setup: " + error;
        // The system's burst after every plug-in and unplug, whoever sent it.
        machine_->SetDeviceChangeObserver([this] {
            model_.MachineChanged(*machine_);
            system_->Send({{1}, {0}, {2}});
        });
        realTiming_ = seq.realTiming;
        dialog_->SetRescanWait(seq.realTiming ? 150 : 4, seq.realTiming ? 1000 : 30);
        dialog_->ClearDriveList();
        if (seq.startFault.on) Arm(seq.startFault);
        dialog_->RefreshDriveList();
        model_.Start(*machine_);
        // The list shown as far as the scan got is read again without any broadcast.
        if (seq.startFault.on) {
            machine_->ClearFaults();
            testing::PumpUntil([&] { return !dialog_->RetryPending(); }, 3000);
        }
        Settle();
        ui::RepaintNow(window_);
        gdiBaseline_ = ui::testing::LiveGdiObjects();
        userBaseline_ = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
        where_ = "after opening";
        std::string failure = Check(true);
        for (size_t i = 0; i < seq.steps.size() && failure.empty(); ++i) {
            where_ = "step " + std::to_string(i + 1) + " (" + Describe(seq.steps[i]) + ")";
            failure = Do(seq.steps[i]);
            if (failure.empty()) failure = Check(seq.steps[i].kind == StepKind::Settle);
        }
        if (failure.empty()) {
            where_ = "after the last step, settled";
            Settle();
            failure = Check(true);
        }
        machine_->ClearFaults();
        machine_->SetCallHook(nullptr);
        return failure;
    }
    const std::string& Where() const { return where_; }

private:
    std::wstring DeviceName(int number) const {
        wchar_t name[32];
        std::swprintf(name, 32, L"\\Device\\%08u",
                      static_cast<unsigned>(sequences_ % 1000000 * 100 + number));
        return name;
    }

    // Every broadcast delivered and the rescan it asked for run, with the faults gone. A scan
    // that took a fault for an answer shows what it read until the machine's next change, so
    // a broadcast stands for that change first.
    void Settle() {
        machine_->ClearFaults();
        machine_->SetCallHook(nullptr);
        if (misread_) system_->SendBurst(1);
        system_->WaitUntilDelivered();
        auto quiet = [&] { return system_->Idle() && !dialog_->RescanPending(); };
        testing::PumpUntil(quiet);
        // A scan that stopped early is tried again a second or more later; a broadcast starts
        // the short wait instead, which most sequences take. Without the bus driver the tries
        // go on for seconds: not waited for.
        if (dialog_->RetryPending() && machine_->BusPresent()) {
            if (!realTiming_) system_->SendBurst(1);
            testing::PumpUntil([&] { return quiet() && !dialog_->RetryPending(); }, 9000);
        }
        if (misread_) model_.MayHaveMisread();
        misread_ = false;
    }
    void PumpFor(int milliseconds) {
        const DWORD start = GetTickCount();
        testing::PumpUntil(
            [&] { return GetTickCount() - start >= static_cast<DWORD>(milliseconds); });
    }

    testing::WindowLook LookAtWindow() const {
        testing::WindowLook w;
        HWND list = testing::Item(window_, IDC_LIST_DRIVE);
        w.lines = testing::ListLines(list);
        w.selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
        w.buttons = testing::Buttons(window_);
        w.createText = testing::TextOf(window_, IDC_BTN_CREATE);
        w.createDescription = testing::TextOf(window_, IDC_CREATE_DESCRIPTION);
        w.otherTexts = testing::TextOf(window_, IDC_BTN_RECOVER) + L"|" +
                       testing::TextOf(window_, IDC_BTN_PARTITION);
        return w;
    }

    // A scan ran in this step (it opens every drive number, a re-read only one) and a fault
    // that a scan takes for an answer fired, or the machine changed between two of its calls
    // (a drive pulled while the scan walks the interfaces hides the drives looked up after).
    bool MayHaveMisread() const {
        const bool fired = machine_->FaultsFired() != firedAtStart_ && acceptedCode_;
        if (!fired && !changedInCall_) return false;
        std::vector<std::wstring> paths;
        for (const auto& open : machine_->Opens())
            if (open.path.find(L"PhysicalDrive") != std::wstring::npos &&
                std::find(paths.begin(), paths.end(), open.path) == paths.end())
                paths.push_back(open.path);
        return paths.size() > 1 ||
               std::find(paths.begin(), paths.end(), L"\\\\.\\PhysicalDrive0") != paths.end();
    }

    void ChangeMachine(const testing::MachineChange& c, const RandomStep& s) {
        constexpr uint64_t kLimit = uint64_t{1} << 41;
        std::vector<const sim::Drive*> physical;
        for (const sim::Drive& d : machine_->Drives())
            if (!d.virtualSerialNo) physical.push_back(&d);
        auto virtualOf = [&](const sim::Drive& d) {
            for (const auto& [serial, v] : machine_->Bus().VirtualDrives())
                if (v.physicalName ==
                    std::u16string(d.deviceObjectName.begin(), d.deviceObjectName.end()))
                    return serial;
            return 0u;
        };
        auto free = [&](uint32_t serial) { return !machine_->Bus().VirtualDrives().count(serial); };
        std::vector<uint32_t> virtuals;
        for (const auto& [serial, v] : machine_->Bus().VirtualDrives())
            if (c.kind != ChangeKind::UnmountElsewhere || v.mounted) virtuals.push_back(serial);
        const size_t at = static_cast<size_t>(c.pick);
        switch (c.kind) {
            case ChangeKind::AddDrive: {
                int number = 6 + c.pick % 10;
                while (machine_->FindDrive(number) && number < 15) ++number;
                if (machine_->FindDrive(number)) return;
                sim::Drive d;
                d.number = number;
                d.size = c.size;
                d.bytesPerBlock = c.blockSize;
                d.partitionStyle = static_cast<uint32_t>(c.style);
                d.vendor = c.flags.find('a') != std::string::npos ? "ASUS" : "";
                d.product = "ADDED" + std::to_string(number);
                d.deviceObjectName = DeviceName(50 + number);
                d.lastBlockAddress = d.size / d.bytesPerBlock - 1;
                if (c.flags.find('r') != std::string::npos) d.lastBlockAddress &= ~0xFFFFFFFFull;
                machine_->AddDrive(d);
                const uint32_t serial = 40 + static_cast<uint32_t>(number);
                if (c.flags.find_first_of("vu") != std::string::npos && d.size > kLimit &&
                    free(serial))
                    machine_->AddVirtualDrive(serial, number,
                                              c.flags.find('v') != std::string::npos);
                break;
            }
            case ChangeKind::RemoveDrive:
                if (physical.empty()) return;
                machine_->RemoveDrive(physical[at % physical.size()]->number);
                break;
            case ChangeKind::PlugElsewhere: {
                std::vector<const sim::Drive*> without;
                for (const sim::Drive* d : physical)
                    if (d->size > kLimit && !virtualOf(*d)) without.push_back(d);
                const uint32_t serial = 30 + static_cast<uint32_t>(c.pick % 10);
                if (without.empty() || !free(serial)) return;
                machine_->AddVirtualDrive(serial, without[at % without.size()]->number, true);
                break;
            }
            case ChangeKind::UnmountElsewhere:
            case ChangeKind::RemoveVirtual: {
                if (virtuals.empty()) return;
                const uint32_t serial = virtuals[at % virtuals.size()];
                if (c.kind == ChangeKind::RemoveVirtual) {
                    machine_->RemoveVirtualDrive(serial);
                    break;
                }
                const sim::Drive* parent = nullptr;
                for (const sim::Drive* d : physical)
                    if (virtualOf(*d) == serial) parent = d;
                if (!parent) return;
                machine_->AddVirtualDrive(serial, parent->number, false);
                break;
            }
            case ChangeKind::BusGone:
                machine_->SetBusPresent(false);
                break;
            case ChangeKind::BusBack:
                machine_->SetBusPresent(true);
                break;
            case ChangeKind::None:
                return;
        }
        model_.MachineChanged(*machine_);
        Broadcast(s);
    }
    void Broadcast(const RandomStep& s) {
        std::vector<testing::SystemBroadcaster::Broadcast> burst;
        if (s.volume && s.gaps.empty())
            burst.push_back({0, static_cast<WPARAM>(DBT_DEVICEARRIVAL), DBT_DEVTYP_VOLUME});
        for (size_t i = 0; i < s.gaps.size(); ++i) {
            burst.push_back({static_cast<DWORD>(s.gaps[i])});
            if (s.volume && i == 0)
                burst.push_back({0, static_cast<WPARAM>(DBT_DEVICEARRIVAL), DBT_DEVTYP_VOLUME});
        }
        if (s.volume)
            burst.push_back({0, static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE), DBT_DEVTYP_VOLUME});
        system_->Send(burst);
    }

    void Arm(const testing::FaultPlan& plan) {
        firedAtStart_ = machine_->FaultsFired();
        acceptedCode_ = false;
        if (!plan.on) return;
        acceptedCode_ = plan.error == 2 || plan.error == 87 || plan.error == 259;
        for (int k = 0; k < plan.count; ++k) {
            sim::Fault f;
            f.call = plan.call;
            f.error = plan.error;
            f.nth = plan.nth + k;
            if (plan.bus >= 0) f.bus = plan.bus == 1;
            if (plan.ioctl) f.ioctl = plan.ioctl;
            machine_->InjectFault(f);
        }
    }

    std::string Do(const RandomStep& s) {
        machine_->ClearRecords();
        answerer_->Clear();
        answerer_->SetBeforeAnswer(nullptr);
        Arm(s.fault);
        boxes_ = 0;
        changedInCall_ = false;
        inBoxFailure_.clear();
        if (s.when == ChangeWhen::AfterCall && s.change.kind != ChangeKind::None) {
            const size_t at = machine_->DeviceCalls() + static_cast<size_t>(s.afterCall);
            machine_->SetCallHook([this, at, &s](size_t calls) {
                if (calls != at) return;
                // Clearing the hook ends this closure: what it holds is taken first.
                Player* self = this;
                const RandomStep& step = s;
                self->machine_->SetCallHook(nullptr);
                self->changedInCall_ = true;
                self->ChangeMachine(step.change, step);
            });
        }
        // Each box is read, kept open a while (the window's timers and the broadcasts run
        // inside its loop), and for the question the machine may change meanwhile.
        answerer_->SetBeforeAnswer([this, &s] {
            if (++boxes_ == 1 && s.when == ChangeWhen::InBox) ChangeMachine(s.change, s);
            PumpFor(s.boxOpen);
            if (boxes_ == 1 && s.kind == StepKind::Recover) AtAnswer(s);
        });
        std::string failure;
        const bool now = s.change.kind != ChangeKind::None &&
                         (s.kind == StepKind::Change || s.when == ChangeWhen::Now);
        if (now) ChangeMachine(s.change, s);
        const bool empty = testing::ListLines(testing::Item(window_, IDC_LIST_DRIVE)).empty();
        switch (s.kind) {
            case StepKind::Select:
                // A line of an empty list cannot be clicked.
                if (!empty) {
                    testing::Select(window_, s.line);
                    model_.UserSelects(s.line);
                }
                break;
            case StepKind::Create:
                if (IsWindowEnabled(testing::Item(window_, IDC_BTN_CREATE))) failure = DoCreate(s);
                break;
            case StepKind::Recover:
                if (IsWindowEnabled(testing::Item(window_, IDC_BTN_RECOVER)))
                    failure = DoRecover(s);
                break;
            case StepKind::Broadcasts:
                if (!now) Broadcast(s);
                break;
            case StepKind::Settle:
                Settle();
                break;
            default:
                break;
        }
        answerer_->SetBeforeAnswer(nullptr);
        if (!failure.empty()) return failure;
        if (!inBoxFailure_.empty()) return inBoxFailure_;
        PumpFor(s.pump);
        machine_->ClearFaults();
        machine_->SetCallHook(nullptr);
        misread_ = misread_ || MayHaveMisread();
        return "";
    }

    std::vector<sim::IoctlRecord> Requests(uint32_t code) const {
        std::vector<sim::IoctlRecord> out;
        for (const auto& r : machine_->BusRequests())
            if (r.code == code) out.push_back(r);
        return out;
    }
    static uint32_t SerialIn(const sim::IoctlRecord& r) {
        uint32_t v = 0;
        if (r.input.size() >= 8) std::memcpy(&v, r.input.data() + 4, 4);
        return v;
    }
    static std::wstring NameIn(const sim::IoctlRecord& r) {
        std::wstring name;
        for (size_t i = 8; i + 1 < r.input.size(); i += 2) {
            const wchar_t c = static_cast<wchar_t>(r.input[i] | (r.input[i + 1] << 8));
            if (!c) break;
            name += c;
        }
        return name;
    }

    // Create or Rescan on the user's drive: the request the model says, one box exactly when
    // it failed, and after a plug-in the drive reads as plugged in.
    std::string DoCreate(const RandomStep& s) {
        const std::vector<DialogView> before = model_.Views();
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_BTN_CREATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(testing::Item(window_, IDC_BTN_CREATE)));
        const auto plugIns = Requests(kPlugIn);
        const auto& boxes = answerer_->Boxes();
        if (!Requests(kUnplug).empty()) return "create: Create sent an unplug";
        if (boxes.size() > 1) return "create: more than one box for one click";
        if (boxes.size() == 1 && (!boxes[0].exclamationIcon || boxes[0].caption != L"Overreach"))
            return "create: the failure box is not the error box";
        const bool succeeded = boxes.empty();
        if (succeeded && (plugIns.empty() || plugIns.back().error != 0))
            return "create: a failed plug-in showed no box";
        std::vector<DialogView> after;
        std::string why = "create: the click had no line to act on";
        for (DialogView v : before) {
            ModelLine* line = v.selected >= 0 ? &v.lines[static_cast<size_t>(v.selected)] : nullptr;
            if (!line) continue;
            const bool rescan = line->created && !line->mounted;
            uint32_t serial = rescan ? line->serial : testing::SerialForCreate(v);
            bool fits = true;
            // A plug-in refused with 87 before its request went out is retried all the same.
            const bool refusedUnsent = !rescan && s.fault.on && s.fault.error == 87 &&
                                       !plugIns.empty() && SerialIn(plugIns[0]) == serial + 1;
            for (size_t k = 0; k < plugIns.size() && fits; ++k) {
                const bool retry =
                    (k == 1 && !rescan && plugIns[0].error == 87) || (k == 0 && refusedUnsent);
                if (k > 1 || (k == 1 && !retry) || (k == 1 && refusedUnsent)) {
                    why = "create: more plug-ins than one and its one retry after 87";
                    fits = false;
                } else if (NameIn(plugIns[k]) != line->name) {
                    why = "create: a plug-in for another drive than the user's";
                    fits = false;
                } else if (SerialIn(plugIns[k]) != serial + (retry ? 1 : 0)) {
                    why = "create: plug-in with serial " + std::to_string(SerialIn(plugIns[k])) +
                          " where the model says " + std::to_string(serial + (retry ? 1 : 0));
                    fits = false;
                }
            }
            // (The retry itself may fail before its request goes out.)
            if (!plugIns.empty() && plugIns[0].error == 87 && !rescan && plugIns.size() == 1 &&
                !refusedUnsent && machine_->FaultsFired() == firedAtStart_) {
                why =
                    "create: a plug-in refused with 87 was not tried once more with the next "
                    "serial";
                fits = false;
            }
            if (!fits) continue;
            if (succeeded) {
                line->serial = SerialIn(plugIns.back());
                line->created = line->mounted = true;
                v.plugged[line->name] = line->serial;
                // A re-read that finds the virtual drive unplugged by then is believed.
                for (const ModelLine& now : model_.Latest().lines)
                    if (!rescan && now.name == line->name && now.serial == line->serial &&
                        !now.mounted) {
                        DialogView unplugged = v;
                        unplugged.plugged.erase(line->name);
                        unplugged.lines[static_cast<size_t>(v.selected)].mounted = false;
                        after.push_back(unplugged);
                    }
            }
            after.push_back(v);
        }
        if (after.empty()) return why;
        model_.Views() = after;
        // Nothing has run between the click and here unless a box did: the drive must read
        // plugged in at once, before any rescan.
        if (succeeded) {
            const std::string wrong = model_.Look(LookAtWindow(), false);
            if (!wrong.empty()) return "plugged-in: after a plug-in that succeeded, " + wrong;
        }
        return "";
    }

    // Inside the question, just before the answer: what the dialog shows then is what the
    // answer applies to.
    void AtAnswer(const RandomStep& s) {
        model_.MayHaveRescanned();
        // A scan in the question's loop that took a fault for an answer shows what it read:
        // then only the next true scan is held to the model.
        const std::string wrong = MayHaveMisread() ? "" : model_.Look(LookAtWindow(), false);
        if (!wrong.empty()) inBoxFailure_ = "view: while the question was open, " + wrong;
        answerer_->SetAnswer(s.yes ? IDYES : IDNO);
        atYes_ = model_.Views();
    }

    std::string DoRecover(const RandomStep& s) {
        struct Asked {
            int number;
            std::wstring name, text;
            uint32_t serial;
        };
        std::vector<Asked> asked;
        for (DialogView& v : model_.Views()) {
            v.asked.reset();
            if (const ModelLine* l = v.Selected()) {
                asked.push_back({l->number, l->name, l->text, l->serial});
                v.asked = *l;
            }
        }
        if (asked.empty()) return "recover: the click had no line to act on";
        answerer_->SetAnswer(IDNO);
        atYes_.clear();
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_BTN_RECOVER, BN_CLICKED),
                     reinterpret_cast<LPARAM>(testing::Item(window_, IDC_BTN_RECOVER)));
        if (!inBoxFailure_.empty()) return inBoxFailure_;
        const auto& boxes = answerer_->Boxes();
        const auto unplugs = Requests(kUnplug);
        if (!Requests(kPlugIn).empty()) return "recover: Recover sent a plug-in";
        if (boxes.empty()) return "recover: Recover did not ask";
        if (!Skipped("question")) {
            // String 301, then on a line of its own the drive as listed and its number.
            const std::wstring& q = boxes[0].text;
            const size_t own = q.find(L"\n", wcslen(kRecoverQuestion));
            bool named = false;
            for (const Asked& a : asked)
                named = named ||
                        (own != std::wstring::npos && q.find(a.text, own) != std::wstring::npos &&
                         q.find(std::to_wstring(a.number), own) != std::wstring::npos);
            if (q.rfind(kRecoverQuestion, 0) != 0 || !named)
                return "question: the question does not name the drive on a line of its own: \"" +
                       Narrow(q) + "\"";
            if (!boxes[0].exclamationIcon) return "question: the question shows no warning icon";
            if (boxes[0].defaultButton != IDNO)
                return "question: No is not the question's default button";
        }
        if (!s.yes) {
            if (!unplugs.empty()) return "recover: an unplug after No";
            return boxes.size() == 1 ? "" : "recover: boxes after No";
        }
        if (unplugs.size() > 1) return "recover: more than one unplug";
        for (const auto& u : unplugs) {
            bool known = false;
            for (const Asked& a : asked) known = known || SerialIn(u) == a.serial;
            if (!known)
                return "recover: unplug of serial " + std::to_string(SerialIn(u)) +
                       ", not the virtual drive of the drive the user was asked about";
        }
        if (boxes.size() > 2) return "recover: more than one box after Yes";
        if (boxes.size() == 2 && !boxes[1].exclamationIcon)
            return "recover: the second box is not an error box";
        const bool sent = !unplugs.empty();
        const bool succeeded = sent && unplugs[0].error == 0 && boxes.size() == 1;
        // The box that says the list changed, or an error box: the unplug was tried (it can
        // fail before its request goes out).
        const bool listChanged = boxes.size() == 2 && boxes[1].text == kListChanged;
        const bool tried = !listChanged;
        if (sent && listChanged) return "recover: an unplug, and a box saying nothing was deleted";
        if (sent && unplugs[0].error != 0 && boxes.size() != 2)
            return "recover: a failed unplug showed no box";
        if (!sent && boxes.size() != 2) return "recover: Yes sent nothing and said nothing";
        // Which of the views at the answer allow what happened: the unplug only while the
        // drive asked about is still the selected one, with the same virtual drive.
        std::vector<DialogView> after;
        for (DialogView v : atYes_) {
            const ModelLine* l = v.Selected();
            const bool same = l && v.asked && l->number == v.asked->number &&
                              l->name == v.asked->name && l->serial == v.asked->serial;
            v.asked.reset();
            if (same != tried && !misread_ && !MayHaveMisread()) continue;
            if (succeeded && l) v.lines[static_cast<size_t>(v.selected)].created = false;
            // Unplugged, or not known to the bus driver: no longer what this program plugged
            // in. An unplug that failed before its request went out may have failed with 2.
            if (l && (succeeded || (sent && unplugs[0].error == 2))) v.plugged.erase(l->name);
            if (l && tried && !sent && v.plugged.count(l->name)) {
                DialogView forgot = v;
                forgot.plugged.erase(l->name);
                after.push_back(forgot);
            }
            after.push_back(v);
        }
        if (after.empty())
            return tried ? "recover: an unplug though the drive asked about is no longer selected"
                         : "recover: no unplug though the drive asked about is still selected";
        model_.Views() = after;
        return "";
    }

    // What must hold after every step; settled, also that the window shows the machine.
    std::string Check(bool settled) {
        if (machine_->Outstanding() != sim::SimulatedMachine::Resources{})
            return "resources: machine handles, sets or buffers left open";
        if (machine_->Bus().PlugInsWhilePluggedIn())
            return "second plug-in: a plug-in was sent for a virtual drive already plugged in";
        if (misread_) {
            Settle();
            settled = true;
        }
        model_.MayHaveRescanned();
        if (std::getenv("OVERREACH_RANDOM_TRACE")) {
            std::printf("%s:", where_.c_str());
            for (const std::wstring& l : LookAtWindow().lines) std::printf(" [%ls]", l.c_str());
            std::printf(" selected %d\n", LookAtWindow().selected);
        }
        const std::string wrong = model_.Look(LookAtWindow(), settled);
        if (!wrong.empty()) return (settled ? "settled view: " : "view: ") + wrong;
        if (!settled) return "";
        if (!IsWindowVisible(window_)) return "window: the dialog is hidden";
        testing::PumpMessages();
        if (GetUpdateRect(window_, nullptr, FALSE)) return "window: left unpainted";
        if (const size_t live = ui::testing::LiveGdiObjects(); live != gdiBaseline_)
            return "gdi: " + std::to_string(gdiBaseline_) + " GDI objects after opening, " +
                   std::to_string(live) + " now";
        if (const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
            user != userBaseline_)
            return "user objects: " + std::to_string(userBaseline_) + " after opening, " +
                   std::to_string(user) + " now";
        return "";
    }

    MachineSlot slot_;
    std::unique_ptr<sim::SimulatedMachine> machine_ = std::make_unique<sim::SimulatedMachine>();
    std::unique_ptr<TimedDialog> dialog_;
    HWND window_ = nullptr;
    std::unique_ptr<testing::SystemBroadcaster> system_;
    std::unique_ptr<testing::MessageBoxAnswerer> answerer_;
    testing::DialogModel model_;
    std::vector<DialogView> atYes_;
    size_t gdiBaseline_ = 0;
    DWORD userBaseline_ = 0;
    size_t firedAtStart_ = 0;
    unsigned sequences_ = 0;
    bool acceptedCode_ = false, misread_ = false, realTiming_ = false, changedInCall_ = false;
    int boxes_ = 0;
    std::string inBoxFailure_, where_;
};

struct Outcome {
    std::string what, where;  // what is empty when every invariant held
    std::string Invariant() const { return what.substr(0, what.find(':')); }
};

Outcome Play(Player& run, const RandomSequence& seq) {
    Outcome o;
    o.what = run.Play(seq);
    o.where = run.Where();
    return o;
}

// The simplest sequence found that still breaks the same invariant.
RandomSequence Shrink(Player& run, RandomSequence seq, const std::string& invariant) {
    for (int plays = 0; plays < 400;) {
        bool simpler = false;
        for (const RandomSequence& candidate : testing::Simpler(seq)) {
            ++plays;
            if (Play(run, candidate).Invariant() == invariant) {
                seq = candidate;
                simpler = true;
                break;
            }
        }
        if (!simpler) break;
    }
    return seq;
}

uint32_t EnvironmentNumber(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

std::string Report(Player& run, const RandomSequence& failing, const Outcome& first) {
    const RandomSequence shortest = Shrink(run, failing, first.Invariant());
    const Outcome again = Play(run, shortest);
    const std::string text = testing::ToText(shortest);
    const char* file = "dialog-random-failure.txt";
    std::ofstream(file) << text;
    std::ostringstream o;
    o << "fails at " << first.where << ": " << first.what << "\nshortest failing sequence ("
      << again.where << ": " << (again.what.empty() ? "passed on this replay" : again.what)
      << "):\n"
      << text << "written to " << file << "; replay it with OVERREACH_RANDOM_REPLAY=" << file
      << "\n(waits, box times and broadcast gaps are real time: a replay may order them otherwise)";
    return o.str();
}

TEST(DialogRandomTest, EverySequenceKeepsTheModelsInvariants) {
    Player run;
    if (const char* replay = std::getenv("OVERREACH_RANDOM_REPLAY"); replay && *replay) {
        std::ifstream in(replay);
        std::stringstream text;
        text << in.rdbuf();
        RandomSequence seq;
        std::string error;
        ASSERT_TRUE(testing::FromText(text.str(), seq, error)) << replay << ": " << error;
        const Outcome o = Play(run, seq);
        EXPECT_EQ("", o.what) << o.where;
        return;
    }
    const uint32_t first = EnvironmentNumber("OVERREACH_RANDOM_SEED", 1);
    const uint32_t count = EnvironmentNumber("OVERREACH_RANDOM_SEQUENCES", 200);
    const bool survey = std::getenv("OVERREACH_RANDOM_SURVEY") != nullptr;
    const DWORD start = GetTickCount();
    DWORD realTime = 0;
    uint32_t real = 0;
    for (uint32_t seed = first; seed < first + count; ++seed) {
        const RandomSequence seq = testing::Generate(seed, demo::kBuiltInScenario);
        const DWORD began = GetTickCount();
        const Outcome failure = Play(run, seq);
        if (seq.realTiming) {
            ++real;
            realTime += GetTickCount() - began;
        }
        if (failure.what.empty()) continue;
        if (survey) {
            ADD_FAILURE() << "seed " << seed << ": " << failure.where << ": " << failure.what;
            continue;
        }
        FAIL() << "seed " << seed << " (sequence " << seed - first + 1 << " of the run) "
               << Report(run, seq, failure);
    }
    std::printf(
        "%u sequences from seed %u passed in %lu ms (%u with the product's own waits, "
        "%lu ms of it)\n",
        count, first, static_cast<unsigned long>(GetTickCount() - start), real,
        static_cast<unsigned long>(realTime));
}

}  // namespace
}  // namespace app
