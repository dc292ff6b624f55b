// The system calls behind the external tools, the platform query and the error box, reached
// through one table so that a test can see exactly what would be started or shown, or make a
// call fail, without touching the machine. The product never changes the table; processes
// are started through the shared runner, whose start call is replaceable in the same way.
#pragma once

#include <windows.h>

namespace app {

struct SystemCalls {
    // The run-time lookups of kernel32 entry points that older systems lack.
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    UINT(WINAPI* getSystemDirectory)(LPWSTR buffer, UINT size);
    UINT(WINAPI* winExec)(LPCSTR commandLine, UINT show);
    HINSTANCE(WINAPI* shellExecute)
    (HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, INT show);
    int(WINAPI* messageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
};

// The table in use, initially the real calls.
SystemCalls& Calls();

// Looks up an entry point of kernel32 through the table; null when the system lacks it.
template <class Function>
Function Kernel32Entry(const char* name) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32");
    if (!kernel32) return nullptr;
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(Calls().getProcAddress(kernel32, name)));
}

}  // namespace app
