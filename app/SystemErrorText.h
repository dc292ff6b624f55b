// The error codes the program shows and the text that names a code the system has no words
// for. Plain functions, so they run in the fast native tests as well.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// A Win32 error code (positive) in HRESULT form, 0x8007xxxx; zero and negative values are
// already HRESULTs and pass unchanged.
constexpr uint32_t HResultFromWin32(int32_t code) {
    return code > 0 ? 0x80070000u | (static_cast<uint32_t>(code) & 0xFFFFu)
                    : static_cast<uint32_t>(code);
}

// "Error 0x80070457": what the user reads when the system has no message for the code, so
// that a failure is never shown as an empty box. The word comes in the user's language.
std::wstring ErrorCodeText(uint32_t hresult, const std::wstring& word = L"Error");

}  // namespace app
