// The one way the program writes its diagnostic lines. They go to a sink that takes whole
// lines and nothing else: the debugger output in the product (through the device seam,
// which is one), the simulated machine or a plain recorder in tests. Code that only writes
// diagnostics takes the sink, not the whole device seam.
#pragma once

#include <string>

namespace platform {

class DiagnosticSink {
public:
    virtual ~DiagnosticSink() = default;
    // OutputDebugStringW(text): one whole line, its line feed included.
    virtual void OutputDebugStringW(const wchar_t* text) = 0;
};

// printf-style wide format; only %d, %u, %x and %X with 32-bit arguments are used.
void WriteDiagnostic(DiagnosticSink& sink, const wchar_t* format, ...);

// A line made already, written as it is: a path in it may hold a "%".
void WriteDiagnosticText(DiagnosticSink& sink, const std::wstring& line);

}  // namespace platform
