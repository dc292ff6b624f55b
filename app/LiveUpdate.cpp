#include "app/LiveUpdate.h"

#include <string>

#include "app/InstallFolder.h"
#include "app/SystemError.h"
#include "app/ToolPaths.h"
#include "platform/SystemCalls.h"

namespace app {
namespace {

// The updater's command line in the ANSI code page, which WinExec takes: the updater named by
// its full path in quotes. By a bare name, WinExec would look in this program's own folder
// first, and this program runs elevated, started perhaps from a downloads folder where any
// file called Tallyup.exe may lie. Empty when the path has characters the code page lacks.
std::string UpdaterCommand(const std::wstring& folder) {
    const std::wstring command = L"\"" + folder + L"\\" + kUpdaterName + L"\" " + kUpdaterArguments;
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, 0, command.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy) return {};
    std::string ansi(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, command.c_str(), -1, &ansi[0], size, nullptr, nullptr);
    ansi.resize(size - 1);
    return ansi;
}

}  // namespace

void StartLiveUpdate(platform::DiagnosticSink& diagnostics, HWND owner) {
    const std::wstring folder = GetInstallFolder();
    // The updater runs in the install folder; the result is not examined, a missing folder
    // shows as a missing updater.
    SetCurrentDirectoryW(folder.c_str());
    platform::WriteDiagnosticText(diagnostics,
                                  FullPathDiagnostic(L"OnBnClickedBtnLiveupdate", folder));
    // WinExec answers 31 or less for every failure; the user is told the updater is missing.
    const std::string command = UpdaterCommand(folder);
    if (command.empty() || platform::Calls().winExec(command.c_str(), SW_SHOWNORMAL) <= 31)
        ShowSystemError(HResultFromWin32(ERROR_FILE_NOT_FOUND), owner);
}

}  // namespace app
