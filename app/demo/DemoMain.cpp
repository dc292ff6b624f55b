// The demonstration build: the same program on the simulated machine, which takes the
// product's time for its waits and broadcasts its device changes as the system does.
//   OverreachDemo.exe [scenario-file]
// With OVERREACH_DEMO_BROADCASTS=caller the machine's changes are not broadcast: whoever
// drives the demonstration sends them, and can read how many bus requests for serial numbers
// (one per qualifying drive and scan) the machine has answered from the dialog's window
// property "OverreachDemo.SerialLookups".
// Without a file it shows the built-in machine. With OVERREACH_DEMO_SCREENSHOT naming a PNG
// file, it saves what the window shows once it has painted, and ends (exit code 3 when the file
// cannot be written).
#include <windows.h>

#include <string>

#include "app/FarspanApp.h"
#include "app/InstanceGuard.h"
#include "app/demo/BuiltInScenario.h"
#include "app/demo/DeviceBroadcaster.h"
#include "busctl/BusProtocol.h"
#include "sim/Scenario.h"
#include "win32ui/Capture.h"
#include "win32ui/Window.h"

namespace {

app::InstanceGuard instanceGuard(L"OverreachDemo");
sim::SimulatedMachine machine;
app::CFarspanApp theApp(machine, &instanceGuard);
std::wstring screenshotPath;
bool screenshotSaved = false;

std::string Narrow(const std::wstring& text, UINT codePage) {
    const int size =
        WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

std::wstring Widen(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t title[32] = L"";
    GetWindowTextW(window, title, 32);
    if (std::wstring(title) != L"Overreach" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

void CALLBACK PublishSerialLookups(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    uintptr_t lookups = 0;
    for (const auto& r : machine.BusRequests()) lookups += r.code == busctl::BUS_LOOKUP_SERIAL;
    SetPropW(dialog, L"OverreachDemo.SerialLookups", reinterpret_cast<HANDLE>(lookups));
}

void CALLBACK TakeScreenshot(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;  // not shown yet: the timer comes again
    KillTimer(nullptr, timer);
    ui::RepaintNow(dialog);
    screenshotSaved = ui::SavePng(ui::CaptureWindow(dialog), screenshotPath);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    instanceGuard.EndProcessUnlessOnlyInstance();

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring scenarioFile = count >= 2 && arguments ? arguments[1] : L"";
    LocalFree(arguments);
    if (count > 2) {
        MessageBoxW(nullptr, L"Usage: OverreachDemo.exe [scenario-file]",
                    L"Overreach demonstration", MB_OK);
        return 2;
    }

    std::string error;
    const bool loaded = scenarioFile.empty()
                            ? sim::LoadScenario(app::demo::kBuiltInScenario, machine, error)
                            : sim::LoadScenarioFile(Narrow(scenarioFile, CP_ACP), machine, error);
    if (!loaded) {
        const std::wstring text = L"The scenario cannot be loaded:\n" + Widen(error);
        MessageBoxW(nullptr, text.c_str(), L"Overreach demonstration", MB_OK | MB_ICONEXCLAMATION);
        return 1;
    }

    // The product waits for real, and hears of its own plug-ins and unplugs through the
    // system's broadcasts, from another thread.
    machine.SetRealWaits(true);
    app::demo::DeviceBroadcaster broadcaster;
    wchar_t broadcasts[16] = L"";
    GetEnvironmentVariableW(L"OVERREACH_DEMO_BROADCASTS", broadcasts, 16);
    if (std::wstring(broadcasts) == L"caller")
        SetTimer(nullptr, 0, 50, PublishSerialLookups);
    else
        machine.SetDeviceChangeObserver([&broadcaster] { broadcaster.DevicesChanged(); });

    wchar_t path[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"OVERREACH_DEMO_SCREENSHOT", path, MAX_PATH) > 0) {
        screenshotPath = path;
        SetTimer(nullptr, 0, 700, TakeScreenshot);
    }
    const int exitCode = ui::RunApplication(instance);
    machine.SetDeviceChangeObserver(nullptr);
    return screenshotPath.empty() || screenshotSaved ? exitCode : 3;
}
