// A text of the program's string table, in the language the system's resource lookup picks.
#pragma once

#include <windows.h>

#include <string>

namespace app {

// Empty when the table has no such string (a test program without the resources).
std::wstring LoadUiString(UINT id);

}  // namespace app
