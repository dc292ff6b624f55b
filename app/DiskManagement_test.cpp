// The Partition button on the Windows the test runs on: which cmd.exe starts (on 64-bit
// Windows the native one, which only shows with redirection off), how, and that redirection
// is back on before the handler returns or shows anything. Two independent signs tell the
// native cmd.exe: the file the command line names, read at the moment of the start, is an x64
// image; and the process that starts is not a WOW64 one.
#include "app/DiskManagement.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/SystemError.h"
#include "app/testing/ToolTestKit.h"

namespace app {
namespace {

using testing::AtEachBox;
using testing::On32BitWindows;
using testing::RecordedBoxes;
using testing::ScopedFolder;
using testing::StandInLog;
using testing::StandInProgram;
using testing::ThroughWow64;
using testing::ToolTest;

constexpr WORD kMachineX86 = 0x014C, kMachineX64 = 0x8664;
// The system's cmd.exe as this program sees it while redirection is on.
constexpr WORD kRedirectedView = sizeof(void*) == 4 ? kMachineX86 : kMachineX64;
constexpr wchar_t kWow64Line[] = L"OnBnClickedBtnPartition Info - IsWow64 == TRUE \n";

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = L"";
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

// The machine field of a PE file's header, as this program sees the path now; 0 when unreadable.
WORD MachineOf(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char header[1024] = {};
    DWORD read = 0;
    ReadFile(file, header, sizeof header, &read, nullptr);
    CloseHandle(file);
    DWORD offset = 0;
    std::memcpy(&offset, header + 60, 4);
    WORD machine = 0;
    if (read >= 64 && offset + 6 <= read) std::memcpy(&machine, header + offset + 4, 2);
    return machine;
}

// --- what the handler is made to see -------------------------------------------------------

// A file only in the 32-bit system folder: seen through system32 exactly while redirection is on.
std::wstring probeThroughSystem32;
bool ProbeVisible() {
    return GetFileAttributesW(probeThroughSystem32.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct StartCall {
    bool applicationNameNull;
    std::wstring commandLine;
    BOOL inheritHandles;
    DWORD flags;
    bool environmentNull, directoryNull;
    DWORD startupFlags;
    WORD show;
    WORD machineAtStart;
    bool probeVisibleAtStart;
    BOOL childIsWow64;
};
enum class Start { Real, Pretend, Fail };
Start startMode = Start::Pretend;
DWORD startError = 0;
std::vector<StartCall> starts;
HANDLE lastChild = nullptr;

std::wstring ExecutableOf(const std::wstring& commandLine) {
    if (!commandLine.empty() && commandLine[0] == L'"')
        return commandLine.substr(1, commandLine.find(L'"', 1) - 1);
    return commandLine.substr(0, commandLine.find(L" /c "));
}

BOOL WINAPI RecordStart(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                        LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                        LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info) {
    StartCall call{application == nullptr,
                   commandLine,
                   inherit,
                   flags,
                   environment == nullptr,
                   directory == nullptr,
                   startup->dwFlags,
                   startup->wShowWindow,
                   MachineOf(ExecutableOf(commandLine)),
                   ProbeVisible(),
                   -1};
    BOOL started = TRUE;
    HANDLE self = GetCurrentProcess();
    switch (startMode) {
        case Start::Real:
            started = CreateProcessW(application, commandLine, process, thread, inherit, flags,
                                     environment, directory, startup, info);
            if (started) {
                using IsWow64 = BOOL(WINAPI*)(HANDLE, BOOL*);
                const auto isWow64 = reinterpret_cast<IsWow64>(reinterpret_cast<void*>(
                    GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
                if (isWow64) isWow64(info->hProcess, &call.childIsWow64);
                DuplicateHandle(self, info->hProcess, self, &lastChild, SYNCHRONIZE, FALSE, 0);
            }
            break;
        case Start::Pretend:
            // Handles the runner can poll and close, without a process behind them.
            DuplicateHandle(self, self, self, &info->hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
            DuplicateHandle(self, GetCurrentThread(), self, &info->hThread, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
            break;
        case Start::Fail:
            SetLastError(startError);
            started = FALSE;
            break;
    }
    starts.push_back(call);
    return started;
}

// The kernel32 lookups, counted, with entry points hidden or replaced on request.
std::vector<std::string> lookups;
int disables = 0, disabledTurnedOff = 0, reverts = 0;
bool hideWow64 = false, hideNative = false;
WORD fakeArchitecture = 0xFFFF;  // none

BOOL WINAPI CountingDisable(void** state) {
    ++disables;
    using Disable = BOOL(WINAPI*)(void**);
    const BOOL off = reinterpret_cast<Disable>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "Wow64DisableWow64FsRedirection")))(state);
    disabledTurnedOff += off ? 1 : 0;
    return off;
}
BOOL WINAPI CountingRevert(void* state) {
    ++reverts;
    using Revert = BOOL(WINAPI*)(void*);
    return reinterpret_cast<Revert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "Wow64RevertWow64FsRedirection")))(state);
}
void WINAPI FakeNativeSystemInfo(SYSTEM_INFO* info) {
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = fakeArchitecture;
}
template <class F>
FARPROC AsProc(F function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}
FARPROC WINAPI Lookup(HMODULE module, LPCSTR name) {
    lookups.push_back(name);
    const std::string n = name;
    const bool wow64 = n.rfind("Wow64", 0) == 0;
    FARPROC real = GetProcAddress(module, name);
    if ((wow64 && hideWow64) || (n == "GetNativeSystemInfo" && hideNative) || !real) return nullptr;
    if (n == "Wow64DisableWow64FsRedirection") return AsProc(CountingDisable);
    if (n == "Wow64RevertWow64FsRedirection") return AsProc(CountingRevert);
    if (n == "GetNativeSystemInfo" && fakeArchitecture != 0xFFFF)
        return AsProc(FakeNativeSystemInfo);
    return real;
}
bool LookedUpWow64() {
    for (const std::string& name : lookups)
        if (name.rfind("Wow64", 0) == 0) return true;
    return false;
}

std::wstring fakeSystemFolder;
DWORD systemFolderError = 0;
UINT WINAPI FakeSystemDirectory(LPWSTR buffer, UINT size) {
    if (fakeSystemFolder.empty()) {
        SetLastError(systemFolderError);
        return 0;
    }
    if (fakeSystemFolder.size() >= size) return static_cast<UINT>(fakeSystemFolder.size() + 1);
    wcscpy(buffer, fakeSystemFolder.c_str());
    return static_cast<UINT>(fakeSystemFolder.size());
}

std::vector<bool> probeVisibleAtBox;
void NoteProbeAtBox() {
    probeVisibleAtBox.push_back(ProbeVisible());
}

class DiskManagementTest : public ToolTest {
protected:
    void SetUp() override {
        platform::Calls().createProcess = RecordStart;
        platform::Calls().getProcAddress = Lookup;
        AtEachBox() = NoteProbeAtBox;
        starts.clear();
        lookups.clear();
        probeVisibleAtBox.clear();
        disables = disabledTurnedOff = reverts = 0;
        hideWow64 = hideNative = false;
        fakeArchitecture = 0xFFFF;
        startMode = Start::Pretend;
        lastChild = nullptr;

        const std::wstring name =
            L"\\overreach-redirection-probe-" + std::to_wstring(GetCurrentProcessId());
        probeThroughSystem32 = SystemFolder() + name;
        wchar_t wow64Folder[MAX_PATH] = L"";
        if (ThroughWow64() && GetSystemWow64DirectoryW(wow64Folder, MAX_PATH) > 0) {
            probeInWow64Folder = wow64Folder + name;
            HANDLE file = CreateFileW(probeInWow64Folder.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, file);
            CloseHandle(file);
            ASSERT_TRUE(ProbeVisible());
        }
    }
    void TearDown() override {
        if (lastChild) {
            WaitForSingleObject(lastChild, 20000);
            CloseHandle(lastChild);
        }
        if (!probeInWow64Folder.empty()) DeleteFileW(probeInWow64Folder.c_str());
    }

    // How a run on this platform must leave redirection: on 64-bit Windows turned off once
    // and back on once, and on again now; on 32-bit Windows never asked for.
    void ExpectRedirectionRestored() {
        if (On32BitWindows()) {
            EXPECT_FALSE(LookedUpWow64());
            EXPECT_EQ(0, disables);
            EXPECT_EQ(0, reverts);
            return;
        }
        EXPECT_EQ(1, disables);
        EXPECT_EQ(disabledTurnedOff, reverts);
        if (ThroughWow64()) {
            EXPECT_EQ(1, reverts);
            EXPECT_TRUE(ProbeVisible());
        }
    }

    std::wstring probeInWow64Folder;
};

TEST_F(DiskManagementTest, StartsTheNativeCommandProcessorHiddenAndTurnsRedirectionBackOn) {
    startMode = Start::Real;
    OpenDiskManagement(diagnostics, owner);

    ASSERT_EQ(1u, starts.size());
    const StartCall& call = starts[0];
    EXPECT_TRUE(call.applicationNameNull);
    EXPECT_EQ(SystemFolder() + L"\\cmd.exe /c diskmgmt.msc", call.commandLine);
    EXPECT_FALSE(call.inheritHandles);
    EXPECT_EQ(static_cast<DWORD>(CREATE_NEW_CONSOLE), call.flags);
    EXPECT_TRUE(call.environmentNull);
    EXPECT_TRUE(call.directoryNull);
    EXPECT_EQ(static_cast<DWORD>(STARTF_USESHOWWINDOW), call.startupFlags);
    EXPECT_EQ(SW_HIDE, call.show);
    EXPECT_FALSE(call.childIsWow64);
    EXPECT_TRUE(RecordedBoxes().empty());
    ExpectRedirectionRestored();
    if (On32BitWindows()) {
        EXPECT_EQ(kMachineX86, call.machineAtStart);
        EXPECT_TRUE(diagnostics.Lines().empty());
    } else {
        // system32 as a 64-bit program sees it: the x64 cmd.exe, and not the 32-bit folder.
        EXPECT_EQ(kMachineX64, call.machineAtStart);
        if (ThroughWow64()) {
            EXPECT_FALSE(call.probeVisibleAtStart);
        }
        EXPECT_EQ((std::vector<std::wstring>{kWow64Line, kWow64Line}), diagnostics.Lines());
    }
}

TEST_F(DiskManagementTest, AFailedStartIsShownOnceAfterRedirectionIsBackOn) {
    startMode = Start::Fail;
    startError = ERROR_ACCESS_DENIED;
    OpenDiskManagement(diagnostics, owner);

    ASSERT_EQ(1u, starts.size());
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_EQ(owner, RecordedBoxes()[0].owner);
    EXPECT_EQ(SystemErrorText(0x80070005), RecordedBoxes()[0].text);
    EXPECT_EQ(L"Overreach", RecordedBoxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), RecordedBoxes()[0].type);
    ExpectRedirectionRestored();
    if (On32BitWindows()) {
        EXPECT_TRUE(diagnostics.Lines().empty());
    } else {
        // The box's message loop already has the 32-bit view.
        if (ThroughWow64()) {
            EXPECT_TRUE(probeVisibleAtBox.at(0));
        }
        EXPECT_EQ(std::vector<std::wstring>{kWow64Line}, diagnostics.Lines());
    }
}

TEST_F(DiskManagementTest, WithoutASystemFolderNothingStartsAndRedirectionIsNotTouched) {
    platform::Calls().getSystemDirectory = FakeSystemDirectory;
    fakeSystemFolder.clear();
    const struct {
        DWORD error;
        uint32_t shown;
    } cases[] = {{ERROR_PATH_NOT_FOUND, 0x80070003},
                 {0, 0x80004005}};  // a failure that set no code is still a failure
    for (const auto& c : cases) {
        systemFolderError = c.error;
        OpenDiskManagement(diagnostics, owner);
    }
    // A folder longer than the buffer cannot be used either.
    fakeSystemFolder = L"C:\\" + std::wstring(MAX_PATH, L'x');
    OpenDiskManagement(diagnostics, owner);

    EXPECT_TRUE(starts.empty());
    EXPECT_FALSE(LookedUpWow64());
    EXPECT_TRUE(diagnostics.Lines().empty());
    ASSERT_EQ(3u, RecordedBoxes().size());
    EXPECT_EQ(SystemErrorText(0x80070003), RecordedBoxes()[0].text);
    EXPECT_EQ(SystemErrorText(0x80004005), RecordedBoxes()[1].text);
    EXPECT_EQ(SystemErrorText(0x8007007A), RecordedBoxes()[2].text);
}

TEST_F(DiskManagementTest, WithoutTheRedirectionCallsTheProgramGoesOn) {
    hideWow64 = true;
    OpenDiskManagement(diagnostics, owner);
    ASSERT_EQ(1u, starts.size());
    EXPECT_EQ(0, disables);
    EXPECT_EQ(0, reverts);
    EXPECT_TRUE(RecordedBoxes().empty());
    if (!On32BitWindows()) {
        // Nothing turned redirection off: the 32-bit folder's cmd.exe is what starts.
        EXPECT_EQ(kRedirectedView, starts[0].machineAtStart);
        EXPECT_EQ((std::vector<std::wstring>{kWow64Line, kWow64Line}), diagnostics.Lines());
    }
}

TEST_F(DiskManagementTest, AnyOtherArchitectureTakesThe32BitPath) {
    const auto runWith = [&](WORD architecture, bool withoutNativeCall) {
        fakeArchitecture = architecture;
        hideNative = withoutNativeCall;
        starts.clear();
        OpenDiskManagement(diagnostics, owner);
        ASSERT_EQ(1u, starts.size());
        EXPECT_EQ(kRedirectedView, starts[0].machineAtStart);
    };
    runWith(PROCESSOR_ARCHITECTURE_IA64, false);
    runWith(12, false);  // ARM64
    // GetSystemInfo's answer to a 32-bit program is x86, on 64-bit Windows too.
    if (sizeof(void*) == 4) runWith(0xFFFF, true);
    EXPECT_FALSE(LookedUpWow64());
    EXPECT_TRUE(diagnostics.Lines().empty());
    EXPECT_TRUE(RecordedBoxes().empty());
}

// A system folder whose path holds a blank, with a program planted where an unquoted command
// line would be cut: "...\Sys Dir\cmd.exe /c ..." read as "...\Sys.exe" with arguments.
TEST_F(DiskManagementTest, AFolderWithABlankCannotBeSplitAndNothingWaits) {
    startMode = Start::Real;
    StandInLog log;
    StandInLog::StayFor(3000);
    ScopedFolder base(testing::ProgramFolder() + L"\\partition-" +
                      std::to_wstring(GetCurrentProcessId()));
    ScopedFolder system(base.Path() + L"\\Sys Dir");
    ASSERT_TRUE(system.Place(StandInProgram(), L"cmd.exe"));
    ASSERT_TRUE(base.Place(StandInProgram(), L"Sys.exe"));
    platform::Calls().getSystemDirectory = FakeSystemDirectory;
    fakeSystemFolder = system.Path();

    OpenDiskManagement(diagnostics, owner);
    // The stand-in stays three seconds before it notes its end: a handler that waited for it
    // would find the note written.
    const std::vector<std::wstring> linesOnReturn = log.Lines();
    EXPECT_TRUE(RecordedBoxes().empty());
    ASSERT_TRUE(log.WaitForLines(2, 30000));
    for (const std::wstring& line : linesOnReturn) EXPECT_NE(L"ended", line);

    const std::vector<testing::StandInStart> started = log.Starts();
    ASSERT_EQ(1u, started.size());
    EXPECT_EQ(system.Path() + L"\\cmd.exe", started[0].program);
    EXPECT_EQ(L"\"" + system.Path() + L"\\cmd.exe\" /c diskmgmt.msc", started[0].commandLine);
    EXPECT_EQ(SW_HIDE, started[0].show);
    ExpectRedirectionRestored();
}

}  // namespace
}  // namespace app
