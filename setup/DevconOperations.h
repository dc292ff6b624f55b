// What the exports do with devcon.exe: install, and remove with the package deletion that
// needs the INF name from WMI. Each returns 0 or a Win32 error code; 206 means a command
// would not have fitted its text limit, 87 that a tool path or hardware id was refused
// (see CheckToolPath and CheckHardwareId), and in both cases nothing ran.
#pragma once

#include <cstdint>
#include <string>

#include "setup/DriverRecords.h"

namespace setup {

// Starts devcon.exe, found by the shell, with "install <arguments>" and does not wait for it
// to end. 0 when the shell started it, otherwise the shell's error code; the shell shows
// nothing either way.
uint32_t RunDevconInstall(const std::wstring& installArguments);

// Runs "<devcon path> install <arguments>" hidden and waits for it to end.
uint32_t InstallDriver(const std::wstring& devconPath, const std::wstring& installArguments);

// Looks up the INF name of hardwareId in WMI, then runs "<devcon path> remove <id>" and, when
// that could be started and the name is a driver-store package (oem<N>.inf),
// "<devcon path> dp_delete <inf name>", waiting for each. Makes sure COM is initialised on
// the calling thread for the WMI step. 87 for an id without a backslash, FailedHresultCode
// (never 0) for a failed WMI step.
uint32_t RemoveDriver(const std::wstring& devconPath, const std::wstring& hardwareId);

// RemoveDriver with the tool found by CreateProcessW's search for "devcon.exe".
uint32_t RemoveDriverWithDefaultTool(const std::wstring& hardwareId);

// The removal steps after WMI is open: lookup, remove, dp_delete. `tool` starts the command
// lines as it is (already quoted when needed).
uint32_t RunRemovalSequence(DriverRecordSource& records, const std::wstring& tool,
                            const std::wstring& hardwareId);

}  // namespace setup
