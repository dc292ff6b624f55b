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

// The command WinExec is given: the updater in the folder, by its full path in quotes.
std::string UpdaterCommandIn(const std::wstring& folder) {
    return "\"" + std::string(folder.begin(), folder.end()) + "\\Tallyup.exe\" /unlock";
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length < MAX_PATH ? value : L"";
}

struct WinExecCall {
    std::string command;
    UINT show;
    std::wstring currentDirectory;
};
std::vector<WinExecCall> winExecCalls;
UINT winExecAnswer = 33;
UINT WINAPI RecordWinExec(LPCSTR command, UINT show) {
    winExecCalls.push_back({command, show, CurrentDirectory()});
    return winExecAnswer;
}

class LiveUpdateTest : public ToolTest {
protected:
    void SetUp() override {
        winExecCalls.clear();
        ASSERT_TRUE(folder.Exists());
    }
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

TEST_F(LiveUpdateTest, StartsTheUpdaterShownNormallyFromTheInstallFolderWhichStaysCurrent) {
    platform::Calls().winExec = RecordWinExec;
    winExecAnswer = 33;
    StartLiveUpdate(diagnostics, owner);

    ASSERT_EQ(1u, winExecCalls.size());
    EXPECT_EQ(UpdaterCommandIn(folder.Path()), winExecCalls[0].command);
    EXPECT_EQ(static_cast<UINT>(SW_SHOWNORMAL), winExecCalls[0].show);
    EXPECT_EQ(folder.Path(), winExecCalls[0].currentDirectory);
    EXPECT_EQ(std::vector<std::wstring>{L"OnBnClickedBtnLiveupdate Info - csFullPath = " +
                                        folder.Path() + L" \n"},
              diagnostics.Lines());
    EXPECT_TRUE(RecordedBoxes().empty());

    // Relative paths used afterwards resolve against the install folder.
    wchar_t full[MAX_PATH] = L"";
    GetFullPathNameW(L"Overreach_En.chm", MAX_PATH, full, nullptr);
    EXPECT_EQ(folder.Path() + L"\\Overreach_En.chm", std::wstring(full));
}

TEST_F(LiveUpdateTest, EveryFailureOfTheStartIsShownAsAMissingFile) {
    platform::Calls().winExec = RecordWinExec;
    for (UINT answer : {0u, 2u, 5u, 11u, 31u, 32u}) {
        winExecAnswer = answer;
        StartLiveUpdate(diagnostics, owner);
    }
    ASSERT_EQ(5u, RecordedBoxes().size());  // all but 32
    for (const testing::RecordedBox& box : RecordedBoxes()) {
        EXPECT_EQ(owner, box.owner);
        EXPECT_EQ(SystemErrorText(0x80070002), box.text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), box.type);
    }
}

TEST_F(LiveUpdateTest, TheRealStartFindsTheUpdaterInTheInstallFolder) {
    StandInLog log;
    ASSERT_TRUE(folder.Place(StandInProgram(), L"Tallyup.exe")) << GetLastError();
    StartLiveUpdate(diagnostics, owner);
    EXPECT_TRUE(RecordedBoxes().empty());
    ASSERT_TRUE(log.WaitForLines(1, 20000));
    const testing::StandInStart start = log.Starts().at(0);
    EXPECT_EQ(folder.Path() + L"\\Tallyup.exe", start.program);
    EXPECT_EQ(folder.Path(), start.directory);
    EXPECT_EQ(SW_SHOWNORMAL, start.show);
    EXPECT_EQ(L"\"" + folder.Path() + L"\\Tallyup.exe\" /unlock", start.commandLine);
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
