// Reading and driving the main dialog by control ids, in this process or another one, and
// delivering device broadcasts to it the way the system does: from another thread, one
// after another, each send waiting for its answer.
#pragma once

#include <windows.h>
// windows.h first: the broadcast header needs its types.
#include <dbt.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"

namespace app::testing {

inline HWND Item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

inline std::wstring TextOf(HWND dialog, int id) {
    wchar_t text[256] = L"";
    GetWindowTextW(Item(dialog, id), text, 256);
    return text;
}

// The operation buttons as "create recover partition", 1 for enabled.
inline std::string Buttons(HWND dialog) {
    std::string s;
    for (int id : {IDC_BTN_CREATE, IDC_BTN_RECOVER, IDC_BTN_PARTITION})
        s += IsWindowEnabled(Item(dialog, id)) ? "1" : "0";
    return s;
}

// As the user's click on a line reports it; a line past the end selects none.
inline void Select(HWND dialog, int line) {
    HWND list = Item(dialog, IDC_LIST_DRIVE);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LIST_DRIVE, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

// The lines of a list box, also one in another process: the system copies them for LB_GETTEXT.
inline std::vector<std::wstring> ListLines(HWND list) {
    std::vector<std::wstring> lines;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 256)
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        lines.push_back(text);
    }
    return lines;
}

// Handles what is queued and sent to this thread until nothing is left.
inline void PumpMessages() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Pumps this thread's messages until done() holds or the time is up; done()'s last answer.
template <class Done>
bool PumpUntil(Done done, DWORD milliseconds = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

// A thread of its own that sends WM_DEVICECHANGE to one window, one broadcast after another,
// each SendMessageW waiting until the window's thread has answered it. The window's thread
// must take its messages (a message loop, a message box, PumpUntil) for a send to end.
class SystemBroadcaster {
public:
    explicit SystemBroadcaster(HWND target) : target_(target), thread_([this] { Run(); }) {}
    ~SystemBroadcaster() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            queue_.clear();
        }
        wake_.notify_all();
        // A send in progress waits for this thread: answer it while the broadcaster ends.
        HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, threadId_.load());
        while (thread && MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
                             WAIT_OBJECT_0 + 1) {
            MSG m;
            PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (thread) CloseHandle(thread);
        thread_.join();
    }
    SystemBroadcaster(const SystemBroadcaster&) = delete;
    SystemBroadcaster& operator=(const SystemBroadcaster&) = delete;

    struct Broadcast {
        DWORD gapBefore = 0;  // milliseconds after the previous send ended
        WPARAM event = DBT_DEVNODES_CHANGED;
        DWORD deviceType = 0;  // non-zero: a broadcast header of this type goes with it
    };

    void Send(const std::vector<Broadcast>& broadcasts) {
        {
            std::lock_guard lock(mutex_);
            for (const Broadcast& b : broadcasts) queue_.push_back(b);
        }
        wake_.notify_all();
    }
    // count DBT_DEVNODES_CHANGED, gap milliseconds apart.
    void SendBurst(int count, DWORD gap = 0) {
        std::vector<Broadcast> burst(static_cast<size_t>(count), Broadcast{gap});
        Send(burst);
    }
    bool Idle() const {
        std::lock_guard lock(mutex_);
        return queue_.empty() && !sending_;
    }
    // Answers this thread's messages until every queued broadcast has been answered.
    bool WaitUntilDelivered(DWORD milliseconds = 10000) {
        return PumpUntil([this] { return Idle(); }, milliseconds);
    }
    // How long each send waited for its answer, in milliseconds, in the order sent.
    std::vector<double> SendTimes() const {
        std::lock_guard lock(mutex_);
        return sendTimes_;
    }

private:
    void Run() {
        threadId_ = GetCurrentThreadId();
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        for (;;) {
            Broadcast next;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
                if (stop_) return;
                next = queue_.front();
                queue_.pop_front();
                sending_ = true;
            }
            if (next.gapBefore) Sleep(next.gapBefore);
            DEV_BROADCAST_HDR header{sizeof(header), next.deviceType, 0};
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            SendMessageW(target_, WM_DEVICECHANGE, next.event,
                         next.deviceType ? reinterpret_cast<LPARAM>(&header) : 0);
            QueryPerformanceCounter(&end);
            std::lock_guard lock(mutex_);
            sendTimes_.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                 static_cast<double>(frequency.QuadPart));
            sending_ = false;
        }
    }

    HWND target_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Broadcast> queue_;
    bool sending_ = false;
    bool stop_ = false;
    std::vector<double> sendTimes_;
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
};

}  // namespace app::testing
