// A DLL planted by the tests beside a program, copied under the names of the DLLs that the
// program and the system's DLLs load by name. When anything loads it, it appends its own path
// to "planted-loads.txt" in its folder, so the test learns of every load, even one that
// brings the process down afterwards (beyond the few forwarded in its .def, it has none of
// the functions the real DLL offers).
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    wchar_t log[MAX_PATH + 32];
    lstrcpyW(log, path);
    wchar_t* slash = log;
    for (wchar_t* c = log; *c; ++c)
        if (*c == L'\\') slash = c + 1;
    lstrcpyW(slash, L"planted-loads.txt");
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    path[length] = L'\n';
    DWORD written = 0;
    WriteFile(file, path, (length + 1) * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
