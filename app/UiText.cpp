#include "app/UiText.h"

namespace app {

std::wstring LoadUiString(UINT id) {
    const wchar_t* text = nullptr;
    // With no buffer, the call hands out the resource's own characters and their count.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace app
