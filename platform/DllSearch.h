// The program is elevated and may be started from any folder, a downloads folder full of other
// files among them. Windows looks for a DLL in the program's own folder (and, on older systems,
// the current directory) before the system folder unless it is one of the loader's known DLLs,
// and the system DLLs we use load further DLLs by name the same way. A file planted there under
// such a name would run with administrator rights. The programs therefore narrow the search as
// the first thing they do; see the entry points in DllSearchEntry.cpp.
#pragma once

#include <windows.h>

namespace platform {

enum class DllSearch {
    SystemFolderOnly,         // DLLs loaded by name come from the system folder only
    WithoutCurrentDirectory,  // older systems: at least the current directory is out
    Unrestricted,             // the system offers neither call
};

// Looks up an entry point of kernel32; GetProcAddress in the product, a stand-in in tests.
using Kernel32Lookup = FARPROC(WINAPI*)(HMODULE kernel32, LPCSTR name);

// Narrows the DLL search of the whole process as far as the system allows, then loads the
// system DLLs that others load later by name from the system folder by their full path. The
// two calls that narrow the search are newer than Windows XP (one also than the first Vista),
// so they are looked up, never imported. Safe before the C runtime is set up: it uses
// kernel32 only.
DllSearch RestrictDllSearch(Kernel32Lookup lookup = GetProcAddress);

}  // namespace platform
