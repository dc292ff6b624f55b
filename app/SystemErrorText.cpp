#include "app/SystemErrorText.h"

#include <cwchar>

namespace app {

std::wstring ErrorCodeText(uint32_t hresult, const std::wstring& word) {
    wchar_t code[16];
    std::swprintf(code, sizeof code / sizeof code[0], L" 0x%08X", static_cast<unsigned>(hresult));
    return (word.empty() ? std::wstring(L"Error") : word) + code;
}

}  // namespace app
