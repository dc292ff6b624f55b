// Which Windows the program runs on. The program is 32-bit; on 64-bit Windows it runs
// through WOW64 and must ask for the machine's own architecture to tell the two apart.
#pragma once

#include <windows.h>

#include <cstdint>

namespace app {

// Fills both records (zero-filled first) from GetVersionExW and GetNativeSystemInfo, or
// GetSystemInfo where the system lacks the native form. Returns 0, or GetVersionExW's error,
// in which case neither record is written.
uint32_t QueryPlatformInfo(SYSTEM_INFO& system, OSVERSIONINFOEXW& version);

// Only an x64 machine counts as 64-bit Windows; every other architecture, and a failed query
// (which leaves architecture 0), takes the 32-bit path.
inline bool IsNative64BitWindows(const SYSTEM_INFO& system) {
    return system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace app
