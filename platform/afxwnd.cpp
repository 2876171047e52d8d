// Windows, message maps, the queue and window timers. One lock guards them all; GetMessageA
// sleeps on a condition variable, at most until the next timer is due.
#include "platform/afxwnd.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <map>
#include <unordered_map>

#include "platform/clock.h"

namespace {

const UINT kMinimumElapseMs = 10;  // as Windows grants; 0 would tick on every look

struct Timer {
    UINT elapseMs;
    std::uint64_t due;
};
typedef std::map<std::pair<HWND, UINT_PTR>, Timer> Timers;  // by window and id

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::unordered_map<HWND, CWnd*> windows;  // null while being destroyed
    std::deque<MSG> posted;
    Timers timers;
    std::uintptr_t lastHandle = 0x10000;
};

// Never destroyed: a worker may post while the process ends.
Shared& S()
{
    static Shared& shared = *new Shared;
    return shared;
}

// Caller holds the lock.
CWnd* Find(HWND wnd)
{
    auto it = S().windows.find(wnd);
    return it != S().windows.end() ? it->second : nullptr;
}

// The oldest posted message, else a due tick (the next one counted from now); with wait, the
// first of them to come.
BOOL NextMessage(MSG* msg, bool wait)
{
    std::unique_lock<std::mutex> lock(S().lock);
    for (;;) {
        const std::uint64_t now = ClockNowMs();
        auto due = std::min_element(S().timers.begin(), S().timers.end(),
                                    [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
        const bool ticks = due != S().timers.end();
        if (!S().posted.empty()) {
            *msg = S().posted.front();
            S().posted.pop_front();
            return TRUE;
        }
        if (ticks && due->second.due <= now) {
            *msg = MSG{due->first.first, WM_TIMER, due->first.second, 0};
            due->second.due = now + due->second.elapseMs;
            return TRUE;
        }
        if (!wait) return FALSE;
        // Without a timer, a look each second does no harm.
        S().changed.wait_for(lock, std::chrono::milliseconds(ticks ? due->second.due - now : 1000));
    }
}

}  // namespace

BOOL CWnd::CreateEx(DWORD, LPCTSTR, LPCTSTR, DWORD, int, int, int, int, HWND, HMENU, LPVOID)
{
    if (m_hWnd) return FALSE;
    std::unique_lock<std::mutex> lock(S().lock);
    m_hWnd = reinterpret_cast<HWND>(++S().lastHandle);
    S().windows[m_hWnd] = this;
    lock.unlock();
    if (WindowProc(WM_CREATE, 0, 0) != -1) return TRUE;
    DestroyWindow();
    return FALSE;
}

BOOL CWnd::DestroyWindow()
{
    const HWND handle = m_hWnd;
    std::unique_lock<std::mutex> lock(S().lock);
    if (!Find(handle)) return FALSE;
    S().windows[handle] = nullptr;  // going: a second call (from a handler) does nothing
    lock.unlock();
    WindowProc(WM_DESTROY, 0, 0);
    lock.lock();
    S().windows.erase(handle);
    S().timers.erase(S().timers.lower_bound({handle, 0}), S().timers.upper_bound({handle, ~UINT_PTR(0)}));
    auto& posted = S().posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == handle; }),
                 posted.end());
    m_hWnd = nullptr;
    return TRUE;
}

BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(S().lock);
    if (!S().windows.count(hWnd)) return FALSE;
    S().posted.push_back(MSG{hWnd, message, wParam, lParam});
    S().changed.notify_all();
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT) { return NextMessage(msg, false); }

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) { return NextMessage(msg, true); }

LRESULT DispatchMessageA(const MSG* msg)
{
    std::unique_lock<std::mutex> lock(S().lock);
    CWnd* wnd = Find(msg->hwnd);
    lock.unlock();
    return wnd ? wnd->WindowProc(msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc)
{
    std::lock_guard<std::mutex> lock(S().lock);
    if (timerProc || !S().windows.count(hWnd)) return 0;
    elapseMs = std::max(elapseMs, kMinimumElapseMs);
    S().timers[{hWnd, id}] = Timer{elapseMs, ClockNowMs() + elapseMs};
    S().changed.notify_all();  // a waiter may have to wake sooner
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(S().lock);
    return S().timers.erase({hWnd, id}) != 0;
}
