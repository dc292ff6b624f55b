// The whole main dialog on the simulated machine, driven through cycles of selection changes,
// value-label clicks and list rebuilds, each repainted: afterwards the GDI objects the program
// made, the process's handles and the simulated machine's resources are where they were.
// The counts are compared exactly, so a short run shows a leak of one object per cycle; the
// long run (OVERREACH_ACCOUNTING_CYCLES=10000, tools/bench.sh) is a benchmark.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/FarspanDlg.h"
#include "app/demo/BuiltInScenario.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"
#include "win32ui/testing/GdiLedger.h"

namespace app {
namespace {

// Every line with each value label several times over.
constexpr int kTestCycles = 60;

int Cycles() {
    const char* text = std::getenv("OVERREACH_ACCOUNTING_CYCLES");
    const int cycles = text ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : kTestCycles;
}

// The process's handle count. Wine answers GetProcessHandleCount with 0, so there the handle
// table is walked instead: a value names a handle when GetHandleInformation accepts it.
DWORD ProcessHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    for (ULONG_PTR value = 4; value < 65536; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

struct Figures {
    size_t gdiOpen = 0, gdiPeak = 0, gdiAfterCycles = 0;
    DWORD handlesOpen = 0, handlesPeak = 0, handlesAfterCycles = 0;
};

// Opens the dialog, runs the cycles and closes it again. The handle count is sampled now and
// then (at most every thousand cycles): walking the table takes a while under Wine.
Figures RunDialog(sim::SimulatedMachine& machine, int cycles) {
    Figures figures;
    CFarspanDlg dialog(machine);
    if (!dialog.CreateModeless()) {
        ADD_FAILURE() << "the dialog did not open";
        return figures;
    }
    HWND window = dialog.Handle();
    // Shown at the right edge of the screen, out of the way of what else is on the display. It
    // still takes the focus (a new dialog gives it to its first control, and each click to the
    // label clicked), so the test holds the display's lock like every test that shows a window.
    RECT box{};
    GetWindowRect(window, &box);
    SetWindowPos(window, HWND_BOTTOM, GetSystemMetrics(SM_CXSCREEN) - (box.right - box.left), 0, 0,
                 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ui::RepaintNow(window);
    figures.gdiOpen = figures.gdiPeak = ui::testing::LiveGdiObjects();
    figures.handlesOpen = figures.handlesPeak = ProcessHandles();

    HWND list = GetDlgItem(window, IDC_LIST_DRIVE);
    const int lines = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(3, lines);
    const int sampleEvery = std::clamp(cycles / 3, 1, 1000);
    for (int cycle = 0; cycle < cycles && lines > 0; ++cycle) {
        // Each line in turn (plugged in, none, not plugged in), a value label clicked, the
        // panel painted with its selection, then the whole list rebuilt and painted again.
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(cycle % lines), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_LIST_DRIVE, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        const int label = cycle % 2 ? IDC_CAPACITY_VALUE_1 : IDC_CAPACITY_VALUE_0;
        SendMessageW(GetDlgItem(window, label), BM_CLICK, 0, 0);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        dialog.RefreshDriveList();
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        ui::PumpWaitingMessages();

        figures.gdiPeak = std::max(figures.gdiPeak, ui::testing::LiveGdiObjects());
        if (cycle % sampleEvery == sampleEvery - 1) {
            figures.handlesPeak = std::max(figures.handlesPeak, ProcessHandles());
            EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine.Outstanding()) << cycle;
            machine.ClearRecords();  // the diagnostic lines of the rebuilds so far
        }
    }
    figures.gdiAfterCycles = ui::testing::LiveGdiObjects();
    figures.handlesAfterCycles = ProcessHandles();
    dialog.DestroyWindow();
    return figures;
}

TEST(DialogAccountingTest, CyclesLeaveNoGdiObjectOrHandleBehind) {
    sim::SimulatedMachine machine;
    std::string error;
    ASSERT_TRUE(sim::LoadScenario(demo::kBuiltInScenario, machine, error)) << error;

    // A first short run lets the system make what it makes once per process (Wine keeps two
    // more handles after the first list and button messages), so that the long run is
    // measured from a settled start.
    RunDialog(machine, 10);

    const size_t gdiBefore = ui::testing::LiveGdiObjects();
    const size_t failedDeletesBefore = ui::testing::FailedDeletes();
    const DWORD handlesBefore = ProcessHandles();
    const DWORD start = GetTickCount();
    const int cycles = Cycles();
    const Figures f = RunDialog(machine, cycles);
    const double seconds = (GetTickCount() - start) / 1000.0;
    const size_t gdiAfter = ui::testing::LiveGdiObjects();
    const DWORD handlesAfter = ProcessHandles();

    std::printf("%d cycles in %.1f s, %.2f ms each\n", cycles, seconds, 1000 * seconds / cycles);
    std::printf(
        "GDI objects: %zu before, %zu with the dialog open, at most %zu, %zu after the cycles, "
        "%zu after closing\n",
        gdiBefore, f.gdiOpen, f.gdiPeak, f.gdiAfterCycles, gdiAfter);
    std::printf(
        "process handles: %lu before, %lu with the dialog open, at most %lu, %lu after the "
        "cycles, %lu after closing\n",
        handlesBefore, f.handlesOpen, f.handlesPeak, f.handlesAfterCycles, handlesAfter);

    EXPECT_EQ(f.gdiOpen, f.gdiAfterCycles);
    EXPECT_EQ(gdiBefore, gdiAfter);
    EXPECT_EQ(failedDeletesBefore, ui::testing::FailedDeletes());
    EXPECT_EQ(f.handlesOpen, f.handlesPeak);
    EXPECT_EQ(f.handlesOpen, f.handlesAfterCycles);
    EXPECT_EQ(handlesBefore, handlesAfter);
    EXPECT_EQ(sim::SimulatedMachine::Resources{}, machine.Outstanding());
}

}  // namespace
}  // namespace app
