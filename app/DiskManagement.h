// The Partition button: the operating system's Disk Management, opened through its command
// processor, so that the drives and the virtual drive can be partitioned and formatted.
#pragma once

#include <windows.h>

#include "platform/Diagnostics.h"

namespace app {

// Starts "<system folder>\cmd.exe /c diskmgmt.msc" hidden and does not wait for it. On 64-bit
// Windows the system folder is the native one, not the 32-bit one WOW64 would show this
// program, and redirection is back on before anything else happens. A failure is shown in
// one message box owned by `owner`. Diagnostic lines go to `diagnostics`.
void OpenDiskManagement(platform::DiagnosticSink& diagnostics, HWND owner);

}  // namespace app
