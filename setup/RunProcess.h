// The process runner of both deliverables. RunProcess.cpp has no other dependency than the
// system, so the main program compiles the same source (target `process_runner`).
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace setup {

// Starts "<executable> <arguments>" in a new console, shown normally when show is 1 and hidden
// otherwise. With arguments, the executable is a path, quoted by the runner when it holds a
// blank; without, the text is the whole command line, which its caller has quoted. When wait
// is 1 it waits for the process without time-out and stores its exit code; otherwise the
// stored code is 0. Returns 0, or the Win32 error code of the step that failed. Nothing looks
// at the exit code: a tool that runs and reports failure still counts as success.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments, int show,
                           int wait, uint32_t* exitCode);

// The main program's variant: always hidden, never waits. The process is polled once with
// a zero time-out and the exit code of that moment is stored (normally STILL_ACTIVE, 259).
// Returns 0, or the Win32 error code of the step that failed.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           uint32_t* exitCode);

// The command line the runner gives CreateProcessW. An executable path with a blank goes in
// double quotes, or CreateProcessW would try "C:\Program.exe" and the like first and run
// whatever it found there; a path the caller already quoted is left alone.
inline std::wstring JoinCommandLine(const std::wstring& executable, const std::wstring& arguments) {
    if (arguments.empty()) return executable;
    const bool quoted =
        executable.size() >= 2 && executable.front() == L'"' && executable.back() == L'"';
    const bool quote = !quoted && executable.find_first_of(L" \t") != std::wstring::npos;
    return (quote ? L"\"" + executable + L"\"" : executable) + L" " + arguments;
}

#ifdef _WIN32
// CreateProcessW as the runner calls it. Tests replace it to see each start exactly (command
// line, show state, current directory) or to make it fail; the product never does.
using ProcessStartFunction = BOOL(WINAPI*)(LPCWSTR application, LPWSTR commandLine,
                                           LPSECURITY_ATTRIBUTES process,
                                           LPSECURITY_ATTRIBUTES thread, BOOL inheritHandles,
                                           DWORD flags, LPVOID environment, LPCWSTR directory,
                                           LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);
// Returns the function that was in place.
ProcessStartFunction SetProcessStartFunction(ProcessStartFunction start);
#endif

}  // namespace setup
