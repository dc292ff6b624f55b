#include "app/ToolPaths.h"

namespace app {

std::wstring InstallFolder(const std::wstring& programFiles) {
    return programFiles + L"\\Corvane\\Overreach";
}

const wchar_t* HelpFileFor(uint16_t languageId) {
    switch (languageId) {
        case 0x0404:
            return L"\\Overreach_TC.chm";
        case 0x0804:
            return L"\\Overreach_SC.chm";
        default:
            return L"\\Overreach_En.chm";
    }
}

std::wstring FullPathDiagnostic(const wchar_t* operation, const std::wstring& path) {
    return std::wstring(operation) + L" Info - csFullPath = " + path + L" \n";
}

}  // namespace app
