// The entry points of the programs, in place of the C runtime's own: they narrow the DLL
// search before anything else runs in the process. Static constructors come before WinMain
// and main, and some of them call into user32, which on first use may load further DLLs by
// name; restricting in WinMain would come too late.
//
// Nothing here may rely on the C runtime, which is not set up yet (nor may this file be built
// with a stack protector: the runtime's start-up changes the guard value under our frame).
// The runtime's start-up never returns; it ends the process.
#include <windows.h>

#include "platform/DllSearch.h"

extern "C" {

// The C runtime's entry points: a windowed program's and a console program's.
int WinMainCRTStartup();
int mainCRTStartup();

int OverreachWindowsStart() {
    platform::RestrictDllSearch();
    return WinMainCRTStartup();
}

int OverreachConsoleStart() {
    platform::RestrictDllSearch();
    return mainCRTStartup();
}

}  // extern "C"
