#include "app/demo/DeviceBroadcaster.h"

#include <dbt.h>

namespace app::demo {
namespace {

BOOL CALLBACK SendToOwnWindow(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    // As the system sends it: one window after another, each send waiting for the answer.
    // The time limit keeps a window that no longer takes messages from stopping the rest.
    DWORD_PTR answer = 0;
    if (process == GetCurrentProcessId())
        SendMessageTimeoutW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_NORMAL, 5000,
                            &answer);
    return TRUE;
}

}  // namespace

DeviceBroadcaster::DeviceBroadcaster()
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      pending_(CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr)),
      thread_(stop_ && pending_ ? CreateThread(nullptr, 0, Run, this, 0, nullptr) : nullptr) {}

DeviceBroadcaster::~DeviceBroadcaster() {
    if (thread_) {
        SetEvent(stop_);
        // A send in progress may be waiting for this very thread: answer it meanwhile.
        while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 1) {
            MSG m;
            PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(thread_);
    }
    if (pending_) CloseHandle(pending_);
    if (stop_) CloseHandle(stop_);
}

void DeviceBroadcaster::DevicesChanged() {
    if (pending_) ReleaseSemaphore(pending_, 1, nullptr);
}

DWORD WINAPI DeviceBroadcaster::Run(void* self) {
    auto* broadcaster = static_cast<DeviceBroadcaster*>(self);
    const HANDLE waits[] = {broadcaster->stop_, broadcaster->pending_};
    // The stop event comes first, so a pending change is not broadcast once it is set.
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        for (int k = 0; k < kBurst; ++k) EnumWindows(SendToOwnWindow, 0);
    }
    return 0;
}

}  // namespace app::demo
