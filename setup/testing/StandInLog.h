// The tests' side of the stand-in program (StandIn.cpp): where it writes, how it behaves,
// and what it recorded. Used by the setup library's tests (as devcon.exe) and the main
// program's (as Tallyup.exe and cmd.exe).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setup::test {

// The folder of the test program, where the build puts devcon.exe and Rigwell.dll.
std::wstring ProgramFolder();
// devcon.exe beside the test program.
std::wstring StandInPath();

// One start as the stand-in built to record starts wrote it.
struct StandInStart {
    std::wstring program, directory;
    int show = -1;
    std::wstring commandLine;
};

// A log file of its own for each test, next to the test program: every stand-in the test
// starts, directly or through its children, writes there. Removed again, with the
// stand-in's settings, when the test ends.
class StandInLog {
public:
    StandInLog();
    ~StandInLog();
    StandInLog(const StandInLog&) = delete;
    StandInLog& operator=(const StandInLog&) = delete;

    // The lines recorded so far, one per run (and "ended" for a run that stayed).
    std::vector<std::wstring> Lines() const;
    // The lines read as starts; lines of another shape are passed over.
    std::vector<StandInStart> Starts() const;
    // Waits until at least `count` lines are recorded; false after the time-out.
    bool WaitForLines(size_t count, DWORD timeoutMs) const;

    static void SetExitCode(unsigned code);
    // Before the line is written, or after it (followed by "ended").
    static void SetDelay(DWORD milliseconds);
    static void StayFor(DWORD milliseconds);

private:
    std::wstring path_;
};

// ASCII text as narrow text, for the narrow exports.
std::string Narrow(const std::wstring& ascii);

}  // namespace setup::test
