#include "app/demo/DeviceBroadcaster.h"

#include <dbt.h>

namespace app::demo {
namespace {

BOOL CALLBACK SendToOwnWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // Queued for the window's thread without waiting for it: the system does not wait on a
    // busy window either.
    if (process == GetCurrentProcessId())
        SendNotifyMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    return TRUE;
}

}  // namespace

DeviceBroadcaster::DeviceBroadcaster() : thread_([this] { Run(); }) {}

DeviceBroadcaster::~DeviceBroadcaster() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void DeviceBroadcaster::DevicesChanged() {
    {
        std::lock_guard lock(mutex_);
        ++pending_;
    }
    wake_.notify_one();
}

void DeviceBroadcaster::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_ > 0; });
        if (stopping_) return;
        --pending_;
        lock.unlock();
        for (int k = 0; k < kBurst; ++k) EnumWindows(SendToOwnWindow, 0);
        lock.lock();
    }
}

}  // namespace app::demo
