// How far the start-up narrows the DLL search on each kind of system, told by which of the
// two kernel32 calls the system has and whether it succeeds.
#include "platform/DllSearch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// The system the lookup pretends to be, and what the calls received.
struct FakeSystem {
    bool hasDefaultDirectories = false;
    BOOL defaultDirectoriesResult = TRUE;
    bool hasDllDirectory = false;
    DWORD defaultFlags = 0;
    int defaultCalls = 0;
    std::wstring dllDirectory = L"(not called)";
} fake;

BOOL WINAPI FakeSetDefaultDllDirectories(DWORD flags) {
    ++fake.defaultCalls;
    fake.defaultFlags = flags;
    return fake.defaultDirectoriesResult;
}

BOOL WINAPI FakeSetDllDirectoryW(LPCWSTR path) {
    fake.dllDirectory = path ? path : L"(null)";
    return TRUE;
}

FARPROC WINAPI FakeLookup(HMODULE kernel32, LPCSTR name) {
    EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), kernel32);
    if (fake.hasDefaultDirectories && std::strcmp(name, "SetDefaultDllDirectories") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeSetDefaultDllDirectories));
    if (fake.hasDllDirectory && std::strcmp(name, "SetDllDirectoryW") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(FakeSetDllDirectoryW));
    return nullptr;
}

TEST(DllSearchTest, NarrowsAsFarAsTheSystemAllows) {
    struct Case {
        const char* system;
        bool hasDefaultDirectories;
        BOOL defaultDirectoriesResult;
        bool hasDllDirectory;
        platform::DllSearch expected;
        const wchar_t* dllDirectory;
    } cases[] = {
        {"Vista with the update and later", true, TRUE, true, platform::DllSearch::SystemFolderOnly,
         L"(not called)"},
        {"Vista without the update, XP SP1 to SP3", false, TRUE, true,
         platform::DllSearch::WithoutCurrentDirectory, L""},
        {"the call is there but refuses", true, FALSE, true,
         platform::DllSearch::WithoutCurrentDirectory, L""},
        {"XP before SP1", false, TRUE, false, platform::DllSearch::Unrestricted, L"(not called)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        fake = FakeSystem{c.hasDefaultDirectories, c.defaultDirectoriesResult, c.hasDllDirectory};
        EXPECT_EQ(c.expected, platform::RestrictDllSearch(FakeLookup));
        EXPECT_EQ(c.dllDirectory, fake.dllDirectory);
        if (c.hasDefaultDirectories) {
            // The system folder alone: not LOAD_LIBRARY_SEARCH_DEFAULT_DIRS, which keeps the
            // program's folder in the search.
            EXPECT_EQ(1, fake.defaultCalls);
            EXPECT_EQ(0x800u, fake.defaultFlags);
        }
    }
}

}  // namespace
