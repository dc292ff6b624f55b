#include "app/DiskManagement.h"

#include <string>

#include "app/FsRedirection.h"
#include "app/PlatformInfo.h"
#include "app/SystemError.h"
#include "app/ToolPaths.h"
#include "platform/Diagnostics.h"
#include "platform/SystemCalls.h"
#include "setup/RunProcess.h"

namespace app {
namespace {

// GetLastError after a call that failed; a failure that set no code still shows as one.
uint32_t FailureCode() {
    const DWORD error = GetLastError();
    return error ? HResultFromWin32(static_cast<int32_t>(error)) : static_cast<uint32_t>(E_FAIL);
}

}  // namespace

void OpenDiskManagement(platform::DiagnosticSink& diagnostics, HWND owner) {
    SYSTEM_INFO system{};
    OSVERSIONINFOEXW version{};
    QueryPlatformInfo(system, version);  // a failed query reads as architecture 0, the 32-bit path

    wchar_t folder[MAX_PATH] = L"";
    const UINT length = platform::Calls().getSystemDirectory(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (length >= MAX_PATH) SetLastError(ERROR_INSUFFICIENT_BUFFER);
        ShowSystemError(FailureCode(), owner);
        return;
    }

    const bool native64 = IsNative64BitWindows(system);
    void* redirection = nullptr;
    BOOL redirectionOff = FALSE;
    if (native64) {
        platform::WriteDiagnosticText(diagnostics, kWow64Diagnostic);
        redirectionOff = DisableFsRedirection(&redirection);
    }
    uint32_t exitCode = 0;
    const uint32_t error = setup::RunProcessAndWait(
        std::wstring(folder) + L"\\" + kCommandProcessor, kDiskManagementArguments, &exitCode,
        platform::Calls().createProcess);
    // Back on before anything else runs on this thread: the message box below pumps messages,
    // and every other file access of the program expects the 32-bit view.
    if (redirectionOff) RevertFsRedirection(redirection);

    if (error) {
        ShowSystemError(HResultFromWin32(static_cast<int32_t>(error)), owner);
        return;
    }
    if (native64) platform::WriteDiagnosticText(diagnostics, kWow64Diagnostic);
}

}  // namespace app
