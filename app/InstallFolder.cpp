#include "app/InstallFolder.h"

#include <shlobj.h>
#include <windows.h>

#include "app/ToolPaths.h"

namespace app {

std::wstring GetProgramFilesPath() {
    wchar_t path[MAX_PATH] = L"";
    // On failure the buffer stays empty and the composed paths start with the backslash.
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);
    return path;
}

std::wstring GetInstallFolder() {
    return InstallFolder(GetProgramFilesPath());
}

}  // namespace app
