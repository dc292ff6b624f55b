// The one way the program writes its diagnostic lines: formatted, then handed to the debugger
// output of the seam (and so to whoever listens there: a debugger in the product, the
// simulated machine in tests).
#pragma once

#include "platform/DeviceIo.h"

namespace platform {

// printf-style wide format; only %d, %u, %x and %X with 32-bit arguments are used.
void WriteDiagnostic(DeviceIo& io, const wchar_t* format, ...);

}  // namespace platform
