// Delivers the machine's device changes to this process's top-level windows the way the
// system does: WM_DEVICECHANGE with DBT_DEVNODES_CHANGED, from a thread of its own, a burst
// per change (one for every device node that changes), arriving once the user-interface
// thread takes its messages again, never inside the handler whose request caused it.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    int pending_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace app::demo
