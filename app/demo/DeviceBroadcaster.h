// Delivers the machine's device changes to this process's top-level windows the way the
// system does: WM_DEVICECHANGE with DBT_DEVNODES_CHANGED, from a thread of its own, a burst
// per change (one for every device node that changes), each sent and waited for, arriving once
// the user-interface thread takes its messages again, never inside the handler whose request
// caused it.
#pragma once

#include <windows.h>

namespace app::demo {

class DeviceBroadcaster {
public:
    static constexpr int kBurst = 3;

    DeviceBroadcaster();
    ~DeviceBroadcaster();
    DeviceBroadcaster(const DeviceBroadcaster&) = delete;
    DeviceBroadcaster& operator=(const DeviceBroadcaster&) = delete;

    // From any thread: device nodes changed.
    void DevicesChanged();

private:
    // Win32 threads rather than std::thread: the shipping build's runtime has no std::thread.
    static DWORD WINAPI Run(void* self);

    HANDLE stop_;     // manual-reset event: the broadcaster goes away
    HANDLE pending_;  // semaphore: one count per change not yet broadcast
    HANDLE thread_;
};

}  // namespace app::demo
