// What the tests of the external tools share: the system-call table put back after each
// test, message boxes recorded instead of shown, the updater stand-in and its log, and folders
// made for a test and removed after it.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/SystemCalls.h"

namespace app::testing {

inline bool On32BitWindows() {
    const char* windows = std::getenv("OVERREACH_TEST_WINDOWS");
    return windows && std::string(windows) == "32";
}

// A 32-bit program on 64-bit Windows, the case that WOW64 redirects. The 64-bit test build is
// a 64-bit program on 64-bit Windows and sees the native folders without asking.
inline bool ThroughWow64() {
    return sizeof(void*) == 4 && !On32BitWindows();
}

inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring file(path, length);
    return file.substr(0, file.rfind(L'\\'));
}

// The updater stand-in lives in a folder of its own, so that no search that starts in the
// program's folder finds it by accident.
inline std::wstring StandInProgram() {
    return ProgramFolder() + L"\\standins\\Tallyup.exe";
}

// Saves the system-call table and puts it back when the test ends.
class ScopedCalls {
public:
    ScopedCalls() : saved_(Calls()) {}
    ~ScopedCalls() { Calls() = saved_; }
    ScopedCalls(const ScopedCalls&) = delete;
    ScopedCalls& operator=(const ScopedCalls&) = delete;

private:
    SystemCalls saved_;
};

struct ShownBox {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

// Message boxes recorded instead of shown, with whatever a test wants to look at at the
// moment the box would appear.
inline std::vector<ShownBox>& RecordedBoxes() {
    static std::vector<ShownBox> boxes;
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
    Calls().messageBox = RecordBox;
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

// One start the updater stand-in recorded.
struct StandInStart {
    std::wstring program, directory;
    int show = -1;
    std::wstring commandLine;
};

// Points the stand-in (and every copy of it that the test's children start) at a log of this
// test's own, read back line by line.
class StandInLog {
public:
    StandInLog() {
        static unsigned serial = 0;
        path_ = ProgramFolder() + L"\\tallyup-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial) + L".log";
        DeleteFileW(path_.c_str());
        SetEnvironmentVariableW(L"TALLYUP_STANDIN_LOG", path_.c_str());
    }
    ~StandInLog() {
        SetEnvironmentVariableW(L"TALLYUP_STANDIN_LOG", nullptr);
        SetEnvironmentVariableW(L"TALLYUP_STANDIN_STAY_MS", nullptr);
        DeleteFileW(path_.c_str());
    }
    StandInLog(const StandInLog&) = delete;
    StandInLog& operator=(const StandInLog&) = delete;

    static void StayFor(DWORD milliseconds) {
        SetEnvironmentVariableW(L"TALLYUP_STANDIN_STAY_MS", std::to_wstring(milliseconds).c_str());
    }

    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return lines;
        std::string bytes;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
            bytes.append(chunk, read);
        CloseHandle(file);
        for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos;
             start = end + 1) {
            const int count = static_cast<int>(end - start);
            std::wstring wide(static_cast<size_t>(count), L'\0');
            wide.resize(static_cast<size_t>(
                MultiByteToWideChar(CP_UTF8, 0, bytes.data() + start, count, wide.data(), count)));
            lines.push_back(wide);
        }
        return lines;
    }

    std::vector<StandInStart> Starts() const {
        std::vector<StandInStart> starts;
        for (const std::wstring& line : Lines()) {
            const size_t a = line.find(L'|'), b = line.find(L'|', a + 1),
                         c = line.find(L'|', b + 1);
            if (c == std::wstring::npos) continue;
            starts.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1),
                              std::stoi(line.substr(b + 1, c - b - 1)), line.substr(c + 1)});
        }
        return starts;
    }

    bool WaitForLines(size_t count, DWORD milliseconds) const {
        const DWORD start = GetTickCount();
        while (Lines().size() < count) {
            if (GetTickCount() - start > milliseconds) return false;
            Sleep(50);
        }
        return true;
    }

private:
    std::wstring path_;
};

}  // namespace app::testing
