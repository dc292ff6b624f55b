// The platform query on the Windows the test runs on, and on the systems it can only be
// shown with a replaced lookup: one without GetNativeSystemInfo, and other 64-bit machines.
#include "app/PlatformInfo.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/testing/ToolTestKit.h"

namespace app {
namespace {

using testing::On32BitWindows;
using testing::ScopedCalls;

WORD fakeArchitecture = 0;
bool nativeLookedUp = false;

void WINAPI FakeNativeSystemInfo(SYSTEM_INFO* info) {
    std::memset(info, 0, sizeof *info);
    info->wProcessorArchitecture = fakeArchitecture;
}
FARPROC WINAPI WithFakeNative(HMODULE module, LPCSTR name) {
    if (std::strcmp(name, "GetNativeSystemInfo") != 0) return GetProcAddress(module, name);
    nativeLookedUp = true;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeNativeSystemInfo));
}
FARPROC WINAPI WithoutNative(HMODULE module, LPCSTR name) {
    if (std::strcmp(name, "GetNativeSystemInfo") == 0) {
        nativeLookedUp = true;
        return nullptr;
    }
    return GetProcAddress(module, name);
}

TEST(PlatformInfoTest, ThisProgramSeesTheMachinesOwnArchitecture) {
    SYSTEM_INFO system{};
    OSVERSIONINFOEXW version{};
    ASSERT_EQ(0u, QueryPlatformInfo(system, version));
    EXPECT_EQ(284u, version.dwOSVersionInfoSize);
    EXPECT_GE(version.dwMajorVersion, 5u);
    EXPECT_GT(system.dwNumberOfProcessors, 0u);
    if (On32BitWindows()) {
        EXPECT_EQ(PROCESSOR_ARCHITECTURE_INTEL, system.wProcessorArchitecture);
        EXPECT_FALSE(IsNative64BitWindows(system));
    } else {
        // The test program is 32-bit: GetSystemInfo alone would say x86 here.
        EXPECT_EQ(PROCESSOR_ARCHITECTURE_AMD64, system.wProcessorArchitecture);
        EXPECT_TRUE(IsNative64BitWindows(system));
    }
}

TEST(PlatformInfoTest, WithoutTheNativeCallTheEmulatedArchitectureDecides) {
    ScopedCalls calls;
    platform::Calls().getProcAddress = WithoutNative;
    nativeLookedUp = false;
    SYSTEM_INFO system{};
    OSVERSIONINFOEXW version{};
    ASSERT_EQ(0u, QueryPlatformInfo(system, version));
    EXPECT_TRUE(nativeLookedUp);
    SYSTEM_INFO emulated{};
    GetSystemInfo(&emulated);
    EXPECT_EQ(emulated.wProcessorArchitecture, system.wProcessorArchitecture);
    // A 32-bit program is told x86 by GetSystemInfo, on 64-bit Windows too.
    if (sizeof(void*) == 4) {
        EXPECT_EQ(PROCESSOR_ARCHITECTURE_INTEL, system.wProcessorArchitecture);
        EXPECT_FALSE(IsNative64BitWindows(system));
    }
}

TEST(PlatformInfoTest, OnlyX64CountsAs64BitWindows) {
    ScopedCalls calls;
    platform::Calls().getProcAddress = WithFakeNative;
    const struct {
        WORD architecture;
        bool native64;
    } cases[] = {{PROCESSOR_ARCHITECTURE_AMD64, true},
                 {PROCESSOR_ARCHITECTURE_INTEL, false},
                 {PROCESSOR_ARCHITECTURE_IA64, false},
                 {12, false},  // ARM64
                 {PROCESSOR_ARCHITECTURE_UNKNOWN, false}};
    for (const auto& c : cases) {
        fakeArchitecture = c.architecture;
        SYSTEM_INFO system{};
        OSVERSIONINFOEXW version{};
        ASSERT_EQ(0u, QueryPlatformInfo(system, version));
        EXPECT_EQ(c.architecture, system.wProcessorArchitecture);
        EXPECT_EQ(c.native64, IsNative64BitWindows(system)) << c.architecture;
    }
}

}  // namespace
}  // namespace app
