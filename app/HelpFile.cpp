#include "app/HelpFile.h"

#include "app/InstallFolder.h"
#include "app/ToolPaths.h"
#include "platform/SystemCalls.h"

namespace app {

void OpenHelpFile(platform::DiagnosticSink& diagnostics, HWND dialog) {
    const std::wstring path = GetInstallFolder() + HelpFileFor(GetSystemDefaultLangID());
    platform::WriteDiagnosticText(diagnostics, FullPathDiagnostic(L"OnBnClickedBtnHelp", path));
    platform::Calls().shellExecute(GetParent(dialog), nullptr, path.c_str(), nullptr, nullptr,
                                   SW_SHOW);
}

}  // namespace app
