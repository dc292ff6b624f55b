#include "app/SystemError.h"

#include <memory>

#include "app/UiText.h"
#include "platform/SystemCalls.h"
#include "res/resource.h"

namespace app {

std::wstring SystemErrorText(uint32_t hresult) {
    wchar_t* buffer = nullptr;
    // Without IGNORE_INSERTS a message with placeholders (%1, the drive of "insert the disk in
    // drive %1") would be formatted against arguments nobody passed.
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, hresult, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, HLOCAL(WINAPI*)(HLOCAL)> owner(buffer, LocalFree);
    const std::wstring text = length > 0 && buffer ? std::wstring(buffer, length) : std::wstring();
    return text.empty() ? ErrorCodeText(hresult, LoadUiString(IDS_ERROR)) : text;
}

void ShowSystemError(uint32_t hresult, HWND owner) {
    platform::Calls().messageBox(owner, SystemErrorText(hresult).c_str(), L"Overreach",
                                 MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace app
