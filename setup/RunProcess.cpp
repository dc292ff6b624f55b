#include "setup/RunProcess.h"

#include <windows.h>

#include <vector>

#include "setup/CommandLines.h"

namespace setup {
namespace {

// Both handles of a started process, closed on every path.
struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

uint32_t Start(ProcessStartFunction start, const std::wstring& executable,
               const std::wstring& arguments, WORD showWindow, ProcessHandles& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    const std::wstring text = JoinCommandLine(executable, arguments);
    std::vector<wchar_t> commandLine(text.begin(), text.end());
    commandLine.push_back(L'\0');
    if (!start(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
               nullptr, &startup, &process.info))
        return LastFailureCode();
    return 0;
}

}  // namespace

uint32_t LastFailureCode() {
    const DWORD error = GetLastError();
    return error ? error : ERROR_UNIDENTIFIED_ERROR;
}

uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments, int show,
                           int wait, uint32_t* exitCode) {
    *exitCode = 0;
    ProcessHandles process;
    const WORD showWindow = show == kRunShown ? SW_SHOWNORMAL : SW_HIDE;
    if (const uint32_t error = Start(CreateProcessW, executable, arguments, showWindow, process))
        return error;
    DWORD code = 0;
    if (wait == kRunAndWait) {
        WaitForSingleObject(process.info.hProcess, INFINITE);
        if (!GetExitCodeProcess(process.info.hProcess, &code)) return LastFailureCode();
    }
    *exitCode = code;
    return 0;
}

uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           uint32_t* exitCode, ProcessStartFunction start) {
    *exitCode = 0;
    ProcessHandles process;
    if (const uint32_t error = Start(start, executable, arguments, SW_HIDE, process)) return error;
    WaitForSingleObject(process.info.hProcess, 0);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.info.hProcess, &code)) return LastFailureCode();
    *exitCode = code;
    return 0;
}

}  // namespace setup
