// The shipping program: the real system's drives and bus driver. It takes no command line.
#include <windows.h>

#include "app/FarspanApp.h"
#include "app/InstanceGuard.h"
#include "platform/Win32DeviceIo.h"

namespace {

// In this order: the guard looks for a running copy before anything else is set up. Before
// any of them, the program's entry point has narrowed the DLL search (platform/DllSearch.h).
app::InstanceGuard instanceGuard(L"Overreach");
platform::Win32DeviceIo deviceIo;
app::CFarspanApp theApp(deviceIo, &instanceGuard);

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    instanceGuard.EndProcessUnlessOnlyInstance();
    return ui::RunApplication(instance);
}
