// The three tool buttons of the demonstration build, clicked by control id from another
// process, with the system's own calls behind them: each starts its program (the system's
// cmd.exe, the updater stand-in placed in the install folder, the system's help viewer) and
// the dialog does not wait for it. The demonstration runs in a job whose completion port names
// every process started inside it, however briefly it lives; closing the job ends them all.
// OVERREACH_PROGRAM names the program to click (default: OverreachDemo.exe beside this test).
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "app/InstallFolder.h"
#include "app/ToolPaths.h"
#include "app/testing/OtherProcess.h"
#include "app/testing/ToolTestKit.h"
#include "res/resource.h"

namespace app {
namespace {

using testing::On32BitWindows;
using testing::OtherProcess;
using testing::ScopedFolder;
using testing::StandInLog;
using testing::StandInProgram;
using testing::WaitForWindow;

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return std::towlower(c); });
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

struct StartedProcess {
    std::wstring image;  // the device path of the image file
    BOOL wow64 = -1;
};

class JobWatch {
public:
    JobWatch() {
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
        association.CompletionPort = port_;
        SetInformationJobObject(job_, JobObjectAssociateCompletionPortInformation, &association,
                                sizeof association);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    ~JobWatch() {
        CloseHandle(job_);
        CloseHandle(port_);
    }
    JobWatch(const JobWatch&) = delete;
    JobWatch& operator=(const JobWatch&) = delete;

    bool Ready() const { return job_ && port_; }
    bool Add(HANDLE process) { return AssignProcessToJobObject(job_, process); }

    // The next process started in the job whose image file has this name, waiting up to the
    // given time; processes of other names (console hosts and the like) are passed over, and
    // so are those that had ended before they could be named: these are counted.
    bool WaitForStart(const std::wstring& name, DWORD milliseconds, StartedProcess& found,
                      int* unseen = nullptr) {
        const DWORD end = GetTickCount() + milliseconds;
        for (;;) {
            const LONG left = static_cast<LONG>(end - GetTickCount());
            DWORD message = 0;
            ULONG_PTR key = 0;
            OVERLAPPED* data = nullptr;
            if (left <= 0 ||
                !GetQueuedCompletionStatus(port_, &message, &key, &data, static_cast<DWORD>(left)))
                return false;
            if (message != JOB_OBJECT_MSG_NEW_PROCESS) continue;
            const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, id);
            wchar_t image[MAX_PATH] = L"";
            if (!process || !GetProcessImageFileNameW(process, image, MAX_PATH)) {
                if (process) CloseHandle(process);
                if (unseen) ++*unseen;
                continue;
            }
            StartedProcess started;
            started.image = image;
            using IsWow64 = BOOL(WINAPI*)(HANDLE, BOOL*);
            if (const auto isWow64 = reinterpret_cast<IsWow64>(reinterpret_cast<void*>(
                    GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"))))
                isWow64(process, &started.wow64);
            CloseHandle(process);
            if (EndsWith(started.image, L"\\" + name)) {
                found = started;
                return true;
            }
        }
    }

private:
    HANDLE job_ = CreateJobObjectW(nullptr, nullptr);
    HANDLE port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
};

// BM_CLICK crosses the process boundary and comes back only when the dialog has handled the
// click: a handler that waited for its program would run into the time-out.
bool ClickWithoutBlocking(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (!button || !IsWindowEnabled(button)) return false;
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

bool Answers(HWND dialog) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

// Clicks the button until the job names the program it starts. A program that ends at once
// (cmd.exe here, in a fraction of a second) can be gone before a busy machine lets the watch
// look at it; only then is the click repeated.
bool ClickAndSeeStart(JobWatch& job, HWND dialog, int id, const std::wstring& name,
                      StartedProcess& started) {
    for (int click = 0; click < 5; ++click) {
        if (!ClickWithoutBlocking(dialog, id)) return false;
        int unseen = 0;
        if (job.WaitForStart(name, 20000, started, &unseen)) return true;
        if (unseen == 0) return false;
    }
    return false;
}

TEST(ToolButtonsTest, EachButtonStartsItsProgramAndTheDialogGoesOn) {
    StandInLog log;
    StandInLog::StayFor(4000);
    ScopedFolder folder(GetInstallFolder());
    ASSERT_TRUE(folder.Place(StandInProgram(), L"Tallyup.exe"));
    const std::wstring helpFile =
        HelpFileFor(GetSystemDefaultLangID()) + 1;  // without the backslash
    ASSERT_TRUE(folder.PlaceEmpty(helpFile));

    JobWatch job;
    ASSERT_TRUE(job.Ready());
    wchar_t program[MAX_PATH] = L"OverreachDemo.exe";
    const DWORD named = GetEnvironmentVariableW(L"OVERREACH_PROGRAM", program, MAX_PATH);
    if (named == 0 || named >= MAX_PATH) wcscpy(program, L"OverreachDemo.exe");
    OtherProcess demo;
    ASSERT_TRUE(demo.Start(program, CREATE_SUSPENDED)) << GetLastError();
    ASSERT_TRUE(job.Add(demo.Process())) << GetLastError();
    ASSERT_TRUE(demo.Resume());
    HWND dialog = WaitForWindow(
        demo.Id(), [](HWND window) { return GetDlgItem(window, IDC_LIST_DRIVE) != nullptr; },
        30000);
    ASSERT_NE(nullptr, dialog);
    StartedProcess started;

    // Partition: the system's cmd.exe, on 64-bit Windows the native one. A 32-bit copy would
    // run from syswow64 and as a WOW64 process.
    ASSERT_TRUE(ClickAndSeeStart(job, dialog, IDC_BTN_PARTITION, L"cmd.exe", started));
    EXPECT_TRUE(EndsWith(started.image, L"\\windows\\system32\\cmd.exe")) << started.image;
    EXPECT_FALSE(started.wow64);

    // Live update: the stand-in in the install folder, shown normally, still running while
    // the dialog answers.
    ASSERT_TRUE(ClickWithoutBlocking(dialog, IDC_BTN_LIVEUPDATE));
    ASSERT_TRUE(job.WaitForStart(L"Tallyup.exe", 20000, started));
    ASSERT_TRUE(log.WaitForLines(1, 20000));
    EXPECT_TRUE(Answers(dialog));
    const std::vector<std::wstring> lines = log.Lines();
    EXPECT_EQ(1u, lines.size());  // not "ended" yet
    const testing::StandInStart updater = log.Starts().at(0);
    EXPECT_EQ(folder.Path() + L"\\Tallyup.exe", updater.program);
    EXPECT_EQ(L"\"" + folder.Path() + L"\\Tallyup.exe\" /unlock", updater.commandLine);
    EXPECT_EQ(folder.Path(), updater.directory);
    EXPECT_EQ(SW_SHOWNORMAL, updater.show);

    // Help: the shell's default action for the help file starts the system's help viewer.
    ASSERT_TRUE(ClickWithoutBlocking(dialog, IDC_BTN_HELP));
    EXPECT_TRUE(job.WaitForStart(L"hh.exe", 20000, started));
    EXPECT_TRUE(Answers(dialog));

    // No message box came up on the way.
    EXPECT_EQ(nullptr, WaitForWindow(
                           demo.Id(),
                           [dialog](HWND window) {
                               return window != dialog &&
                                      testing::WindowText(window) == L"Overreach";
                           },
                           0));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, demo.WaitForExit(30000));
    ASSERT_TRUE(log.WaitForLines(2, 20000));  // the updater's end, before its folder goes
}

}  // namespace
}  // namespace app
