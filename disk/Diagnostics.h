// The one way drive discovery writes its diagnostic lines: formatted, then handed to the
// debugger output of the seam (and so to whoever listens there).
#pragma once

#include "platform/DeviceIo.h"

namespace disk {

// printf-style wide format; only %d, %u and %X with 32-bit arguments are used.
void WriteDiagnostic(platform::DeviceIo& io, const wchar_t* format, ...);

}  // namespace disk
