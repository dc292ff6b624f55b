#include "setup/RunProcess.h"

#include <windows.h>

#include <vector>

namespace setup {
namespace {

ProcessStartFunction processStart = CreateProcessW;

// Both handles of a started process, closed on every path.
struct ProcessHandles {
    PROCESS_INFORMATION info{};
    ~ProcessHandles() {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

uint32_t Start(const std::wstring& executable, const std::wstring& arguments, WORD showWindow,
               ProcessHandles& process) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showWindow;
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    const std::wstring text = JoinCommandLine(executable, arguments);
    std::vector<wchar_t> commandLine(text.begin(), text.end());
    commandLine.push_back(L'\0');
    if (!processStart(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                      nullptr, nullptr, &startup, &process.info))
        return GetLastError();
    return 0;
}

}  // namespace

ProcessStartFunction SetProcessStartFunction(ProcessStartFunction start) {
    const ProcessStartFunction previous = processStart;
    processStart = start;
    return previous;
}

uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments, int show,
                           int wait, uint32_t* exitCode) {
    *exitCode = 0;
    ProcessHandles process;
    if (const uint32_t error =
            Start(executable, arguments, show == 1 ? SW_SHOWNORMAL : SW_HIDE, process))
        return error;
    DWORD code = 0;
    if (wait == 1) {
        WaitForSingleObject(process.info.hProcess, INFINITE);
        if (!GetExitCodeProcess(process.info.hProcess, &code)) return GetLastError();
    }
    *exitCode = code;
    return 0;
}

uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           uint32_t* exitCode) {
    *exitCode = 0;
    ProcessHandles process;
    if (const uint32_t error = Start(executable, arguments, SW_HIDE, process)) return error;
    WaitForSingleObject(process.info.hProcess, 0);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.info.hProcess, &code)) return GetLastError();
    *exitCode = code;
    return 0;
}

}  // namespace setup
