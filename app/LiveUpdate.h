// The live-update button: the maker's updater, started from the install folder.
#pragma once

#include <windows.h>

#include "platform/Diagnostics.h"

namespace app {

// Makes the install folder the process's current directory (for good: relative paths resolve
// there afterwards) and starts "Tallyup.exe /unlock" from there by its full path, shown
// normally, without waiting. When it cannot be started, one message box owned by `owner` says
// the file was not found.
void StartLiveUpdate(platform::DiagnosticSink& diagnostics, HWND owner);

}  // namespace app
