// The updater as the tests need it, and any other program they want to see started: appends
// one line to the file named by TALLYUP_STANDIN_LOG (UTF-8):
//   <own path>|<current directory>|<show state or -1>|<command line>
// where the show state is what the starter asked for in STARTUPINFO (-1 when it asked for
// nothing). With TALLYUP_STANDIN_STAY_MS it then stays that long and appends "ended", so a
// test can tell whether its starter waited.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

void Append(const std::wstring& log, const std::wstring& text) {
    const std::wstring line = text + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int main() {
    const std::wstring log = Variable(L"TALLYUP_STANDIN_LOG");
    if (log.empty()) return 1;

    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t directory[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    Append(log, std::wstring(self) + L"|" + directory + L"|" + std::to_wstring(show) + L"|" +
                    GetCommandLineW());

    const std::wstring stay = Variable(L"TALLYUP_STANDIN_STAY_MS");
    if (!stay.empty()) {
        Sleep(std::wcstoul(stay.c_str(), nullptr, 10));
        Append(log, L"ended");
    }
    return 0;
}
