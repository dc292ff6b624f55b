#include "setup/CommandLines.h"

namespace setup {
namespace {

// Blanks, control characters and the Unicode spaces. devcon itself splits only at blanks and
// tabs, but none of these belongs in a hardware id.
bool IsSpaceOrControl(wchar_t c) {
    if (c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680) return true;
    if (c >= 0x2000 && c <= 0x200A) return true;
    return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& lowerTail) {
    if (text.size() < lowerTail.size()) return false;
    const size_t start = text.size() - lowerTail.size();
    for (size_t i = 0; i < lowerTail.size(); ++i)
        if (AsciiLower(text[start + i]) != lowerTail[i]) return false;
    return true;
}

}  // namespace

uint32_t CheckHardwareId(const std::wstring& hardwareId) {
    if (hardwareId.empty()) return kErrorInvalidParameter;
    if (hardwareId.front() == L'@' || hardwareId.front() == L'=') return kErrorInvalidParameter;
    for (wchar_t c : hardwareId) {
        if (c == L'*' || c == L'?' || c == L'"' || IsSpaceOrControl(c))
            return kErrorInvalidParameter;
    }
    return 0;
}

uint32_t CheckToolPath(const std::wstring& path) {
    // The system drops trailing dots and blanks from a file name, and a path in quotes
    // starts the same file: devcon.bat. and "devcon.cmd" are batch files too.
    const size_t end = path.find_last_not_of(L". \"");
    if (end == std::wstring::npos) return kErrorInvalidParameter;
    const std::wstring name = path.substr(0, end + 1);
    if (EndsWithNoCase(name, L".bat") || EndsWithNoCase(name, L".cmd"))
        return kErrorInvalidParameter;
    return 0;
}

bool IsDriverStoreInfName(const std::wstring& infName) {
    const std::wstring head = L"oem", tail = L".inf";
    if (infName.size() <= head.size() + tail.size()) return false;
    for (size_t i = 0; i < head.size(); ++i)
        if (AsciiLower(infName[i]) != head[i]) return false;
    if (!EndsWithNoCase(infName, tail)) return false;
    for (size_t i = head.size(); i < infName.size() - tail.size(); ++i)
        if (infName[i] < L'0' || infName[i] > L'9') return false;
    return true;
}

std::wstring QuoteToolPath(const std::wstring& path) {
    const bool quoted = path.size() >= 2 && path.front() == L'"' && path.back() == L'"';
    if (quoted || path.find_first_of(L" \t") == std::wstring::npos) return path;
    return L"\"" + path + L"\"";
}

std::wstring JoinCommandLine(const std::wstring& executable, const std::wstring& arguments) {
    if (arguments.empty()) return executable;
    return QuoteToolPath(executable) + L" " + arguments;
}

std::wstring FormatInstallCommand(const std::wstring& tool, const std::wstring& installArguments) {
    return tool + L" install " + installArguments;
}

uint32_t FormatInstallParameters(const std::wstring& installArguments, std::wstring& parameters) {
    parameters.clear();
    std::wstring text = L"install " + installArguments;
    if (text.size() > kMaxCommandText) return kErrorFilenameExcedRange;
    parameters = std::move(text);
    return 0;
}

uint32_t FormatRemovalCommands(const std::wstring& tool, const std::wstring& hardwareId,
                               const std::wstring& infName, std::wstring& removeCommand,
                               std::wstring& deleteCommand) {
    removeCommand.clear();
    deleteCommand.clear();
    std::wstring remove = tool + L" remove " + hardwareId;
    std::wstring deleteText = infName.empty() ? std::wstring() : tool + L" dp_delete " + infName;
    if (remove.size() > kMaxCommandText || deleteText.size() > kMaxCommandText)
        return kErrorFilenameExcedRange;
    removeCommand = std::move(remove);
    deleteCommand = std::move(deleteText);
    return 0;
}

uint32_t FormatInfNameQuery(const std::wstring& hardwareId, std::wstring& query) {
    query.clear();
    if (hardwareId.find(L'\\') == std::wstring::npos) return kErrorInvalidParameter;
    std::wstring literal;
    literal.reserve(hardwareId.size() + 8);
    for (wchar_t c : hardwareId) {
        if (c == L'\\' || c == L'\'') literal.push_back(L'\\');
        literal.push_back(c);
    }
    query = L"SELECT * FROM Win32_PnPSignedDriver WHERE HardWareID = '" + literal + L"'";
    return 0;
}

}  // namespace setup
