// Rigwell.dll as an installer uses it: loaded by name, every export looked up by name, and
// devcon.exe played by the stand-in, whose recorded command lines are checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "setup/StandInLog.h"

namespace setup::test {
namespace {

using NarrowTwo = int(__cdecl*)(const char*, const char*);
using NarrowOne = int(__cdecl*)(const char*);
using Lines = std::vector<std::wstring>;

// The caller's wide string object, laid out here independently of the library: a header of
// string manager, data length, allocated length and reference count, then the characters.
// The object passed is only the pointer to the characters.
struct CallerStringData {
    class RecordingManager* manager;
    int dataLength;
    int allocLength;
    long refs;
};
struct CallerString {
    wchar_t* characters;
};
using UpdateExport = int(__cdecl*)(const wchar_t*, const wchar_t*, CallerString);

// Its free slot (the second) records the block it is handed.
class RecordingManager {
public:
    virtual void* Allocate(int, int) { return nullptr; }
    virtual void Free(CallerStringData* data) { freed.push_back(data); }
    virtual void* Reallocate(void*, int, int) { return nullptr; }
    virtual void* GetNilString() { return nullptr; }
    virtual RecordingManager* Clone() { return this; }
    std::vector<CallerStringData*> freed;
};

// Header and characters in one block, as the caller's string class allocates them.
class CallerStringBlock {
public:
    CallerStringBlock(RecordingManager& manager, const std::wstring& text, long refs)
        : memory_(sizeof(CallerStringData) + (text.size() + 1) * sizeof(wchar_t)) {
        *data() = {&manager, static_cast<int>(text.size()), static_cast<int>(text.size()), refs};
        text.copy(Object().characters, text.size());
    }
    CallerStringData* data() { return reinterpret_cast<CallerStringData*>(memory_.data()); }
    CallerString Object() { return {reinterpret_cast<wchar_t*>(data() + 1)}; }

private:
    std::vector<unsigned char> memory_;  // zero-filled: the terminator is there
};

// The library under test: the one built beside this program, or the file OVERREACH_RIGWELL
// names (the shipping build's, run by its own checks).
std::wstring LibraryPath() {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"OVERREACH_RIGWELL", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : L"Rigwell.dll";
}

class RigwellTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = LoadLibraryW(LibraryPath().c_str());
        ASSERT_NE(nullptr, library_);
        install_ = Lookup<NarrowTwo>("Install");
        install1_ = Lookup<NarrowOne>("Install_1");
        uninstall_ = Lookup<NarrowTwo>("Uninstall");
        uninstall1_ = Lookup<NarrowOne>("Uninstall_1");
        update_ = Lookup<UpdateExport>("Update");
    }
    void TearDown() override {
        if (library_) FreeLibrary(library_);
    }

    template <class F>
    F Lookup(const char* name) {
        auto f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
        EXPECT_NE(nullptr, f) << name;
        return f;
    }
    int Install(const std::wstring& tool, const std::string& arguments) {
        return install_(Narrow(tool).c_str(), arguments.c_str());
    }
    int Uninstall(const std::wstring& tool, const std::string& id) {
        return uninstall_(Narrow(tool).c_str(), id.c_str());
    }

    HMODULE library_ = nullptr;
    NarrowTwo install_ = nullptr, uninstall_ = nullptr;
    NarrowOne install1_ = nullptr, uninstall1_ = nullptr;
    UpdateExport update_ = nullptr;
    const std::wstring tool_ = StandInPath();
    StandInLog log_;
};

TEST_F(RigwellTest, InstallWaitsForTheToolAndInstall1DoesNot) {
    StandInLog::SetDelay(1500);
    DWORD start = GetTickCount();
    ASSERT_EQ(0, Install(tool_, "C:\\drv\\bus.inf ROOT\\OVERREACH"));
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_EQ(Lines{tool_ + L" install C:\\drv\\bus.inf ROOT\\OVERREACH"}, log_.Lines());

    StandInLog::SetDelay(3000);
    start = GetTickCount();
    ASSERT_EQ(0, install1_("bus.inf ROOT\\OVERREACH"));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(1u, log_.Lines().size());
    ASSERT_TRUE(log_.WaitForLines(2, 20000));
    // The shell writes the program's name its own way; the parameters are ours.
    const std::wstring line = log_.Lines()[1];
    const std::wstring tail = L" install bus.inf ROOT\\OVERREACH";
    EXPECT_NE(std::wstring::npos, line.find(L"devcon.exe")) << line;
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(tail, line.substr(line.size() - tail.size()));
}

TEST_F(RigwellTest, RefusedInputsRunNothing) {
    EXPECT_EQ(87, Uninstall(tool_, "ROOT_OVERREACH"));
    EXPECT_EQ(87, Uninstall(tool_, ""));
    EXPECT_EQ(87, uninstall1_("ROOT_OVERREACH"));
    EXPECT_EQ(87, install_(Narrow(tool_).c_str(), nullptr));
    EXPECT_EQ(87, install1_(nullptr));
    const std::string longId = "ROOT\\" + std::string(300, 'A');
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, Uninstall(tool_, longId));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, uninstall1_(longId.c_str()));
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, install1_(std::string(300, 'a').c_str()));

    // Update's removal fails the same ways; nothing is installed, the reference is given up.
    RecordingManager manager;
    CallerStringBlock withoutBackslash(manager, L"ROOT_OVERREACH", 1);
    EXPECT_EQ(87, update_(tool_.c_str(), L"bus.inf ROOT_OVERREACH", withoutBackslash.Object()));
    CallerStringBlock tooLong(manager, L"ROOT\\" + std::wstring(300, L'A'), 1);
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, update_(tool_.c_str(), L"bus.inf", tooLong.Object()));
    EXPECT_EQ((std::vector<CallerStringData*>{withoutBackslash.data(), tooLong.data()}),
              manager.freed);
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RigwellTest, AnIdWmiDoesNotKnowIsRemovedAndAnEmptyNameDeletedWhateverTheToolSays) {
    StandInLog::SetExitCode(5);
    EXPECT_EQ(0, Uninstall(tool_, "ROOT\\OVERREACH_UNKNOWN"));
    // Without a path, CreateProcessW's search finds the stand-in beside this program.
    EXPECT_EQ(0, uninstall1_("ROOT\\OVERREACH_UNKNOWN"));
    EXPECT_EQ((Lines{tool_ + L" remove ROOT\\OVERREACH_UNKNOWN", tool_ + L" dp_delete ",
                     L"devcon.exe remove ROOT\\OVERREACH_UNKNOWN", L"devcon.exe dp_delete "}),
              log_.Lines());
}

TEST_F(RigwellTest, ARemoveThatCannotStartReturnsItsCodeAndDeletesNothing) {
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Uninstall(ProgramFolder() + L"\\missing.exe", "ROOT\\X"));
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RigwellTest, AToolPathWithABlankIsQuoted) {
    const std::wstring folder = ProgramFolder() + L"\\stand in";
    const std::wstring tool = folder + L"\\devcon.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(tool_.c_str(), tool.c_str(), FALSE));
    EXPECT_EQ(0, Install(tool, "bus.inf ROOT\\OVERREACH"));
    EXPECT_EQ(0, Uninstall(tool, "ROOT\\OVERREACH"));
    const std::wstring quoted = L"\"" + tool + L"\"";
    EXPECT_EQ((Lines{quoted + L" install bus.inf ROOT\\OVERREACH",
                     quoted + L" remove ROOT\\OVERREACH", quoted + L" dp_delete "}),
              log_.Lines());
    DeleteFileW(tool.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(RigwellTest, UpdateRemovesThenInstallsAndGivesUpTheCallersReference) {
    RecordingManager manager;
    CallerStringBlock id(manager, L"ROOT\\OVERREACH", 1);
    ASSERT_EQ(0, update_(tool_.c_str(), L"bus.inf ROOT\\OVERREACH", id.Object()));
    EXPECT_EQ((Lines{tool_ + L" remove ROOT\\OVERREACH", tool_ + L" dp_delete ",
                     tool_ + L" install bus.inf ROOT\\OVERREACH"}),
              log_.Lines());
    EXPECT_EQ(std::vector<CallerStringData*>{id.data()}, manager.freed);

    // A block the caller still shares only loses this copy's count.
    CallerStringBlock shared(manager, L"ROOT\\OVERREACH", 2);
    ASSERT_EQ(0, update_(tool_.c_str(), L"bus.inf", shared.Object()));
    EXPECT_EQ(1, shared.data()->refs);
    EXPECT_EQ(1u, manager.freed.size());
}

// A thread's start routine is stdcall on 32-bit, which a lambda cannot be.
template <class Work>
DWORD WINAPI RunWork(void* context) {
    (*static_cast<Work*>(context))();
    return 0;
}

// Runs `work` on a thread of its own and waits for it.
template <class Work>
void OnNewThread(Work work) {
    HANDLE thread = CreateThread(nullptr, 0, RunWork<Work>, &work, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

TEST_F(RigwellTest, RemovalExportsBringTheirOwnComAndLeaveTheThreadAsTheyFoundIt) {
    // The loaded library's first call makes its lasting set-up here, so the threads below
    // see only what each call does.
    ASSERT_EQ(87, Uninstall(tool_, "NO_BACKSLASH"));
    int withoutCom = -1, inSingleThreaded = -1;
    HRESULT afterwards = E_FAIL, stillSingleThreaded = E_FAIL;
    OnNewThread([&] {
        withoutCom = Uninstall(tool_, "ROOT\\OVERREACH");
        afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_OK: undone again
        if (SUCCEEDED(afterwards)) CoUninitialize();
    });
    OnNewThread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
        inSingleThreaded = uninstall1_("ROOT\\OVERREACH");
        // S_FALSE: still the thread's own apartment, its count untouched.
        stillSingleThreaded = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(stillSingleThreaded)) CoUninitialize();
        CoUninitialize();
    });
    EXPECT_EQ(0, withoutCom);
    EXPECT_EQ(S_OK, afterwards);
    EXPECT_EQ(0, inSingleThreaded);
    EXPECT_EQ(S_FALSE, stillSingleThreaded);
    EXPECT_EQ(4u, log_.Lines().size());
}

TEST(RigwellLoadTest, LoadingLeavesComAloneUntilTheFirstCall) {
    ASSERT_EQ(nullptr, GetModuleHandleW(L"Rigwell.dll"));
    HRESULT afterLoad = E_FAIL, afterFirstCall = E_FAIL;
    OnNewThread([&] {
        HMODULE library = LoadLibraryW(LibraryPath().c_str());
        if (!library) return;
        afterLoad = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(afterLoad)) CoUninitialize();
        auto install1 = reinterpret_cast<NarrowOne>(
            reinterpret_cast<void*>(GetProcAddress(library, "Install_1")));
        install1(std::string(300, 'a').c_str());  // refused, runs nothing
        afterFirstCall = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(afterFirstCall)) CoUninitialize();
        FreeLibrary(library);
    });
    EXPECT_EQ(S_OK, afterLoad);
    EXPECT_EQ(S_FALSE, afterFirstCall);  // the first call's set-up stays
}

// Run twice: as Wine starts by default (code page 1252), and by ctest under a Russian
// locale (1251), where it must see that code page.
TEST_F(RigwellTest, ArgumentsReachTheToolUnchangedInTheAnsiCodePage) {
    const UINT codePage = GetACP();
    if (const char* expected = std::getenv("RIGWELL_TEST_EXPECT_ACP")) {
        ASSERT_EQ(static_cast<UINT>(std::atoi(expected)), codePage);
    }
    const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2";
    std::wstring text;
    if (codePage == 1251) {
        text = L"\u041F\u0440\u0438\u0432\u0435\u0442";  // Привет
    } else if (codePage == 1252) {
        text = L"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2";  // Ïðèâåò
    } else {
        GTEST_SKIP() << "no expectation for code page " << codePage;
    }
    // Longer than any fixed buffer: the install command and the conversion have no limit.
    const std::string padding(600, 'B');
    ASSERT_EQ(0, Install(tool_, "C:\\" + bytes + "\\bus.inf ROOT\\" + padding));
    ASSERT_EQ(0, Uninstall(tool_, "ROOT\\" + bytes));
    EXPECT_EQ((Lines{tool_ + L" install C:\\" + text + L"\\bus.inf ROOT\\" +
                         std::wstring(padding.begin(), padding.end()),
                     tool_ + L" remove ROOT\\" + text, tool_ + L" dp_delete "}),
              log_.Lines());
}

}  // namespace
}  // namespace setup::test
