#include "app/SystemErrorText.h"

#include <cwchar>

namespace app {

std::wstring ErrorCodeText(uint32_t hresult) {
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"Error 0x%08X",
                  static_cast<unsigned>(hresult));
    return text;
}

}  // namespace app
