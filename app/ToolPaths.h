// Where the external tools are found and what the program writes about them: the install
// folder under Program Files, the help file for a system language and the diagnostic lines.
// Plain functions, so they run in the fast native tests as well.
#pragma once

#include <cstdint>
#include <string>

namespace app {

// The program, its updater and its help files live in "<Program Files>\Corvane\Overreach".
// An empty Program Files path (the folder could not be read) leaves the path starting with
// the backslash.
std::wstring InstallFolder(const std::wstring& programFiles);

// The help file for a system default language, compared as the whole 16-bit identifier:
// Traditional Chinese for Taiwan, Simplified Chinese for the PRC, English for every other,
// Hong Kong and Singapore included. Starts with the backslash that joins it to the folder.
const wchar_t* HelpFileFor(uint16_t languageId);

// "<operation> Info - csFullPath = <path> \n".
std::wstring FullPathDiagnostic(const wchar_t* operation, const std::wstring& path);

// Disk Management is the console snap-in that the system's command processor opens.
inline constexpr wchar_t kCommandProcessor[] = L"cmd.exe";
inline constexpr wchar_t kDiskManagementArguments[] = L"/c diskmgmt.msc";
inline constexpr wchar_t kWow64Diagnostic[] = L"OnBnClickedBtnPartition Info - IsWow64 == TRUE \n";
// The updater in the install folder, and what it is asked to do.
inline constexpr wchar_t kUpdaterName[] = L"Tallyup.exe";
inline constexpr wchar_t kUpdaterArguments[] = L"/unlock";

}  // namespace app
