// Windows, message maps, the queue and window timers. One lock guards them all; GetMessageA
// sleeps on a condition variable, at most until the next timer is due.
#include "platform/afxwnd.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <map>

#include "platform/clock.h"

namespace {

const UINT kMinimumElapseMs = 10;  // as Windows grants; 0 would tick on every look

struct Timer {
    UINT elapseMs;
    std::uint64_t due;
};

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::map<HWND, CWnd*> windows;  // null while being destroyed
    std::deque<MSG> posted;
    std::map<std::pair<HWND, UINT_PTR>, Timer> timers;  // by window and id
    std::uintptr_t lastHandle = 0x10000;
};

// Never destroyed: a worker may post while the process ends.
Shared& g_state = *new Shared;

// Caller holds the lock.
CWnd* Find(HWND wnd) { return g_state.windows.count(wnd) ? g_state.windows[wnd] : nullptr; }

// The oldest posted message, else a due tick (the next one counted from now); with wait, the
// first of them to come.
BOOL NextMessage(MSG* msg, bool wait)
{
    std::unique_lock<std::mutex> lock(g_state.lock);
    for (;;) {
        const std::uint64_t now = ClockNowMs();
        auto due = std::min_element(g_state.timers.begin(), g_state.timers.end(),
                                    [](const auto& a, const auto& b) { return a.second.due < b.second.due; });
        const bool ticks = due != g_state.timers.end();
        if (!g_state.posted.empty()) {
            *msg = g_state.posted.front();
            g_state.posted.pop_front();
            return TRUE;
        }
        if (ticks && due->second.due <= now) {
            *msg = MSG{due->first.first, WM_TIMER, due->first.second, 0};
            due->second.due = now + due->second.elapseMs;
            return TRUE;
        }
        if (!wait) return FALSE;
        // Without a timer, a look each second does no harm.
        g_state.changed.wait_for(lock, std::chrono::milliseconds(ticks ? due->second.due - now : 1000));
    }
}

}  // namespace

BOOL CWnd::CreateEx(DWORD, LPCTSTR, LPCTSTR, DWORD, int, int, int, int, HWND, HMENU, LPVOID)
{
    if (m_hWnd) return FALSE;
    std::unique_lock<std::mutex> lock(g_state.lock);
    m_hWnd = reinterpret_cast<HWND>(++g_state.lastHandle);
    g_state.windows[m_hWnd] = this;
    lock.unlock();
    if (WindowProc(WM_CREATE, 0, 0) != -1) return TRUE;
    DestroyWindow();
    return FALSE;
}

BOOL CWnd::DestroyWindow()
{
    const HWND handle = m_hWnd;
    std::unique_lock<std::mutex> lock(g_state.lock);
    if (!Find(handle)) return FALSE;
    g_state.windows[handle] = nullptr;  // going: a second call (from a handler) does nothing
    lock.unlock();
    WindowProc(WM_DESTROY, 0, 0);
    lock.lock();
    g_state.windows.erase(handle);
    g_state.timers.erase(g_state.timers.lower_bound({handle, 0}),
                         g_state.timers.upper_bound({handle, ~UINT_PTR(0)}));
    auto& posted = g_state.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == handle; }),
                 posted.end());
    m_hWnd = nullptr;
    return TRUE;
}

BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(g_state.lock);
    if (!g_state.windows.count(hWnd)) return FALSE;
    g_state.posted.push_back(MSG{hWnd, message, wParam, lParam});
    g_state.changed.notify_all();
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT) { return NextMessage(msg, false); }

BOOL GetMessageA(MSG* msg, HWND, UINT, UINT) { return NextMessage(msg, true); }

LRESULT DispatchMessageA(const MSG* msg)
{
    std::unique_lock<std::mutex> lock(g_state.lock);
    CWnd* wnd = Find(msg->hwnd);
    lock.unlock();
    return wnd ? wnd->WindowProc(msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc)
{
    std::lock_guard<std::mutex> lock(g_state.lock);
    if (timerProc || !g_state.windows.count(hWnd)) return 0;
    elapseMs = std::max(elapseMs, kMinimumElapseMs);
    g_state.timers[{hWnd, id}] = Timer{elapseMs, ClockNowMs() + elapseMs};
    g_state.changed.notify_all();  // a waiter may have to wake sooner
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(g_state.lock);
    return g_state.timers.erase({hWnd, id}) != 0;
}
