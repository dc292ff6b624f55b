#include "platform/SystemCalls.h"

#include <shellapi.h>

namespace platform {

SystemCalls& Calls() {
    static SystemCalls calls{GetProcAddress, GetSystemDirectoryW, CreateProcessW, ShellExecuteW,
                             MessageBoxW};
    return calls;
}

}  // namespace platform
