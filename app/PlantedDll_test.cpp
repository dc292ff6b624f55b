// The program started from a folder where DLLs named like the ones it and the system's DLLs
// load by name lie in wait, as in a downloads folder. Each planted copy records every load.
// The running process is inspected from outside (a tool-help snapshot of its modules) and
// its window read by control id. A build without the start-up restriction, started the same
// way, must take at least one planted DLL, or the set-up proves nothing.
//   OVERREACH_PROGRAM               the program (default: OverreachDemo.exe beside this test)
//   OVERREACH_UNRESTRICTED_PROGRAM  the same without the restriction
//                                   (default: OverreachDemoUnrestricted.exe beside this test)
// The planted DLL is planted_dll.dll beside this test.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/testing/DialogKit.h"
#include "app/testing/OtherProcess.h"
#include "res/resource.h"

namespace {

using app::testing::ListLines;
using app::testing::WaitForWindow;

// The DLLs that load by name after the program's entry point. Under Wine, found with
// WINEDEBUG=+loaddll: the theme library's drawing helper, which it loads when the window
// first paints. Wine's own DLLs load more by name before the program's first instruction
// (the theme library itself, from the common controls' start-up; version.dll, which its
// user32 imports), where no program can intervene and Windows does not: planted, those would
// only measure Wine.
constexpr const wchar_t* kPlantedNames[] = {L"msimg32"};

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? value : L"";
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring NameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/") + 1);
}

std::wstring BesideThisTest(const wchar_t* name) {
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return FolderOf(self) + L"\\" + name;
}

// The program the variable names, or the one beside this test, as a full path.
std::wstring ProgramPath(const wchar_t* variable, const wchar_t* besideThisTest) {
    std::wstring path = Environment(variable);
    if (path.empty()) path = BesideThisTest(besideThisTest);
    wchar_t full[MAX_PATH] = L"";
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH ? full : path;
}

bool SameFolder(const std::wstring& modulePath, const std::wstring& folder) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, FolderOf(modulePath).c_str(), -1,
                          folder.c_str(), -1) == CSTR_EQUAL;
}

// A folder of its own for one run, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        static int runs = 0;
        wchar_t temp[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"overreach-planted-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
        EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << GetLastError();
        // Module paths come in long form; the temporary folder's may be short.
        wchar_t longPath[MAX_PATH] = L"";
        const DWORD length = GetLongPathNameW(path_.c_str(), longPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH) path_ = longPath;
    }
    ~ScratchFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// Wine prefers a DLL found by the search to its own only for the names that WINEDLLOVERRIDES
// marks native-first, as Windows does for any DLL that is not a known DLL. Wine hands its
// variables to a child from its own start-up environment, not from the block CreateProcess
// passes, so the overrides come from whoever starts this test (its ctest registration).
// Empty when every planted name is marked, or not under Wine.
std::wstring MissingOverrides() {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return L"";
    const std::wstring overrides = L";" + Environment(L"WINEDLLOVERRIDES") + L";";
    std::wstring missing;
    for (const wchar_t* name : kPlantedNames)
        if (overrides.find(L";" + std::wstring(name) + L"=n,b;") == std::wstring::npos)
            missing += std::wstring(name) + L"=n,b;";
    return missing;
}

// Every module of the running process, as the system lists them to another process.
std::vector<std::wstring> ModulePaths(DWORD processId) {
    std::vector<std::wstring> paths;
    HANDLE snapshot = INVALID_HANDLE_VALUE;
    // The snapshot fails with ERROR_BAD_LENGTH while the process is loading a module.
    for (int attempt = 0; attempt < 20 && snapshot == INVALID_HANDLE_VALUE; ++attempt) {
        snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
        if (snapshot == INVALID_HANDLE_VALUE) Sleep(100);
    }
    if (snapshot == INVALID_HANDLE_VALUE) return paths;
    MODULEENTRY32W module{sizeof(module)};
    for (BOOL more = Module32FirstW(snapshot, &module); more;
         more = Module32NextW(snapshot, &module))
        paths.push_back(module.szExePath);
    CloseHandle(snapshot);
    return paths;
}

struct PlantedRun {
    std::vector<std::wstring> listLines;
    std::vector<std::wstring> modulesFromScratch;  // names of the process's modules in there
    std::wstring recordedLoads;                    // what the planted copies wrote
    DWORD exitCode = STILL_ACTIVE;
};

// Starts a copy of the program in a scratch folder beside the planted DLLs, with that folder
// as its current directory too; shows its window some use, then closes it.
PlantedRun RunBesidePlantedDlls(const std::wstring& program) {
    PlantedRun run;
    const std::wstring missing = MissingOverrides();
    if (!missing.empty()) {
        ADD_FAILURE() << "WINEDLLOVERRIDES lacks " << testing::PrintToString(missing);
        return run;
    }
    ScratchFolder scratch;
    const std::wstring copy = scratch.Path() + L"\\" + NameOf(program);
    EXPECT_TRUE(CopyFileW(program.c_str(), copy.c_str(), FALSE)) << GetLastError();
    const std::wstring planted = BesideThisTest(L"planted_dll.dll");
    for (const wchar_t* name : kPlantedNames) {
        const std::wstring target = scratch.Path() + L"\\" + name + L".dll";
        EXPECT_TRUE(CopyFileW(planted.c_str(), target.c_str(), FALSE)) << GetLastError();
    }

    std::wstring command = L"\"" + copy + L"\"";
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        scratch.Path().c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << NameOf(copy).c_str() << ": " << GetLastError();
        return run;
    }

    HWND dialog = WaitForWindow(
        process.dwProcessId,
        [](HWND window) { return GetDlgItem(window, IDC_LIST_DRIVE) != nullptr; }, 30000);
    if (dialog) {
        HWND list = GetDlgItem(dialog, IDC_LIST_DRIVE);
        run.listLines = ListLines(list);
        // Another drive selected: the capacity panel paints anew, as a user's click makes it.
        SendMessageW(list, LB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LIST_DRIVE, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(500);
    }
    for (const std::wstring& module : ModulePaths(process.dwProcessId))
        if (SameFolder(module, scratch.Path())) run.modulesFromScratch.push_back(NameOf(module));

    if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 9);
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    HANDLE log = CreateFileW((scratch.Path() + L"\\planted-loads.txt").c_str(), GENERIC_READ,
                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        wchar_t text[4096] = L"";
        DWORD read = 0;
        ReadFile(log, text, sizeof(text) - sizeof(wchar_t), &read, nullptr);
        run.recordedLoads.assign(text, read / sizeof(wchar_t));
        CloseHandle(log);
    }
    return run;
}

TEST(PlantedDllTest, TheProgramTakesNoDllFromItsFolder) {
    const std::wstring program = ProgramPath(L"OVERREACH_PROGRAM", L"OverreachDemo.exe");
    const PlantedRun run = RunBesidePlantedDlls(program);

    EXPECT_EQ(L"", run.recordedLoads);
    // Of the scratch folder, only the program itself (which shows the snapshot saw it).
    EXPECT_EQ(std::vector<std::wstring>{NameOf(program)}, run.modulesFromScratch);
    // The window works as ever.
    EXPECT_EQ((std::vector<std::wstring>{L"ST3000DM008-2DM166 - 2794.52GB",
                                         L"WDC WD30EZRX-00D8PB0 - 2794.52GB",
                                         L"TOSHIBA MD04ACA400 - 3726.02GB"}),
              run.listLines);
    EXPECT_EQ(0u, run.exitCode);
}

TEST(PlantedDllTest, WithoutTheRestrictionAPlantedDllIsTaken) {
    const std::wstring program =
        ProgramPath(L"OVERREACH_UNRESTRICTED_PROGRAM", L"OverreachDemoUnrestricted.exe");
    const PlantedRun run = RunBesidePlantedDlls(program);

    EXPECT_NE(std::wstring::npos, run.recordedLoads.find(L"msimg32.dll"))
        << "recorded: " << testing::PrintToString(run.recordedLoads);
    // The same inspection that clears the program sees the impostor in this one.
    EXPECT_EQ((std::vector<std::wstring>{NameOf(program), L"msimg32.dll"}), run.modulesFromScratch);
}

}  // namespace
