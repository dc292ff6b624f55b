#include "setup/ExportArguments.h"

#include "setup/CommandLines.h"

namespace setup {

uint32_t ConvertArgument(const char* text, UINT codePage, std::wstring& wide) {
    wide.clear();
    if (!text) return kErrorInvalidParameter;
    // MB_ERR_INVALID_CHARS: a byte the code page has no character for is refused rather than
    // turned into a default character that names something else.
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) return kErrorInvalidParameter;
    std::wstring converted(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, converted.data(), length) !=
        length)
        return kErrorInvalidParameter;
    converted.resize(static_cast<size_t>(length) - 1);  // the terminating zero
    wide = std::move(converted);
    return 0;
}

WideStringArgument::WideStringArgument(WideStringObject object) {
    if (!object.characters) return;
    WideStringData* data = reinterpret_cast<WideStringData*>(object.characters) - 1;
    reference_.data = data;
    if (data->dataLength > 0)
        text_.assign(object.characters, static_cast<size_t>(data->dataLength));
}

WideStringArgument::Reference::~Reference() {
    if (data && InterlockedDecrement(&data->refs) <= 0) data->manager->Free(data);
}

}  // namespace setup
