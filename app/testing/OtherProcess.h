// Tests that start a program as a process of their own and find its windows from outside.
#pragma once

#include <windows.h>

#include <string>

namespace app::testing {

class OtherProcess {
public:
    OtherProcess() = default;
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    ~OtherProcess() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info_.hProcess, 9);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }

    // The program is found by the system's search when no folder is given. With
    // CREATE_SUSPENDED it waits for Resume, so that it can be put in a job first.
    bool Start(const std::wstring& program, DWORD creationFlags = 0) {
        std::wstring command = L"\"" + program + L"\"";
        STARTUPINFOW startup{sizeof(startup)};
        return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, creationFlags,
                              nullptr, nullptr, &startup, &info_);
    }
    bool Resume() { return ResumeThread(info_.hThread) != static_cast<DWORD>(-1); }
    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Process() const { return info_.hProcess; }
    // The exit code, or STILL_ACTIVE when the process has not ended in time.
    DWORD WaitForExit(DWORD milliseconds) {
        if (WaitForSingleObject(info_.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

// The first visible top-level window of the process that `matches` accepts, waiting up to the
// given time for it to appear; null when none did.
template <class Matches>
HWND WaitForWindow(DWORD processId, Matches matches, DWORD milliseconds) {
    struct Search {
        DWORD processId;
        Matches* matches;
        HWND found;
        static BOOL CALLBACK Visit(HWND window, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId || !IsWindowVisible(window) || !(*s->matches)(window))
                return TRUE;
            s->found = window;
            return FALSE;
        }
    } search{processId, &matches, nullptr};
    const DWORD end = GetTickCount() + milliseconds;
    while (!search.found) {
        EnumWindows(Search::Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found || static_cast<LONG>(GetTickCount() - end) >= 0) break;
        Sleep(50);
    }
    return search.found;
}

inline std::wstring WindowText(HWND window) {
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

// A top-level window of the process with this title.
inline HWND WaitForWindow(DWORD processId, const wchar_t* title, DWORD milliseconds) {
    return WaitForWindow(
        processId, [&](HWND window) { return WindowText(window) == title; }, milliseconds);
}

}  // namespace app::testing
