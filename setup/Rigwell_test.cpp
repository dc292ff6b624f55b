// Rigwell.dll as an installer uses it: loaded by name, every export looked up by name and
// called with the conventions of the platform's compiler (InstallerSide.h), and devcon.exe
// played by the stand-in, whose recorded command lines are checked.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs
#include <wbemcli.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "setup/testing/InstallerSide.h"
#include "setup/testing/StandInLog.h"

namespace setup::test {
namespace {

using NarrowTwo = int(__cdecl*)(const char*, const char*);
using NarrowOne = int(__cdecl*)(const char*);
using Lines = std::vector<std::wstring>;
using Released = std::vector<HandMadeManager::Release>;

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
        update_ = GetProcAddress(library_, "Update");
        EXPECT_NE(nullptr, update_);
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
    // Update with a string the installer made for the call: the block's one reference is
    // handed over with it.
    int Update(const std::wstring& tool, const wchar_t* arguments, CallerStringBlock& id) {
        return CallUpdate(update_, tool.c_str(), arguments, id.Characters());
    }

    HMODULE library_ = nullptr;
    NarrowTwo install_ = nullptr, uninstall_ = nullptr;
    NarrowOne install1_ = nullptr, uninstall1_ = nullptr;
    FARPROC update_ = nullptr;
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

TEST_F(RigwellTest, EveryExportSucceedsWhateverTheToolReports) {
    StandInLog::SetExitCode(5);
    EXPECT_EQ(0, Install(tool_, "bus.inf ROOT\\OVERREACH"));
    // An id WMI does not know is removed; with no package found, nothing is deleted.
    EXPECT_EQ(0, Uninstall(tool_, "ROOT\\OVERREACH_UNKNOWN"));
    // Without a path, CreateProcessW's search finds the stand-in beside this program.
    EXPECT_EQ(0, uninstall1_("ROOT\\OVERREACH_UNKNOWN"));
    HandMadeManager manager;
    CallerStringBlock id(manager, L"ROOT\\OVERREACH", 1);
    EXPECT_EQ(0, Update(tool_, L"bus.inf ROOT\\OVERREACH", id));
    EXPECT_EQ(
        (Lines{tool_ + L" install bus.inf ROOT\\OVERREACH",
               tool_ + L" remove ROOT\\OVERREACH_UNKNOWN",
               L"devcon.exe remove ROOT\\OVERREACH_UNKNOWN", tool_ + L" remove ROOT\\OVERREACH",
               tool_ + L" install bus.inf ROOT\\OVERREACH"}),
        log_.Lines());
    EXPECT_EQ(0, install1_("bus.inf ROOT\\OVERREACH"));
    EXPECT_TRUE(log_.WaitForLines(6, 20000));  // let it end before its log goes
}

// Ids that devcon would take as patterns, instance ids or classes: each could remove far
// more than the one driver.
const char* const kPatternIds[] = {
    "ROOT\\*", "ROOT\\X *",  "ROOT\\OVER?EACH", "ROOT\\\"X\"", "@ROOT\\OVERREACH\\0000",
    "=System", "ROOT\\X\tY", " ROOT\\X",        "*",
};

TEST_F(RigwellTest, HardwareIdsThatArePatternsAreRefusedAndRunNothing) {
    HandMadeManager manager;
    std::vector<std::unique_ptr<CallerStringBlock>> ids;
    for (const char* id : kPatternIds) {
        EXPECT_EQ(87, Uninstall(tool_, id)) << id;
        EXPECT_EQ(87, uninstall1_(id)) << id;
        const std::string narrow = id;
        ids.push_back(std::make_unique<CallerStringBlock>(
            manager, std::wstring(narrow.begin(), narrow.end()), 1));
        EXPECT_EQ(87, Update(tool_, L"bus.inf ROOT\\OVERREACH", *ids.back())) << id;
    }
    Released expected;
    for (auto& id : ids) expected.push_back({&manager, id->Data()});
    EXPECT_EQ(expected, manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RigwellTest, EmptyToolPathsAndBatchFilesAreRefusedAndRunNothing) {
    // Batch files that would run the stand-in, through cmd.exe, were they started.
    const std::string script = "@\"" + Narrow(tool_) + "\" %*\r\n";
    std::vector<std::wstring> scripts;
    for (const wchar_t* name : {L"\\devcon.bat", L"\\DEVCON.CMD"}) {
        scripts.push_back(ProgramFolder() + name);
        HANDLE file = CreateFileW(scripts.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        WriteFile(file, script.data(), static_cast<DWORD>(script.size()), &written, nullptr);
        CloseHandle(file);
    }

    HandMadeManager manager;
    CallerStringBlock first(manager, L"ROOT\\OVERREACH", 1), second(manager, L"ROOT\\OVERREACH", 1),
        third(manager, L"ROOT\\OVERREACH", 1);
    for (const std::wstring& tool : {std::wstring(), scripts[0], scripts[1], scripts[0] + L"."}) {
        EXPECT_EQ(87, Install(tool, "bus.inf ROOT\\OVERREACH"));
        EXPECT_EQ(87, Uninstall(tool, "ROOT\\OVERREACH"));
    }
    EXPECT_EQ(87, Update(L"", L"bus.inf ROOT\\OVERREACH", first));
    EXPECT_EQ(87, Update(scripts[0], L"bus.inf ROOT\\OVERREACH", second));
    EXPECT_EQ(87, Update(L"\"" + scripts[1] + L"\"", L"bus.inf ROOT\\OVERREACH", third));
    EXPECT_EQ(
        (Released{{&manager, first.Data()}, {&manager, second.Data()}, {&manager, third.Data()}}),
        manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());
    for (const std::wstring& path : scripts) DeleteFileW(path.c_str());
}

TEST_F(RigwellTest, OtherRefusedInputsRunNothing) {
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
    HandMadeManager manager;
    CallerStringBlock withoutBackslash(manager, L"ROOT_OVERREACH", 1);
    EXPECT_EQ(87, Update(tool_, L"bus.inf ROOT_OVERREACH", withoutBackslash));
    CallerStringBlock tooLong(manager, L"ROOT\\" + std::wstring(300, L'A'), 1);
    EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, Update(tool_, L"bus.inf", tooLong));
    EXPECT_EQ((Released{{&manager, withoutBackslash.Data()}, {&manager, tooLong.Data()}}),
              manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RigwellTest, UpdateWithNullPointersRefusesAndStillGivesUpTheReference) {
    HandMadeManager manager;
    CallerStringBlock first(manager, L"ROOT\\OVERREACH", 1), second(manager, L"ROOT\\OVERREACH", 1);
    EXPECT_EQ(87, CallUpdate(update_, nullptr, L"bus.inf", first.Characters()));
    EXPECT_EQ(87, CallUpdate(update_, tool_.c_str(), nullptr, second.Characters()));
    EXPECT_EQ(87, CallUpdate(update_, tool_.c_str(), L"bus.inf", nullptr));
#ifdef _WIN64
    // No caller of that compiler passes no address at all, but a stray null must not crash.
    using RawUpdate = int(__cdecl*)(const wchar_t*, const wchar_t*, void*);
    const auto raw = reinterpret_cast<RawUpdate>(reinterpret_cast<void*>(update_));
    EXPECT_EQ(87, raw(tool_.c_str(), L"bus.inf", nullptr));
#endif
    EXPECT_EQ((Released{{&manager, first.Data()}, {&manager, second.Data()}}), manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());
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
    EXPECT_EQ(
        (Lines{quoted + L" install bus.inf ROOT\\OVERREACH", quoted + L" remove ROOT\\OVERREACH"}),
        log_.Lines());
    DeleteFileW(tool.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(RigwellTest, UpdateRemovesThenInstallsAndGivesUpTheCallersReference) {
    HandMadeManager manager;
    CallerStringBlock id(manager, L"ROOT\\OVERREACH", 1);
    ASSERT_EQ(0, Update(tool_, L"bus.inf ROOT\\OVERREACH", id));
    EXPECT_EQ(
        (Lines{tool_ + L" remove ROOT\\OVERREACH", tool_ + L" install bus.inf ROOT\\OVERREACH"}),
        log_.Lines());
    // The last reference: the block goes back to the manager it names, through its free slot.
    EXPECT_EQ((Released{{&manager, id.Data()}}), manager.Freed());

    // A block the caller still shares only loses this copy's count.
    CallerStringBlock shared(manager, L"ROOT\\OVERREACH", 2);
    ASSERT_EQ(0, Update(tool_, L"bus.inf", shared));
    EXPECT_EQ(1, shared.Data()->refs);
    EXPECT_EQ(1u, manager.Freed().size());
    EXPECT_EQ(0, manager.OtherSlotCalls());
}

// Repeated calls from stacks of every 4-byte alignment: a callee that removed its own
// arguments, or a free slot called with the wrong convention, would unbalance the stack.
TEST_F(RigwellTest, RepeatedUpdatesKeepTheCallersStackBalanced) {
    HandMadeManager manager;
    Released expected;
    std::vector<std::unique_ptr<CallerStringBlock>> ids;
    for (int skew : {0, 4, 8, 12}) {
        ids.push_back(std::make_unique<CallerStringBlock>(manager, L"ROOT\\*", 1));
        EXPECT_EQ(87,
                  CallUpdate(update_, tool_.c_str(), L"bus.inf", ids.back()->Characters(), skew));
        expected.push_back({&manager, ids.back()->Data()});
        ids.push_back(std::make_unique<CallerStringBlock>(manager, L"ROOT\\OVERREACH", 2));
        EXPECT_EQ(0,
                  CallUpdate(update_, tool_.c_str(), L"bus.inf", ids.back()->Characters(), skew));
        EXPECT_EQ(1, ids.back()->Data()->refs);
    }
    EXPECT_EQ(expected, manager.Freed());
    EXPECT_EQ(8u, log_.Lines().size());
}

// WMI that cannot be reached: the locator cannot be created, or it cannot connect. The
// removal stops with the low half of the HRESULT before anything runs.
HRESULT createResult = S_OK;
class UnreachableNamespace : public IWbemLocator {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE ConnectServer(BSTR, BSTR, BSTR, BSTR, long, BSTR, IWbemContext*,
                                            IWbemServices** services) override {
        *services = nullptr;
        return WBEM_E_INVALID_NAMESPACE;
    }
    ULONG refs = 0;
};
UnreachableNamespace unreachable;

HRESULT WINAPI CreateFailingLocator(REFCLSID, LPUNKNOWN, DWORD, REFIID, void** out) {
    *out = nullptr;
    if (FAILED(createResult)) return createResult;
    *out = &unreachable;
    unreachable.AddRef();
    return S_OK;
}

TEST_F(RigwellTest, AFailedWmiOpenReturnsTheLowHalfOfItsResultButNever0) {
    ImportPatch patch(library_, "CoCreateInstance",
                      reinterpret_cast<const void*>(&CreateFailingLocator));
    ASSERT_TRUE(patch.Applied());
    HandMadeManager manager;
    CallerStringBlock id(manager, L"ROOT\\OVERREACH", 1);

    createResult = REGDB_E_CLASSNOTREG;  // 0x80040154
    EXPECT_EQ(0x0154, Uninstall(tool_, "ROOT\\OVERREACH"));
    EXPECT_EQ(0x0154, uninstall1_("ROOT\\OVERREACH"));
    // A failure whose low half is 0 is still a failure, never 0.
    createResult = static_cast<HRESULT>(0x80070000);
    EXPECT_EQ(ERROR_UNIDENTIFIED_ERROR, Uninstall(tool_, "ROOT\\OVERREACH"));
    EXPECT_EQ(ERROR_UNIDENTIFIED_ERROR, uninstall1_("ROOT\\OVERREACH"));
    createResult = S_OK;  // a locator that cannot connect: 0x8004100E
    EXPECT_EQ(0x100E, Uninstall(tool_, "ROOT\\OVERREACH"));
    EXPECT_EQ(0x100E, Update(tool_, L"bus.inf ROOT\\OVERREACH", id));
    EXPECT_EQ(0u, unreachable.refs);
    EXPECT_EQ((Released{{&manager, id.Data()}}), manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());
}

// A tool path with a tab: CreateProcessW would split it there as at a blank. The start is
// seen, and refused, at the library's own import.
std::vector<std::wstring> startedCommands;
BOOL WINAPI RecordAndRefuseStart(LPCWSTR, LPWSTR commandLine, LPSECURITY_ATTRIBUTES,
                                 LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR,
                                 LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    startedCommands.push_back(commandLine ? commandLine : L"<null>");
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

TEST_F(RigwellTest, AToolPathWithATabIsQuoted) {
    ImportPatch patch(library_, "CreateProcessW",
                      reinterpret_cast<const void*>(&RecordAndRefuseStart));
    ASSERT_TRUE(patch.Applied());
    startedCommands.clear();
    const std::wstring tool = ProgramFolder() + L"\\stand\tin\\devcon.exe";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Install(tool, "bus.inf ROOT\\OVERREACH"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Uninstall(tool, "ROOT\\OVERREACH"));
    const std::wstring quoted = L"\"" + tool + L"\"";
    EXPECT_EQ(
        (Lines{quoted + L" install bus.inf ROOT\\OVERREACH", quoted + L" remove ROOT\\OVERREACH"}),
        startedCommands);
}

// The device removed, then an installation that cannot start: Update reports that.
BOOL WINAPI StartAllButInstall(LPCWSTR application, LPWSTR commandLine,
                               LPSECURITY_ATTRIBUTES process, LPSECURITY_ATTRIBUTES thread,
                               BOOL inherit, DWORD flags, LPVOID environment, LPCWSTR directory,
                               LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
    if (std::wstring(commandLine).find(L" install ") != std::wstring::npos) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return CreateProcessW(application, commandLine, process, thread, inherit, flags, environment,
                          directory, startup, info);
}

TEST_F(RigwellTest, UpdateReportsAnInstallationThatCannotStart) {
    ImportPatch patch(library_, "CreateProcessW",
                      reinterpret_cast<const void*>(&StartAllButInstall));
    ASSERT_TRUE(patch.Applied());
    HandMadeManager manager;
    CallerStringBlock id(manager, L"ROOT\\OVERREACH", 1);
    EXPECT_EQ(ERROR_ACCESS_DENIED, Update(tool_, L"bus.inf ROOT\\OVERREACH", id));
    EXPECT_EQ(Lines{tool_ + L" remove ROOT\\OVERREACH"}, log_.Lines());
}

// Install_1 with a devcon.exe the shell cannot find: the shell's import is made to look for
// a name that does not exist, with the flags the library chose. Any window of this process
// that appears meanwhile is counted and dismissed (a shell error box would otherwise wait
// for a user).
ULONG seenMask = 0;
const void* realShellExecute = nullptr;
BOOL WINAPI ShellExecuteMissingTool(SHELLEXECUTEINFOW* info) {
    seenMask = info->fMask;
    SHELLEXECUTEINFOW missing = *info;
    missing.lpFile = L"overreach-no-such-devcon.exe";
    return reinterpret_cast<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(realShellExecute)(&missing);
}

// A shell that fails without saying why.
BOOL WINAPI ShellExecuteFailsSilently(SHELLEXECUTEINFOW*) {
    SetLastError(0);
    return FALSE;
}

std::vector<std::wstring> windowsSeen;
BOOL CALLBACK DismissOurWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    windowsSeen.push_back(title);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}
void CALLBACK LookForWindows(HWND, UINT, UINT_PTR, DWORD) {
    EnumWindows(DismissOurWindow, 0);
}

TEST_F(RigwellTest, AMissingDevconShowsNoWindow) {
    ImportPatch patch(library_, "ShellExecuteExW",
                      reinterpret_cast<const void*>(&ShellExecuteMissingTool));
    ASSERT_TRUE(patch.Applied());
    realShellExecute = patch.Original();
    windowsSeen.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, LookForWindows);
    const int result = install1_("bus.inf ROOT\\OVERREACH");
    // A box shown by another thread of the shell would appear shortly after.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 1000;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(20);
    }
    KillTimer(nullptr, timer);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, result);
    EXPECT_EQ(std::vector<std::wstring>{}, windowsSeen);
    // And the start is not left to a shell thread that an installer exiting at once would end.
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOASYNC), seenMask & SEE_MASK_NOASYNC);
    EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(RigwellTest, AFailedStartThatSetNoErrorIsStillAFailure) {
    ImportPatch patch(library_, "ShellExecuteExW",
                      reinterpret_cast<const void*>(&ShellExecuteFailsSilently));
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(ERROR_UNIDENTIFIED_ERROR, install1_("bus.inf ROOT\\OVERREACH"));
}

// While `failing` is set, the library's allocations of 1024 bytes or more fail, as in a
// process whose heap has only small pieces left. (Small ones still succeed: the test
// build's threads runtime needs them while an exception is thrown, and crashes without.)
bool failing = false;
const void* realMalloc = nullptr;
void* __cdecl MallocThatFails(size_t size) {
    if (failing && size >= 1024) return nullptr;
    return reinterpret_cast<void*(__cdecl*)(size_t)>(realMalloc)(size);
}

TEST_F(RigwellTest, RunningOutOfMemoryReturns8AndRunsNothing) {
    ImportPatch patch(library_, "malloc", reinterpret_cast<const void*>(&MallocThatFails));
    ASSERT_TRUE(patch.Applied());
    realMalloc = patch.Original();
    // Each long enough that its copy needs more than the heap can give.
    const std::string longText(600, 'A');
    const std::string arguments = "C:\\drv\\bus.inf ROOT\\" + longText;
    HandMadeManager manager;
    CallerStringBlock id(manager, L"ROOT\\" + std::wstring(longText.begin(), longText.end()), 1);

    failing = true;
    const int install = Install(tool_, arguments);
    const int uninstall = Uninstall(tool_, "ROOT\\" + longText);
    const int update = Update(tool_, L"bus.inf ROOT\\OVERREACH", id);
    failing = false;
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, install);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, uninstall);
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, update);
    EXPECT_EQ((Released{{&manager, id.Data()}}), manager.Freed());
    EXPECT_TRUE(log_.Lines().empty());

    // With memory back, the library works again.
    EXPECT_EQ(0, Install(tool_, arguments));
    EXPECT_EQ(1u, log_.Lines().size());
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
    EXPECT_EQ(2u, log_.Lines().size());  // one remove each
}

// The library's COM set-up, slowed down, and WMI's first step, in the order they happen.
std::mutex comEventsLock;
std::vector<std::string> comEvents;
const void* realSecurity = nullptr;
const void* realCreate = nullptr;
void NoteComEvent(const char* event) {
    const std::lock_guard<std::mutex> hold(comEventsLock);
    comEvents.push_back(event);
}
HRESULT WINAPI SlowSecurity(PSECURITY_DESCRIPTOR descriptor, LONG count,
                            SOLE_AUTHENTICATION_SERVICE* services, void* reserved1, DWORD level,
                            DWORD impersonation, void* list, DWORD capabilities, void* reserved3) {
    NoteComEvent("security begins");
    Sleep(500);
    const HRESULT hr = reinterpret_cast<decltype(&CoInitializeSecurity)>(realSecurity)(
        descriptor, count, services, reserved1, level, impersonation, list, capabilities,
        reserved3);
    NoteComEvent("security ends");
    return hr;
}
HRESULT WINAPI NotedCreate(REFCLSID type, LPUNKNOWN outer, DWORD context, REFIID id, void** out) {
    NoteComEvent("WMI");
    return reinterpret_cast<decltype(&CoCreateInstance)>(realCreate)(type, outer, context, id, out);
}

TEST_F(RigwellTest, TwoFirstCallsAtOnceBothWaitForTheComSetUp) {
    ImportPatch security(library_, "CoInitializeSecurity",
                         reinterpret_cast<const void*>(&SlowSecurity));
    ImportPatch create(library_, "CoCreateInstance", reinterpret_cast<const void*>(&NotedCreate));
    ASSERT_TRUE(security.Applied());
    ASSERT_TRUE(create.Applied());
    realSecurity = security.Original();
    realCreate = create.Original();
    comEvents.clear();

    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int results[2] = {-1, -1};
    auto first = [&] {
        WaitForSingleObject(go, INFINITE);
        results[0] = Uninstall(tool_, "ROOT\\OVERREACH");
    };
    auto second = [&] {
        WaitForSingleObject(go, INFINITE);
        results[1] = uninstall1_("ROOT\\OVERREACH");
    };
    HANDLE threads[] = {CreateThread(nullptr, 0, RunWork<decltype(first)>, &first, 0, nullptr),
                        CreateThread(nullptr, 0, RunWork<decltype(second)>, &second, 0, nullptr)};
    SetEvent(go);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE handle : {threads[0], threads[1], go}) CloseHandle(handle);

    EXPECT_EQ(0, results[0]);
    EXPECT_EQ(0, results[1]);
    EXPECT_EQ((std::vector<std::string>{"security begins", "security ends", "WMI", "WMI"}),
              comEvents);
    EXPECT_EQ(2u, log_.Lines().size());  // one remove each
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
                     tool_ + L" remove ROOT\\" + text}),
              log_.Lines());
}

}  // namespace
}  // namespace setup::test
