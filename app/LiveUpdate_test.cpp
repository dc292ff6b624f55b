// The live-update button: the updater started from the install folder, which stays the
// current directory, on the Program Files folder this 32-bit program is given.
#include "app/LiveUpdate.h"

#include <gtest/gtest.h>

#include <string>

#include "app/InstallFolder.h"
#include "app/SystemError.h"
#include "app/testing/ToolTestKit.h"

namespace app {
namespace {

using testing::RecordedBoxes;
using testing::ScopedFolder;
using testing::StandInLog;
using testing::StandInProgram;
using testing::ThroughWow64;
using testing::ToolTest;

std::wstring CurrentDirectory() {
    wchar_t path[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, path);
    return path;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? value : L"";
}

DWORD startError = 0;
BOOL WINAPI FailStart(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                      LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    SetLastError(startError);
    return FALSE;
}

class LiveUpdateTest : public ToolTest {
protected:
    void SetUp() override { ASSERT_TRUE(folder.Exists()); }
    void TearDown() override { SetCurrentDirectoryW(startDirectory.c_str()); }

    const std::wstring startDirectory = CurrentDirectory();
    ScopedFolder folder{GetInstallFolder()};
};

TEST_F(LiveUpdateTest, TheInstallFolderIsUnderTheProgramFilesForThisProgram) {
    // On 64-bit Windows the system gives a 32-bit program the folder for 32-bit programs.
    const std::wstring expected =
        Environment(ThroughWow64() ? L"ProgramFiles(x86)" : L"ProgramFiles");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(expected, GetProgramFilesPath());
    EXPECT_EQ(expected + L"\\Corvane\\Overreach", GetInstallFolder());
}

// An updater that never waits for input, as a console program or one busy starting up: the
// click returns at once, with both of the process's handles closed.
TEST_F(LiveUpdateTest, StartsTheUpdaterFromTheInstallFolderWithoutWaitingForIt) {
    StandInLog log;
    ASSERT_TRUE(folder.Place(StandInProgram(), L"Tallyup.exe")) << GetLastError();
    SetEnvironmentVariableW(L"STANDIN_STAY_MS", L"3000");
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    const DWORD start = GetTickCount();
    StartLiveUpdate(diagnostics, owner);
    const DWORD took = GetTickCount() - start;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    SetEnvironmentVariableW(L"STANDIN_STAY_MS", nullptr);
    EXPECT_LT(took, 2000u);
    EXPECT_EQ(handlesBefore, handlesAfter);
    EXPECT_TRUE(RecordedBoxes().empty());
    EXPECT_EQ(std::vector<std::wstring>{L"OnBnClickedBtnLiveupdate Info - csFullPath = " +
                                        folder.Path() + L" \n"},
              diagnostics.Lines());

    ASSERT_TRUE(log.WaitForLines(1, 20000));
    const testing::StandInStart started = log.Starts().at(0);
    EXPECT_EQ(folder.Path() + L"\\Tallyup.exe", started.program);
    EXPECT_EQ(folder.Path(), started.directory);
    EXPECT_EQ(SW_SHOWNORMAL, started.show);
    EXPECT_EQ(L"\"" + folder.Path() + L"\\Tallyup.exe\" /unlock", started.commandLine);
    // Relative paths used afterwards resolve against the install folder.
    wchar_t full[MAX_PATH] = L"";
    GetFullPathNameW(L"Overreach_En.chm", MAX_PATH, full, nullptr);
    EXPECT_EQ(folder.Path() + L"\\Overreach_En.chm", std::wstring(full));
    ASSERT_TRUE(log.WaitForLines(2, 20000));  // the stand-in has ended before its folder goes
}

TEST_F(LiveUpdateTest, EveryFailureOfTheStartIsShownAsAMissingFile) {
    platform::Calls().createProcess = FailStart;
    for (DWORD error : {0ul, 2ul, 5ul, 193ul}) {
        startError = error;
        StartLiveUpdate(diagnostics, owner);
    }
    ASSERT_EQ(4u, RecordedBoxes().size());
    for (const testing::RecordedBox& box : RecordedBoxes()) {
        EXPECT_EQ(owner, box.owner);
        EXPECT_EQ(SystemErrorText(0x80070002), box.text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), box.type);
    }
}

TEST_F(LiveUpdateTest, AnUpdaterBesideTheProgramIsNeverStarted) {
    // The program may be started from a downloads folder, elevated, beside anything.
    StandInLog log;
    ScopedFolder programFolder{testing::ProgramFolder()};
    ASSERT_TRUE(programFolder.Place(StandInProgram(), L"Tallyup.exe")) << GetLastError();
    StartLiveUpdate(diagnostics, owner);
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_EQ(SystemErrorText(0x80070002), RecordedBoxes()[0].text);
    EXPECT_FALSE(log.WaitForLines(1, 1000));
}

TEST_F(LiveUpdateTest, AMissingUpdaterIsReportedOnce) {
    StartLiveUpdate(diagnostics, owner);
    ASSERT_EQ(1u, RecordedBoxes().size());
    EXPECT_EQ(SystemErrorText(0x80070002), RecordedBoxes()[0].text);
    EXPECT_EQ(L"Overreach", RecordedBoxes()[0].caption);
}

}  // namespace
}  // namespace app
