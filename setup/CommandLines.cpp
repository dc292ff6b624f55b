#include "setup/CommandLines.h"

namespace setup {

std::wstring QuoteToolPath(const std::wstring& path) {
    if (path.find(L' ') == std::wstring::npos) return path;
    if (!path.empty() && path.front() == L'"') return path;
    return L"\"" + path + L"\"";
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
    std::wstring deleteText = tool + L" dp_delete " + infName;
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
