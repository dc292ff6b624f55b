// Which Windows the tests run on, as the program sees it. The 32-bit test build runs on 64-bit
// Windows through WOW64 and, in its second runs (OVERREACH_TEST_WINDOWS=32), on 32-bit Windows;
// a test that depends on the platform is only as good as this being true.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/testing/WindowsTesting.h"

namespace {

using platform::testing::On32BitWindows;

template <class F>
F Kernel32(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

TEST(WindowsPlatformTest, NativeArchitectureAndWow64FollowTheWindowsWeRunOn) {
    const auto getNativeSystemInfo = Kernel32<void(WINAPI*)(SYSTEM_INFO*)>("GetNativeSystemInfo");
    const auto isWow64Process = Kernel32<BOOL(WINAPI*)(HANDLE, BOOL*)>("IsWow64Process");
    ASSERT_NE(nullptr, getNativeSystemInfo);
    ASSERT_NE(nullptr, isWow64Process);

    SYSTEM_INFO info{};
    getNativeSystemInfo(&info);
    BOOL wow64 = TRUE;
    ASSERT_TRUE(isWow64Process(GetCurrentProcess(), &wow64));
    if (On32BitWindows()) {
        EXPECT_EQ(PROCESSOR_ARCHITECTURE_INTEL, info.wProcessorArchitecture);
        EXPECT_FALSE(wow64);
    } else {
        EXPECT_EQ(PROCESSOR_ARCHITECTURE_AMD64, info.wProcessorArchitecture);
        EXPECT_EQ(sizeof(void*) == 4, wow64 != FALSE);
    }
}

TEST(WindowsPlatformTest, ARedirectedSystemFolderShowsOnlyThroughWow64) {
    if (On32BitWindows() || sizeof(void*) != 4) GTEST_SKIP() << "no WOW64 redirection here";
    const auto disable = Kernel32<BOOL(WINAPI*)(void**)>("Wow64DisableWow64FsRedirection");
    const auto revert = Kernel32<BOOL(WINAPI*)(void*)>("Wow64RevertWow64FsRedirection");
    ASSERT_NE(nullptr, disable);
    ASSERT_NE(nullptr, revert);
    // A 32-bit program that names system32 gets syswow64, unless redirection is off.
    wchar_t system[MAX_PATH] = L"";
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::wstring probe = std::wstring(system) + L"\\overreach-wow64-probe.txt";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    void* previous = nullptr;
    ASSERT_TRUE(disable(&previous));
    const bool seenNatively = GetFileAttributesW(probe.c_str()) != INVALID_FILE_ATTRIBUTES;
    ASSERT_TRUE(revert(previous));
    EXPECT_FALSE(seenNatively);
    EXPECT_TRUE(DeleteFileW(probe.c_str()));
}

}  // namespace
