// The folders under Program Files where the program, its updater and its help files live.
#pragma once

#include <string>

namespace app {

// The Program Files folder as this program sees it: on 64-bit Windows the one for 32-bit
// programs. Empty when the system cannot tell.
std::wstring GetProgramFilesPath();

// "<Program Files>\Corvane\Overreach".
std::wstring GetInstallFolder();

}  // namespace app
