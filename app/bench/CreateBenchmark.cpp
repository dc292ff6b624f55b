// How long the main dialog cannot repaint after a Create, on a simulated machine with four
// qualifying drives that takes the product's own time for its waits and broadcasts its device
// changes from another thread as the system does (three per plug-in, each sent and waited
// for). Once as the program does it, the burst answered by one rescan, and once rescanning for
// every broadcast.
//   CreateBenchmark.exe [rounds]
// With --live-update <stand-in.exe>, the time a Live update click holds the window when the
// updater takes 3 s to start, against WinExec's time for the same start.
// With --bursts, the demonstration build is started as a process of its own on the same
// machine, and after a Create on one of its lines this process sends it bursts of 5, 10 and
// 20 DBT_DEVNODES_CHANGED one after another, each SendMessageW waiting for the answer: how
// long each send took, how many scans the burst cost, and whether the list then shows the
// machine as it is.
//   CreateBenchmark.exe --bursts [OverreachDemo.exe]
#include <windows.h>

#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/demo/DeviceBroadcaster.h"
#include "busctl/BusProtocol.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"

namespace {

const char kFourDrives[] = R"(bus present
drive 0 size=500107862016 product="System SSD"
drive 1 size=3000592982016 product="Drive One"
drive 2 size=3000592982016 product="Drive Two"
drive 3 size=4000787030016 product="Drive Three"
drive 4 size=4000787030016 product="Drive Four"
)";
constexpr int kQualifying = 4;

// The dialog as it would be without coalescing: a full rescan for every broadcast.
class RescanPerBroadcast : public app::CFarspanDlg {
public:
    using CFarspanDlg::CFarspanDlg;

protected:
    const ui::MessageMap& GetMessageMap() const override {
        static const ui::MessageEntry entries[] = {
            ui::OnMessage<&RescanPerBroadcast::OnDeviceChange>(WM_DEVICECHANGE)};
        static const ui::MessageMap map{&CFarspanDlg::ClassMap(), entries};
        return map;
    }

private:
    LRESULT OnDeviceChange(WPARAM event, LPARAM) {
        if (event == DBT_DEVNODES_CHANGED) UpdateStorageGroupEx1();
        return 0;
    }
};

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

struct Round {
    double blocked = 0;  // the Create's handler and every message after it, summed
    double longest = 0;  // the longest single stretch without a chance to repaint
    size_t scans = 0;
};

template <class Dialog>
bool RunRound(Round& round) {
    sim::SimulatedMachine machine;
    std::string error;
    if (!sim::LoadScenario(kFourDrives, machine, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    Dialog dialog(machine);
    if (!dialog.CreateModeless()) return false;
    HWND window = dialog.Handle();
    SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ui::RepaintNow(window);
    machine.SetRealWaits(true);
    {
        app::demo::DeviceBroadcaster broadcaster;
        machine.SetDeviceChangeObserver([&broadcaster] { broadcaster.DevicesChanged(); });
        machine.ClearRecords();

        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_BTN_CREATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_BTN_CREATE)));
        QueryPerformanceCounter(&end);
        round.blocked = round.longest = Milliseconds(start, end);

        // Every message until the queue stays quiet for half a second: the broadcasts (sent
        // to this thread from the broadcaster's) and what they ask for.
        for (;;) {
            if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 500, QS_ALLINPUT) == WAIT_TIMEOUT)
                break;
            QueryPerformanceCounter(&start);
            MSG m;
            // Sent messages are delivered inside PeekMessage itself.
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
            QueryPerformanceCounter(&end);
            const double spent = Milliseconds(start, end);
            round.blocked += spent;
            round.longest = std::max(round.longest, spent);
        }
        machine.SetDeviceChangeObserver(nullptr);
    }
    size_t lookups = 0;
    for (const auto& r : machine.BusRequests()) lookups += r.code == busctl::BUS_LOOKUP_SERIAL;
    round.scans = lookups / kQualifying;
    dialog.DestroyWindow();
    return true;
}

template <class Dialog>
bool Report(const char* name, int rounds) {
    std::vector<Round> all;
    for (int i = 0; i < rounds; ++i) {
        Round r;
        if (!RunRound<Dialog>(r)) return false;
        all.push_back(r);
    }
    std::sort(all.begin(), all.end(),
              [](const Round& a, const Round& b) { return a.blocked < b.blocked; });
    const Round& median = all[all.size() / 2];
    std::printf(
        "%-26s blocked after a Create: median %.0f ms (longest stretch %.0f ms), %zu rescans for "
        "one burst of %d broadcasts\n",
        name, median.blocked, median.longest, median.scans, app::demo::DeviceBroadcaster::kBurst);
    return true;
}

// --- bursts sent from another process ------------------------------------------------------

struct DemoWindow {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindDemoDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DemoWindow*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !IsWindowVisible(window) || !GetDlgItem(window, IDC_LIST_DRIVE))
        return TRUE;
    search->found = window;
    return FALSE;
}

size_t SerialLookups(HWND dialog) {
    return reinterpret_cast<uintptr_t>(GetPropW(dialog, L"OverreachDemo.SerialLookups"));
}

std::string Buttons(HWND dialog) {
    std::string s;
    for (int id : {IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION})
        s += IsWindowEnabled(GetDlgItem(dialog, id)) ? "1" : "0";
    return s;
}

// Waits until the count has not moved for a while: the last rescan is over.
size_t SettledLookups(HWND dialog) {
    size_t last = SerialLookups(dialog);
    for (DWORD quiet = 0; quiet < 1500; quiet += 100) {
        Sleep(100);
        const size_t now = SerialLookups(dialog);
        if (now != last) quiet = 0;
        last = now;
    }
    return last;
}

// Starts the demonstration on the four drives and finds its dialog; null when it has none.
HWND StartDemo(const std::wstring& demo, const std::wstring& scenario,
               PROCESS_INFORMATION& process) {
    // The demonstration leaves the system's broadcasts to this process.
    SetEnvironmentVariableW(L"OVERREACH_DEMO_BROADCASTS", L"caller");
    std::wstring command = L"\"" + demo + L"\" \"" + scenario + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start the demonstration (%lu)\n", GetLastError());
        return nullptr;
    }
    DemoWindow search{process.dwProcessId, nullptr};
    for (int k = 0; k < 300 && !search.found; ++k) {
        Sleep(100);
        EnumWindows(FindDemoDialog, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

void EndDemo(HWND dialog, PROCESS_INFORMATION& process) {
    if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

std::wstring WriteScenario() {
    wchar_t folder[MAX_PATH] = L"", scenario[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"ovr", 0, scenario);
    FILE* file = _wfopen(scenario, L"wb");
    if (!file) return {};
    std::fputs(kFourDrives, file);
    std::fclose(file);
    return scenario;
}

double TimedSend(HWND window, UINT message, WPARAM w, LPARAM l) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    SendMessageW(window, message, w, l);
    QueryPerformanceCounter(&end);
    return Milliseconds(start, end);
}

int RunBursts(const std::wstring& demo) {
    const std::wstring scenario = WriteScenario();
    if (scenario.empty()) return 1;
    PROCESS_INFORMATION process{};
    HWND dialog = StartDemo(demo, scenario, process);
    bool ok = dialog != nullptr;
    HWND list = ok ? GetDlgItem(dialog, IDC_LIST_DRIVE) : nullptr;
    const int sizes[] = {5, 10, 20};
    for (int b = 0; ok && b < 3; ++b) {
        // A Create on line b: the machine changes, and the broadcasts are this process's.
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(b), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LIST_DRIVE, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_BTN_CREATE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_BTN_CREATE)));
        const size_t before = SettledLookups(dialog);

        // Every third broadcast a volume arriving, as the virtual drive's volumes mount.
        DEV_BROADCAST_VOLUME volume{sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1u << b, 0};
        std::vector<double> sends;
        for (int k = 0; k < sizes[b]; ++k) {
            sends.push_back(k % 3 == 2
                                ? TimedSend(dialog, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                                            reinterpret_cast<LPARAM>(&volume))
                                : TimedSend(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
            Sleep(5);  // the system's own work between two broadcasts
        }
        const size_t after = SettledLookups(dialog);
        const double slowest = *std::max_element(sends.begin(), sends.end());
        std::sort(sends.begin(), sends.end());
        const size_t scans = (after - before) / kQualifying;
        const bool listed = SendMessageW(list, LB_GETCOUNT, 0, 0) == kQualifying &&
                            SendMessageW(list, LB_GETCURSEL, 0, 0) == b && Buttons(dialog) == "011";
        std::printf(
            "burst of %2d (a third of them volume arrivals) sent from another process: each send "
            "%.1f ms at most (median %.1f), %zu scan(s); the list %s\n",
            sizes[b], slowest, sends[sends.size() / 2], scans,
            listed ? "shows the machine's last state (the drive plugged in)"
                   : "does NOT show the machine's last state");
        ok = slowest < 50 && scans == 1 && listed;
    }
    // Volumes alone, as a drive's volumes mount: they too cost one scan, so the header reached
    // the program's handler across the processes.
    if (ok) {
        DEV_BROADCAST_VOLUME volume{sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1u << 4, 0};
        const size_t before = SettledLookups(dialog);
        for (int k = 0; k < 6; ++k) {
            TimedSend(dialog, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                      reinterpret_cast<LPARAM>(&volume));
            Sleep(5);
        }
        const size_t scans = (SettledLookups(dialog) - before) / kQualifying;
        std::printf("burst of 6 volume arrivals alone: %zu scan(s)\n", scans);
        ok = scans == 1;
    }
    EndDemo(dialog, process);
    DeleteFileW(scenario.c_str());
    return ok ? 0 : 1;
}

// How long a Live update click holds the demonstration's window when the updater takes 3 s
// before it first waits for input (a windowed stand-in that sleeps first), and how long the
// same start took through WinExec, which waits for that moment.
int RunLiveUpdate(const std::wstring& standIn, const std::wstring& demo) {
    wchar_t programFiles[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE);
    const std::wstring maker = std::wstring(programFiles) + L"\\Corvane";
    const std::wstring folder = maker + L"\\Overreach";
    CreateDirectoryW(maker.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring updater = folder + L"\\Tallyup.exe";
    if (!CopyFileW(standIn.c_str(), updater.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot place the stand-in updater (%lu)\n", GetLastError());
        return 1;
    }
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", L"3000");
    const std::wstring scenario = WriteScenario();
    PROCESS_INFORMATION process{};
    HWND dialog = scenario.empty() ? nullptr : StartDemo(demo, scenario, process);
    if (!dialog) return 1;
    const double click =
        TimedSend(dialog, WM_COMMAND, MAKEWPARAM(IDC_BTN_LIVEUPDATE, BN_CLICKED),
                  reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_BTN_LIVEUPDATE)));
    Sleep(3500);  // the updater the click started ends
    EndDemo(dialog, process);
    std::string command(updater.begin(), updater.end());
    command = "\"" + command + "\" /unlock";
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    const UINT started = WinExec(command.c_str(), SW_SHOWNORMAL);
    QueryPerformanceCounter(&end);
    Sleep(3500);
    std::printf(
        "Live update click, updater taking 3 s to start: the window held %.0f ms; the "
        "same start through WinExec, as the click made it before: %.0f ms%s\n",
        click, Milliseconds(start, end), started > 31 ? "" : " (WinExec failed)");
    DeleteFileW(updater.c_str());
    DeleteFileW(scenario.c_str());
    return click < 1000 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    auto wide = [](const char* text) { return std::wstring(text, text + std::strlen(text)); };
    if (argc > 2 && std::string(argv[1]) == "--live-update")
        return RunLiveUpdate(wide(argv[2]), argc > 3 ? wide(argv[3]) : L"OverreachDemo.exe");
    if (argc > 1 && std::string(argv[1]) == "--bursts") {
        std::wstring demo = L"OverreachDemo.exe";
        if (argc > 2) demo = wide(argv[2]);
        return RunBursts(demo);
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("%d qualifying drives, 200 ms wait per drive read, %d rounds each\n", kQualifying,
                rounds);
    if (!Report<app::CFarspanDlg>("one rescan per burst:", rounds)) return 1;
    if (!Report<RescanPerBroadcast>("one rescan per broadcast:", rounds)) return 1;
    return 0;
}
