#include "platform/Diagnostics.h"

#include <cstdarg>
#include <cwchar>

namespace platform {

void WriteDiagnostic(DiagnosticSink& sink, const wchar_t* format, ...) {
    wchar_t line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(line, sizeof line / sizeof line[0], format, args);
    va_end(args);
    if (n < 0) line[sizeof line / sizeof line[0] - 1] = L'\0';
    sink.OutputDebugStringW(line);
}

void WriteDiagnosticText(DiagnosticSink& sink, const std::wstring& line) {
    sink.OutputDebugStringW(line.c_str());
}

}  // namespace platform
