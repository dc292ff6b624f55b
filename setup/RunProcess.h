// The process runner of both deliverables. RunProcess.cpp has no other dependency than the
// system and the command-line text rules, so the main program compiles the same source
// (target `process_runner`).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace setup {

// The last error of a call that just failed. A failure that set none still reads as one
// (ERROR_UNIDENTIFIED_ERROR, 1287): a 0 here would tell the caller the step succeeded.
uint32_t LastFailureCode();

// The `show` and `wait` values of RunProcessAndWait.
constexpr int kRunHidden = 0, kRunShown = 1;
constexpr int kRunWithoutWaiting = 0, kRunAndWait = 1;

// Starts "<executable> <arguments>" in a new console, shown normally when show is kRunShown
// and hidden otherwise. With arguments, the executable is a path, quoted when it holds a
// blank or a tab (JoinCommandLine); without, the text is the whole command line, which its
// caller has quoted. With kRunAndWait it waits for the process without time-out and stores
// its exit code; otherwise the stored code is 0. Returns 0, or the Win32 error code of the
// step that failed. Nothing looks at the exit code: a tool that runs and reports failure
// still counts as success.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments, int show,
                           int wait, uint32_t* exitCode);

// CreateProcessW, or what a caller's tests put in its place.
using ProcessStartFunction = BOOL(WINAPI*)(LPCWSTR application, LPWSTR commandLine,
                                           LPSECURITY_ATTRIBUTES process,
                                           LPSECURITY_ATTRIBUTES thread, BOOL inheritHandles,
                                           DWORD flags, LPVOID environment, LPCWSTR directory,
                                           LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info);

// The main program's variant polls once instead of waiting, whatever its name says: the
// dialog must stay responsive while Disk Management runs, and nobody reads the exit code.
// Always hidden; stores the exit code of that moment (normally STILL_ACTIVE, 259). The
// process is started with `start`, so that the program's table of system calls covers it.
// Returns 0, or the Win32 error code of the step that failed.
uint32_t RunProcessAndWait(const std::wstring& executable, const std::wstring& arguments,
                           uint32_t* exitCode, ProcessStartFunction start);

}  // namespace setup
