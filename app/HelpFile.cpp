#include "app/HelpFile.h"

#include "app/InstallFolder.h"
#include "app/SystemCalls.h"
#include "app/ToolPaths.h"

namespace app {

void OpenHelpFile(platform::DeviceIo& diagnostics, HWND dialog) {
    const std::wstring path = GetInstallFolder() + HelpFileFor(GetSystemDefaultLangID());
    diagnostics.OutputDebugStringW(FullPathDiagnostic(L"OnBnClickedBtnHelp", path).c_str());
    Calls().shellExecute(GetParent(dialog), nullptr, path.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace app
