// Test helper, not product code. Which Windows a test runs on, and the table of system calls
// put back after a test that changed it.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/SystemCalls.h"

namespace platform::testing {

// The 32-bit test build runs on 64-bit Windows through WOW64 and, in its second runs
// (OVERREACH_TEST_WINDOWS=32), on 32-bit Windows.
inline bool On32BitWindows() {
    const char* windows = std::getenv("OVERREACH_TEST_WINDOWS");
    return windows && std::string(windows) == "32";
}

// A 32-bit program on 64-bit Windows, the case that WOW64 redirects. The 64-bit test build is
// a 64-bit program on 64-bit Windows and sees the native folders without asking.
inline bool ThroughWow64() {
    return sizeof(void*) == 4 && !On32BitWindows();
}

// Saves the system-call table and puts it back when the test ends.
class ScopedCalls {
public:
    ScopedCalls() : saved_(Calls()) {}
    ~ScopedCalls() { Calls() = saved_; }
    ScopedCalls(const ScopedCalls&) = delete;
    ScopedCalls& operator=(const ScopedCalls&) = delete;

private:
    SystemCalls saved_;
};

}  // namespace platform::testing
