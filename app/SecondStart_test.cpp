// Two copies of the demonstration build under Wine: the second one brings the first one's
// window forward and ends; a block that names no live window gets the message instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Process {
    PROCESS_INFORMATION info{};
    bool Start() {
        STARTUPINFOW startup{sizeof(startup)};
        wchar_t command[] = L"OverreachDemo.exe";
        return CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    }
    DWORD WaitForExit(DWORD milliseconds) {
        if (WaitForSingleObject(info.hProcess, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
    ~Process() {
        if (!info.hProcess) return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 9);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
};

// The first visible top-level window of a process with the given title.
HWND WaitForWindow(DWORD processId, const wchar_t* title, DWORD milliseconds) {
    struct Search {
        DWORD processId;
        const wchar_t* title;
        HWND found;
    } search{processId, title, nullptr};
    const DWORD end = GetTickCount() + milliseconds;
    while (!search.found && GetTickCount() < end) {
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t text[64] = L"";
                GetWindowTextW(window, text, 64);
                if (owner != s->processId || !IsWindowVisible(window) || std::wstring(text) != s->title) return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(50);
    }
    return search.found;
}

TEST(SecondStartTest, TheSecondCopyRestoresTheFirstAndEnds) {
    Process first;
    ASSERT_TRUE(first.Start());
    HWND window = WaitForWindow(first.info.dwProcessId, L"Overreach", 30000);
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));

    Process second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(0u, second.WaitForExit(30000));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(nullptr, WaitForWindow(second.info.dwProcessId, L"Error", 200));

    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(0u, first.WaitForExit(30000));
}

TEST(SecondStartTest, ABlockWithoutALiveWindowGetsOneMessage) {
    // Another process's block under the program's name, naming no window.
    HANDLE block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, L"OverreachDemo__akui__");
    ASSERT_NE(nullptr, block);
    auto* slot = static_cast<DWORD*>(MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 4));
    ASSERT_NE(nullptr, slot);
    *slot = 0x0BADF00D;
    UnmapViewOfFile(slot);

    Process copy;
    ASSERT_TRUE(copy.Start());
    HWND box = WaitForWindow(copy.info.dwProcessId, L"Error", 30000);
    ASSERT_NE(nullptr, box);
    wchar_t text[128] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 128);  // the message box's text control
    EXPECT_STREQ(L"Only one instance is allowed", text);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(0u, copy.WaitForExit(30000));
    EXPECT_EQ(nullptr, WaitForWindow(copy.info.dwProcessId, L"Overreach", 100));
    CloseHandle(block);
}

}  // namespace
