// The system calls that the program's own tests need to see or to make fail, reached through
// one table: which program would be started and how, which file opened, which box shown,
// which kernel32 entry point looked up. The product never changes the table; a test changes
// entries and puts the table back (testing/WindowsTesting.h). Device calls have their seam
// of their own, DeviceIo.
#pragma once

#include <windows.h>

namespace platform {

struct SystemCalls {
    // The run-time lookups of kernel32 entry points that older systems lack.
    FARPROC(WINAPI* getProcAddress)(HMODULE module, LPCSTR name);
    UINT(WINAPI* getSystemDirectory)(LPWSTR buffer, UINT size);
    BOOL(WINAPI* createProcess)
    (LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES process,
     LPSECURITY_ATTRIBUTES thread, BOOL inheritHandles, DWORD flags, LPVOID environment,
     LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
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

}  // namespace platform
