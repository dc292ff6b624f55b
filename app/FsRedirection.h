// WOW64 file-system redirection: a 32-bit program on 64-bit Windows that names the system
// folder is sent to the 32-bit one (syswow64) unless it turns redirection off for its thread.
// Both calls are looked up at run time; systems without WOW64 may lack them.
#pragma once

#include <windows.h>

namespace app {

// Turns redirection off for this thread and keeps what is needed to turn it back on in
// `state`. TRUE only when it was turned off; FALSE when the call failed or does not exist,
// and then there is nothing to revert.
BOOL DisableFsRedirection(void** state);

// Turns redirection back on with the state DisableFsRedirection kept. The call's result, or
// FALSE when the system lacks it.
BOOL RevertFsRedirection(void* state);

}  // namespace app
