// How long the main dialog cannot repaint after a Create, on a simulated machine with four
// qualifying drives that takes the product's own time for its waits and broadcasts its device
// changes from another thread as the system does (three per plug-in). Once as the program
// does it, the burst answered by one rescan, and once rescanning for every broadcast.
//   CreateBenchmark.exe [rounds]
#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/demo/DeviceBroadcaster.h"
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
constexpr uint32_t kLookupSerial = 0x2A4014;

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
    for (const auto& r : machine.BusRequests()) lookups += r.code == kLookupSerial;
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

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    std::printf("%d qualifying drives, 200 ms wait per drive read, %d rounds each\n", kQualifying,
                rounds);
    if (!Report<app::CFarspanDlg>("one rescan per burst:", rounds)) return 1;
    if (!Report<RescanPerBroadcast>("one rescan per broadcast:", rounds)) return 1;
    return 0;
}
