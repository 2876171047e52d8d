// Windows, message maps, the queue and window timers. One lock guards them all;
// GetMessageA sleeps on a condition variable, bounded by the next timer's due time.
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

Shared& S()
{
    static Shared* shared = new Shared;  // never destroyed: a worker may post while the process ends
    return *shared;
}

// Caller holds the lock. A delivered tick's next one is counted from now.
bool Take(MSG* msg, std::uint64_t now)
{
    if (!S().posted.empty()) {
        *msg = S().posted.front();
        S().posted.pop_front();
        return true;
    }
    Timer* due = nullptr;
    for (Timer& timer : S().timers)
        if (timer.due <= now && (!due || timer.due < due->due)) due = &timer;
    if (!due) return false;
    *msg = MSG{due->wnd, WM_TIMER, due->id, 0};
    due->due = now + due->elapseMs;
    return true;
}

// Caller holds the lock. Removes wnd's timer *id, or without id all its timers and messages.
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

}  // namespace

bool AfxCallEntry(CWnd* wnd, const AFX_MSGMAP_ENTRY* e, UINT m, WPARAM wp, LPARAM lp, LRESULT* result)
{
    for (; e->pfnCall; ++e)
        if (e->nMessage == m) return *result = e->pfnCall(wnd, wp, lp), true;
    return false;
}

CWnd::~CWnd()
{
    if (m_hWnd) DestroyWindow();
}

BOOL CWnd::CreateEx(DWORD, LPCTSTR, LPCTSTR, DWORD, int, int, int, int, HWND, HMENU, LPVOID)
{
    if (m_hWnd) return FALSE;
    {
        std::lock_guard<std::mutex> lock(S().lock);
        m_hWnd = reinterpret_cast<HWND>(++S().lastHandle);
        S().windows[m_hWnd] = this;
    }
    if (WindowProc(WM_CREATE, 0, 0) != -1) return TRUE;
    DestroyWindow();
    return FALSE;
}

BOOL CWnd::DestroyWindow()
{
    const HWND handle = m_hWnd;
    {
        // Marked as going, so that a second call (from a handler) does nothing.
        std::lock_guard<std::mutex> lock(S().lock);
        auto it = S().windows.find(handle);
        if (it == S().windows.end() || !it->second) return FALSE;
        it->second = nullptr;
    }
    WindowProc(WM_DESTROY, 0, 0);  // the window is still there for its handler
    std::lock_guard<std::mutex> lock(S().lock);
    S().windows.erase(handle);
    Remove(handle, nullptr);
    m_hWnd = nullptr;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    return OnWndMsg(message, wParam, lParam, &result) ? result : Default();
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
        if (S().timers.empty()) {
            S().changed.wait(lock);
            continue;
        }
        std::uint64_t due = S().timers.front().due;
        for (const Timer& timer : S().timers) due = std::min(due, timer.due);
        S().changed.wait_for(lock, std::chrono::milliseconds(due - now));
    }
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg)
{
    CWnd* wnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(S().lock);
        auto it = S().windows.find(msg->hwnd);
        if (it != S().windows.end()) wnd = it->second;
    }
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
