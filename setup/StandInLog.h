// The tests' side of the stand-in devcon.exe: where it writes, how it exits, and what it
// recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setup::test {

// A log file of its own for each test; removed again, with the stand-in's settings, when
// the test ends.
class StandInLog {
public:
    StandInLog();
    ~StandInLog();
    StandInLog(const StandInLog&) = delete;
    StandInLog& operator=(const StandInLog&) = delete;

    // The command lines recorded so far, one per run.
    std::vector<std::wstring> Lines() const;
    // Waits until at least `count` runs are recorded; false after the time-out.
    bool WaitForLines(size_t count, DWORD timeoutMs) const;

    static void SetExitCode(unsigned code);
    static void SetDelay(DWORD milliseconds);

private:
    std::wstring path_;
};

// The folder of the test program, where the build puts devcon.exe and Rigwell.dll.
std::wstring ProgramFolder();
std::wstring StandInPath();

// ASCII text as narrow text, for the narrow exports.
std::string Narrow(const std::wstring& ascii);

}  // namespace setup::test
