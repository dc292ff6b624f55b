#include "platform/DllSearch.h"

namespace platform {

namespace {

// Not in the headers of a build for Windows XP.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD flags);
using SetDllDirectoryCall = BOOL(WINAPI*)(LPCWSTR path);

template <class Call>
Call Lookup(Kernel32Lookup lookup, HMODULE kernel32, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(lookup(kernel32, name)));
}

DllSearch NarrowSearch(Kernel32Lookup lookup) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) return DllSearch::Unrestricted;

    // Vista and 7 have the call only with the update that added it; every later system has it.
    // With it, a DLL loaded by name, and every DLL that one pulls in, comes from the system
    // folder alone: not from the program's folder, the current directory or PATH.
    if (auto set =
            Lookup<SetDefaultDllDirectoriesCall>(lookup, kernel32, "SetDefaultDllDirectories")) {
        if (set(kSearchSystem32)) return DllSearch::SystemFolderOnly;
    }
    // XP SP1 and later: an empty string takes the current directory out of the search. The
    // program's folder stays in it.
    if (auto set = Lookup<SetDllDirectoryCall>(lookup, kernel32, "SetDllDirectoryW")) {
        if (set(L"")) return DllSearch::WithoutCurrentDirectory;
    }
    return DllSearch::Unrestricted;
}

// The theme library, which the window manager and the common controls load by name once the
// first window exists, and the drawing helper it loads by name when it paints. Neither is a
// known DLL. Loaded now by their full path, they are in the process before anyone asks for
// them by name, and a later load by name takes the loaded copy without any search. That
// covers what the narrowed search cannot: systems without the call above, where the program's
// folder stays in the search, and loaders that resolve a delay-loaded import by the old
// search order. A DLL the system lacks (the theme library before XP) is simply not loaded.
void LoadFromSystemFolder(DllSearch search) {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 16 >= MAX_PATH) return;
    // Without the narrowed search, what these pull in is looked for beside them first.
    const DWORD flags = search == DllSearch::SystemFolderOnly ? 0 : LOAD_WITH_ALTERED_SEARCH_PATH;
    static const wchar_t* const names[] = {L"\\uxtheme.dll", L"\\msimg32.dll"};
    for (const wchar_t* name : names) {
        lstrcpyW(path + length, name);
        LoadLibraryExW(path, nullptr, flags);  // kept for the life of the process
    }
}

}  // namespace

DllSearch RestrictDllSearch(Kernel32Lookup lookup) {
    const DllSearch search = NarrowSearch(lookup);
    LoadFromSystemFolder(search);
    return search;
}

}  // namespace platform
