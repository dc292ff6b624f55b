#include "setup/testing/StandInLog.h"

namespace setup::test {

StandInLog::StandInLog() {
    static unsigned serial = 0;
    path_ = ProgramFolder() + L"\\standin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++serial) + L".log";
    DeleteFileW(path_.c_str());
    SetEnvironmentVariableW(L"STANDIN_LOG", path_.c_str());
    SetExitCode(0);
    SetDelay(0);
    StayFor(0);
}

StandInLog::~StandInLog() {
    for (const wchar_t* name :
         {L"STANDIN_LOG", L"STANDIN_EXIT", L"STANDIN_DELAY_MS", L"STANDIN_STAY_MS"})
        SetEnvironmentVariableW(name, nullptr);
    DeleteFileW(path_.c_str());
}

std::vector<std::wstring> StandInLog::Lines() const {
    std::vector<std::wstring> lines;
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    CloseHandle(file);

    size_t start = 0;
    for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = bytes.substr(start, end - start);
        std::wstring wide(line.size(), L'\0');
        wide.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(),
                                static_cast<int>(wide.size()))));
        lines.push_back(wide);
    }
    return lines;
}

std::vector<StandInStart> StandInLog::Starts() const {
    std::vector<StandInStart> starts;
    for (const std::wstring& line : Lines()) {
        const size_t a = line.find(L'|'), b = line.find(L'|', a + 1), c = line.find(L'|', b + 1);
        if (c == std::wstring::npos) continue;
        starts.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1),
                          std::stoi(line.substr(b + 1, c - b - 1)), line.substr(c + 1)});
    }
    return starts;
}

bool StandInLog::WaitForLines(size_t count, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (Lines().size() < count) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

void StandInLog::SetExitCode(unsigned code) {
    SetEnvironmentVariableW(L"STANDIN_EXIT", std::to_wstring(code).c_str());
}

void StandInLog::SetDelay(DWORD milliseconds) {
    SetEnvironmentVariableW(L"STANDIN_DELAY_MS", std::to_wstring(milliseconds).c_str());
}

void StandInLog::StayFor(DWORD milliseconds) {
    SetEnvironmentVariableW(L"STANDIN_STAY_MS", std::to_wstring(milliseconds).c_str());
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring StandInPath() {
    return ProgramFolder() + L"\\devcon.exe";
}

std::string Narrow(const std::wstring& ascii) {
    return std::string(ascii.begin(), ascii.end());
}

}  // namespace setup::test
