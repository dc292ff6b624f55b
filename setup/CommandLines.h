// The command texts the library gives devcon.exe, and the WQL query of the driver lookup.
// Plain text functions, so that they run in the fast native tests as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace setup {

constexpr uint32_t kErrorInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
constexpr uint32_t kErrorFilenameExcedRange = 206;  // ERROR_FILENAME_EXCED_RANGE

// The removal commands and the shell's install parameters have always been limited to what
// fits a buffer of 260 wide characters; a longer text is refused rather than cut short.
constexpr size_t kMaxCommandText = 259;

// What devcon.exe is asked to act on must name one thing only. The library runs elevated and
// devcon reads its arguments as patterns, so anything that would reach further is refused
// before a command is built: 0, or 87.

// A hardware id as the INF declares it: not empty, and free of what devcon reads as more
// than one id (whitespace starts another pattern, "*" and "?" are wildcards, a quote
// regroups the arguments, a leading "@" names a device instance and a leading "=" a setup
// class). Control characters are refused with the blanks: a zero would cut the command
// line short. Whether the id has its backslash is left to the lookup.
uint32_t CheckHardwareId(const std::wstring& hardwareId);

// A tool path that can start devcon.exe: not empty, and not a batch file, which
// CreateProcessW hands to cmd.exe, where the "&", "|", "^" and "%" of real hardware ids
// become commands and variables.
uint32_t CheckToolPath(const std::wstring& path);

// "oem<digits>.inf" in any case: the names the driver store gives the packages it takes
// from third parties, the only ones the removal may delete.
bool IsDriverStoreInfName(const std::wstring& infName);

// The one quoting rule for a program path at the start of a command line. A path with a
// blank or a tab goes in double quotes, or CreateProcessW would split it there and try
// "C:\Program.exe" and the like first, running whatever it found; a path the caller already
// put in quotes is left alone.
std::wstring QuoteToolPath(const std::wstring& path);

// The process runner's command line: the executable, quoted by QuoteToolPath, a blank and
// the arguments. Without arguments the executable text is the whole command line, which its
// caller has quoted, and it goes through unchanged.
std::wstring JoinCommandLine(const std::wstring& executable, const std::wstring& arguments);

// "<tool> install <arguments>". Not bounded: the install command never went through a
// fixed buffer.
std::wstring FormatInstallCommand(const std::wstring& tool, const std::wstring& installArguments);

// "install <arguments>", the parameters the shell hands devcon.exe. 0, or 206 when the text
// would exceed kMaxCommandText characters (then `parameters` is left empty).
uint32_t FormatInstallParameters(const std::wstring& installArguments, std::wstring& parameters);

// "<tool> remove <hardware id>" and "<tool> dp_delete <inf name>". The hardware id goes
// through unchanged; with an empty INF name there is no delete command (it stays empty).
// Both are built before either runs, so that 206 for either one means nothing has run.
uint32_t FormatRemovalCommands(const std::wstring& tool, const std::wstring& hardwareId,
                               const std::wstring& infName, std::wstring& removeCommand,
                               std::wstring& deleteCommand);

// "SELECT * FROM Win32_PnPSignedDriver WHERE HardWareID = '<id>'" with the id made safe for
// a WQL string literal: each backslash doubled, each single quote written as \' so the id
// cannot end the literal and widen the query. 87 when the id holds no backslash, as every
// device hardware id does.
uint32_t FormatInfNameQuery(const std::wstring& hardwareId, std::wstring& query);

}  // namespace setup
