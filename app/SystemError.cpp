#include "app/SystemError.h"

namespace app {

std::wstring SystemErrorText(uint32_t hresult) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, hresult, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
    if (buffer) LocalFree(buffer);
    // An empty box would tell the user nothing at all.
    return text.empty() ? ErrorCodeText(hresult) : text;
}

void ShowSystemError(uint32_t hresult, HWND owner) {
    MessageBoxW(owner, SystemErrorText(hresult).c_str(), L"Overreach", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace app
