#include "app/FsRedirection.h"

#include "platform/SystemCalls.h"

namespace app {

BOOL DisableFsRedirection(void** state) {
    using Disable = BOOL(WINAPI*)(void**);
    const auto disable = platform::Kernel32Entry<Disable>("Wow64DisableWow64FsRedirection");
    return disable ? disable(state) : FALSE;
}

BOOL RevertFsRedirection(void* state) {
    using Revert = BOOL(WINAPI*)(void*);
    const auto revert = platform::Kernel32Entry<Revert>("Wow64RevertWow64FsRedirection");
    return revert ? revert(state) : FALSE;
}

}  // namespace app
