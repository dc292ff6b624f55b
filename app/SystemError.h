// The one way a failed operation reaches the user: the system's text for the error in a box
// with the exclamation icon.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/SystemErrorText.h"

namespace app {

// The system's message for an HRESULT (a Win32 code in the form HResultFromWin32 gives), or
// "Error 0x…" when the system has none.
std::wstring SystemErrorText(uint32_t hresult);

// Shows SystemErrorText in a message box captioned "Overreach" with the OK button and the
// exclamation icon, modal to the owner when one is given.
void ShowSystemError(uint32_t hresult, HWND owner = nullptr);

}  // namespace app
