// devcon.exe as the tests need it: appends its whole command line, UTF-8 and a line feed, to
// the file named by DEVCON_STANDIN_LOG, then exits with DEVCON_STANDIN_EXIT (default 0).
// DEVCON_STANDIN_DELAY_MS makes it wait that long before it writes, so a test can tell
// whether its caller waited.
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

}  // namespace

int main() {
    if (const unsigned long delay = Number(L"DEVCON_STANDIN_DELAY_MS")) Sleep(delay);

    const std::wstring log = Variable(L"DEVCON_STANDIN_LOG");
    if (!log.empty()) {
        const wchar_t* commandLine = GetCommandLineW();
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
        std::string line(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, line.data(), size, nullptr, nullptr);
        line.back() = '\n';  // in place of the terminating zero
        HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1000;
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    return static_cast<int>(Number(L"DEVCON_STANDIN_EXIT"));
}
