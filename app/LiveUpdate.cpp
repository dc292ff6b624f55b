#include "app/LiveUpdate.h"

#include "app/InstallFolder.h"
#include "app/SystemError.h"
#include "app/ToolPaths.h"
#include "platform/SystemCalls.h"

namespace app {

void StartLiveUpdate(platform::DiagnosticSink& diagnostics, HWND owner) {
    const std::wstring folder = GetInstallFolder();
    // WinExec finds the updater through the search order, of which the current directory is
    // part; the result is not examined, a missing folder shows as a missing updater.
    SetCurrentDirectoryW(folder.c_str());
    platform::WriteDiagnosticText(diagnostics,
                                  FullPathDiagnostic(L"OnBnClickedBtnLiveupdate", folder));
    // WinExec answers 31 or less for every failure; the user is told the updater is missing.
    if (platform::Calls().winExec(kUpdaterCommand, SW_SHOWNORMAL) <= 31)
        ShowSystemError(HResultFromWin32(ERROR_FILE_NOT_FOUND), owner);
}

}  // namespace app
