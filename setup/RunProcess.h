// The process runner of both deliverables. RunProcess.cpp has no other dependency than the
// system, so the main program compiles the same source (target `process_runner`).
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// Starts "<executable> <arguments>" (only the executable when the arguments are empty; the
// executable is taken as it is, so a caller whose path may hold a blank quotes it) in a new
// console, shown normally when show is 1 and hidden otherwise. When wait is 1 it waits for
// the process without time-out and stores its exit code; otherwise the stored code is 0.
// Returns 0, or the Win32 error code of the step that failed. Nothing looks at the exit
// code: a tool that runs and reports failure still counts as success.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           int show, int wait, uint32_t* exitCode);

// The main program's variant: always hidden, never waits. The process is polled once with
// a zero time-out and the exit code of that moment is stored (normally STILL_ACTIVE, 259).
// Returns 0, or the Win32 error code of the step that failed.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           uint32_t* exitCode);

// The command line the runner gives CreateProcessW.
inline std::wstring JoinCommandLine(const std::wstring& executable, const std::wstring& arguments) {
    return arguments.empty() ? executable : executable + L" " + arguments;
}

}  // namespace setup
