#include "app/SystemCalls.h"

#include <shellapi.h>

namespace app {

SystemCalls& Calls() {
    static SystemCalls calls{GetProcAddress, GetSystemDirectoryW, WinExec, ShellExecuteW,
                             MessageBoxW};
    return calls;
}

}  // namespace app
