// The help button: the help file of the system's default language, opened by the shell.
#pragma once

#include <windows.h>

#include "platform/Diagnostics.h"

namespace app {

// Opens "<install folder>\Overreach_<TC|SC|En>.chm" with the shell's default action, owned by
// the window that GetParent reports for `dialog`. A missing file, or one no program is
// registered for, shows nothing.
void OpenHelpFile(platform::DiagnosticSink& diagnostics, HWND dialog);

}  // namespace app
