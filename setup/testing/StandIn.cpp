// The tests' stand-in for the programs the product starts: built as devcon.exe for the setup
// library and as Tallyup.exe for the main program, which also places copies of it where cmd.exe
// would be. It appends one line, UTF-8, to the file STANDIN_LOG names: its whole command line,
// or, built with STANDIN_RECORDS_START,
//   <own path>|<current directory>|<show state or -1>|<command line>
// where the show state is what the starter asked for in STARTUPINFO (-1 when it asked for
// nothing). So that a test can tell whether the starter waited for it: STANDIN_DELAY_MS waits
// that long before the line is written, STANDIN_STAY_MS that long after it, and then "ended"
// is appended. It exits with STANDIN_EXIT (default 0).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

unsigned long Number(const wchar_t* name) {
    const std::wstring text = Variable(name);
    return text.empty() ? 0 : std::wcstoul(text.c_str(), nullptr, 10);
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

std::wstring Record() {
#ifdef STANDIN_RECORDS_START
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    wchar_t directory[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    return std::wstring(self) + L"|" + directory + L"|" + std::to_wstring(show) + L"|" +
           GetCommandLineW();
#else
    return GetCommandLineW();
#endif
}

}  // namespace

int main() {
    if (const unsigned long delay = Number(L"STANDIN_DELAY_MS")) Sleep(delay);
    const std::wstring log = Variable(L"STANDIN_LOG");
    if (!log.empty()) {
        Append(log, Record());
        if (const unsigned long stay = Number(L"STANDIN_STAY_MS")) {
            Sleep(stay);
            Append(log, L"ended");
        }
    }
    return static_cast<int>(Number(L"STANDIN_EXIT"));
}
