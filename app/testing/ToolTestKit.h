// Test helper, not product code. What the tests of the external tools share: one fixture
// (the system-call table put back after each test, message boxes and diagnostic lines
// recorded instead of shown or written), the updater stand-in, and folders made for a test
// and removed after it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Diagnostics.h"
#include "platform/SystemCalls.h"
#include "platform/testing/WindowsTesting.h"
#include "setup/testing/StandInLog.h"

namespace app::testing {

using platform::testing::On32BitWindows;
using platform::testing::ScopedCalls;
using platform::testing::ThroughWow64;
using setup::test::ProgramFolder;
using setup::test::StandInLog;
using setup::test::StandInStart;

// The stand-in (setup/testing/StandIn.cpp, built as Tallyup.exe) lives in a folder of its own,
// so that no search that starts in the program's folder finds it by accident.
inline std::wstring StandInProgram() {
    return ProgramFolder() + L"\\standins\\Tallyup.exe";
}

struct RecordedBox {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

// Message boxes recorded instead of shown, with whatever a test wants to look at at the
// moment the box would appear.
inline std::vector<RecordedBox>& RecordedBoxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
}
inline void (*&AtEachBox())() {
    static void (*hook)() = nullptr;
    return hook;
}
inline int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    RecordedBoxes().push_back(
        {owner, text ? text : L"<null>", caption ? caption : L"<null>", type});
    if (AtEachBox()) AtEachBox()();
    return IDOK;
}
// From now until the calls are put back, boxes are recorded.
inline void RecordBoxes() {
    RecordedBoxes().clear();
    AtEachBox() = nullptr;
    platform::Calls().messageBox = RecordBox;
}

// A folder made for the test (with any missing parents) and removed afterwards, with the
// files the test put in it.
class ScopedFolder {
public:
    explicit ScopedFolder(const std::wstring& path) : path_(path) {
        for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
            const std::wstring part = path.substr(0, at);
            if (CreateDirectoryW(part.c_str(), nullptr)) made_.push_back(part);
            if (at == std::wstring::npos) break;
        }
    }
    ~ScopedFolder() {
        // A program started from here may still be on its way out.
        for (const std::wstring& file : files_)
            for (int tries = 0; !DeleteFileW(file.c_str()) &&
                                GetLastError() != ERROR_FILE_NOT_FOUND && tries < 100;
                 ++tries)
                Sleep(50);
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryW(it->c_str());
    }
    ScopedFolder(const ScopedFolder&) = delete;
    ScopedFolder& operator=(const ScopedFolder&) = delete;

    const std::wstring& Path() const { return path_; }
    bool Exists() const {
        const DWORD attributes = GetFileAttributesW(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    // Copies a file in under the given name; it goes when the folder goes.
    bool Place(const std::wstring& source, const std::wstring& name) {
        const std::wstring target = path_ + L"\\" + name;
        files_.push_back(target);
        return CopyFileW(source.c_str(), target.c_str(), FALSE);
    }
    bool PlaceEmpty(const std::wstring& name) {
        const std::wstring target = path_ + L"\\" + name;
        files_.push_back(target);
        HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
    }

private:
    std::wstring path_;
    std::vector<std::wstring> made_, files_;
};

// Diagnostic lines recorded instead of written.
class RecordedDiagnostics : public platform::DiagnosticSink {
public:
    void OutputDebugStringW(const wchar_t* text) override { lines_.push_back(text); }
    const std::vector<std::wstring>& Lines() const { return lines_; }

private:
    std::vector<std::wstring> lines_;
};

// Where every test of a tool handler starts: the real system calls, except that boxes are
// recorded; no diagnostic line yet; an owner window for the boxes.
class ToolTest : public ::testing::Test {
protected:
    ToolTest() { RecordBoxes(); }

    ScopedCalls calls;
    RecordedDiagnostics diagnostics;
    HWND owner = GetDesktopWindow();
};

}  // namespace app::testing
