#include "app/PlatformInfo.h"

#include "platform/SystemCalls.h"

namespace app {

// The record sizes the system checks (the version record's size field) or that old systems
// fill; SYSTEM_INFO grows with the pointer size.
static_assert(sizeof(OSVERSIONINFOEXW) == 284);
static_assert(sizeof(void*) != 4 || sizeof(SYSTEM_INFO) == 36);

uint32_t QueryPlatformInfo(SYSTEM_INFO& system, OSVERSIONINFOEXW& version) {
    OSVERSIONINFOEXW versionInfo{};
    SYSTEM_INFO systemInfo{};
    versionInfo.dwOSVersionInfoSize = sizeof(versionInfo);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&versionInfo))) return GetLastError();

    // GetSystemInfo tells a WOW64 program what it emulates (x86); only the native form tells
    // the machine's own architecture. Windows 2000 lacks it, hence the run-time lookup.
    using NativeSystemInfo = void(WINAPI*)(SYSTEM_INFO*);
    if (const auto native = platform::Kernel32Entry<NativeSystemInfo>("GetNativeSystemInfo"))
        native(&systemInfo);
    else
        GetSystemInfo(&systemInfo);

    system = systemInfo;
    version = versionInfo;
    return 0;
}

}  // namespace app
