#include "app/LiveUpdate.h"

#include <string>

#include "app/InstallFolder.h"
#include "app/SystemError.h"
#include "app/ToolPaths.h"
#include "platform/SystemCalls.h"

namespace app {

void StartLiveUpdate(platform::DiagnosticSink& diagnostics, HWND owner) {
    const std::wstring folder = GetInstallFolder();
    // The updater runs in the install folder; the result is not examined, a missing folder
    // shows as a missing updater.
    SetCurrentDirectoryW(folder.c_str());
    platform::WriteDiagnosticText(diagnostics,
                                  FullPathDiagnostic(L"OnBnClickedBtnLiveupdate", folder));
    // The updater named by its full path in quotes: by a bare name the search would look in
    // this program's own folder first, and this program runs elevated, started perhaps from a
    // downloads folder where any file called Tallyup.exe may lie. Started, not waited for:
    // the window goes on painting and answering the system's broadcasts while it starts.
    std::wstring command = L"\"" + folder + L"\\" + kUpdaterName + L"\" " + kUpdaterArguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    if (!platform::Calls().createProcess(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                         nullptr, folder.c_str(), &startup, &started)) {
        // Whatever the cause, the user is told the updater is missing.
        ShowSystemError(HResultFromWin32(ERROR_FILE_NOT_FOUND), owner);
        return;
    }
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

}  // namespace app
