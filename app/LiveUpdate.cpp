#include "app/LiveUpdate.h"

#include "app/InstallFolder.h"
#include "app/SystemCalls.h"
#include "app/SystemError.h"
#include "app/ToolPaths.h"

namespace app {

void StartLiveUpdate(platform::DeviceIo& diagnostics, HWND owner) {
    const std::wstring folder = GetInstallFolder();
    // WinExec finds the updater through the search order, of which the current directory is
    // part; the result is not examined, a missing folder shows as a missing updater.
    SetCurrentDirectoryW(folder.c_str());
    diagnostics.OutputDebugStringW(FullPathDiagnostic(L"OnBnClickedBtnLiveupdate", folder).c_str());
    // WinExec answers 31 or less for every failure; the user is told the updater is missing.
    if (Calls().winExec(kUpdaterCommand, SW_SHOWNORMAL) <= 31)
        ShowSystemError(HResultFromWin32(ERROR_FILE_NOT_FOUND), owner);
}

}  // namespace app
