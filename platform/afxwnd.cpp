// Windows, message maps, the queue and window timers. One lock guards them all; GetMessageA
// sleeps on a condition variable, at most until the next timer is due.
#include "platform/afxwnd.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"

namespace {

const UINT kMinimumElapseMs = 10;  // as Windows grants; 0 would tick on every look

struct Timer {
    HWND wnd;
    UINT_PTR id;
    UINT elapseMs;
    std::uint64_t due;
};

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::unordered_map<HWND, CWnd*> windows;  // null while being destroyed
    std::deque<MSG> posted;
    std::vector<Timer> timers;
    std::uintptr_t lastHandle = 0x10000;
};

// Never destroyed: a worker may post while the process ends.
Shared& S()
{
    static Shared& shared = *new Shared;
    return shared;
}

// The rest: caller holds the lock.
Timer* NextDue()
{
    auto next = std::min_element(S().timers.begin(), S().timers.end(),
                                 [](const Timer& a, const Timer& b) { return a.due < b.due; });
    return next != S().timers.end() ? &*next : nullptr;
}

// The oldest posted message, else a due tick (the next one counted from now).
bool Take(MSG* msg, std::uint64_t now)
{
    if (!S().posted.empty()) {
        *msg = S().posted.front();
        S().posted.pop_front();
        return true;
    }
    Timer* due = NextDue();
    if (!due || due->due > now) return false;
    *msg = MSG{due->wnd, WM_TIMER, due->id, 0};
    due->due = now + due->elapseMs;
    return true;
}

// Removes wnd's timer *id, or without id all its timers and messages.
bool Remove(HWND wnd, const UINT_PTR* id)
{
    auto& timers = S().timers;
    const size_t before = timers.size();
    auto timer = [&](const Timer& t) { return t.wnd == wnd && (!id || t.id == *id); };
    timers.erase(std::remove_if(timers.begin(), timers.end(), timer), timers.end());
    auto mine = [&](const MSG& m) { return !id && m.hwnd == wnd; };
    S().posted.erase(std::remove_if(S().posted.begin(), S().posted.end(), mine), S().posted.end());
    return timers.size() != before;
}

CWnd* Find(HWND wnd)
{
    auto it = S().windows.find(wnd);
    return it != S().windows.end() ? it->second : nullptr;
}

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd) DestroyWindow();
}

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
    Remove(handle, nullptr);
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

BOOL PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT)
{
    std::lock_guard<std::mutex> lock(S().lock);
    return Take(msg, ClockNowMs());
}

BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT)
{
    std::unique_lock<std::mutex> lock(S().lock);
    for (std::uint64_t now = ClockNowMs(); !Take(msg, now); now = ClockNowMs()) {
        const Timer* next = NextDue();  // without a timer, a look each second does no harm
        S().changed.wait_for(lock, std::chrono::milliseconds(next ? next->due - now : 1000));
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

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
    Remove(hWnd, &id);
    elapseMs = std::max(elapseMs, kMinimumElapseMs);
    S().timers.push_back(Timer{hWnd, id, elapseMs, ClockNowMs() + elapseMs});
    S().changed.notify_all();  // a waiter may have to wake sooner
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(S().lock);
    return Remove(hWnd, &id);
}
