#include "app/FsRedirection.h"

#include "app/SystemCalls.h"

namespace app {

BOOL DisableFsRedirection(void** state) {
    using Disable = BOOL(WINAPI*)(void**);
    const auto disable = Kernel32Entry<Disable>("Wow64DisableWow64FsRedirection");
    return disable ? disable(state) : FALSE;
}

BOOL RevertFsRedirection(void* state) {
    using Revert = BOOL(WINAPI*)(void*);
    const auto revert = Kernel32Entry<Revert>("Wow64RevertWow64FsRedirection");
    return revert ? revert(state) : FALSE;
}

}  // namespace app
