// How long the main dialog takes from a change of the selected drive to the repainted
// capacity panel, on the simulated machine: 200 changes, median and maximum.
//   SelectionBenchmark.exe [changes]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/FarspanDlg.h"
#include "app/demo/BuiltInScenario.h"
#include "res/resource.h"
#include "sim/Scenario.h"
#include "win32ui/Window.h"

int main(int argc, char** argv) {
    const int changes = argc > 1 ? std::atoi(argv[1]) : 200;
    sim::SimulatedMachine machine;
    std::string error;
    if (!sim::LoadScenario(app::demo::kBuiltInScenario, machine, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    app::CFarspanDlg dialog(machine);
    if (!dialog.CreateModeless()) return 1;
    HWND window = dialog.Handle();
    SetWindowPos(window, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ui::RepaintNow(window);
    HWND list = GetDlgItem(window, IDC_LIST_DRIVE);
    const int lines = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> milliseconds;
    for (int i = 0; i < changes; ++i) {
        QueryPerformanceCounter(&start);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>((i + 1) % lines), 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_LIST_DRIVE, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
        QueryPerformanceCounter(&end);
        milliseconds.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                               static_cast<double>(frequency.QuadPart));
    }
    dialog.DestroyWindow();

    std::vector<double> sorted = milliseconds;
    std::sort(sorted.begin(), sorted.end());
    std::printf(
        "selection change to repainted panel, %d changes over %d lines: median %.2f ms, max %.2f "
        "ms\n",
        changes, lines, sorted[sorted.size() / 2], sorted.back());
    return 0;
}
