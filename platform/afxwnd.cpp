// Windows, message maps, the message queue and window timers. One lock
// guards the window registry, the queue and the timers; GetMessageA sleeps
// on a condition variable, bounded by the next timer's due time.
#include "platform/afxwnd.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"

namespace {

// Shortest interval the original platform grants; 0 would tick on every look.
const UINT kMinimumElapseMs = 10;

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
    std::uintptr_t lastHandle = 0x10000;  // handles are never reused
};

// Never destroyed: a worker may still post while the process exits.
Shared& State()
{
    static Shared* shared = new Shared;
    return *shared;
}

// Caller holds the lock. The oldest posted message, else the tick of the
// timer due first; a delivered tick's next one is counted from now.
bool Take(Shared& state, MSG* msg, std::uint64_t now)
{
    if (!state.posted.empty()) {
        *msg = state.posted.front();
        state.posted.pop_front();
        return true;
    }
    Timer* due = nullptr;
    for (Timer& timer : state.timers)
        if (timer.due <= now && (due == nullptr || timer.due < due->due)) due = &timer;
    if (due == nullptr) return false;
    *msg = MSG{due->wnd, WM_TIMER, due->id, 0};
    due->due = now + due->elapseMs;
    return true;
}

// Caller holds the lock; false when there is no such timer.
bool RemoveTimer(Shared& state, HWND wnd, UINT_PTR id)
{
    auto it = std::find_if(state.timers.begin(), state.timers.end(),
                           [&](const Timer& t) { return t.wnd == wnd && t.id == id; });
    if (it == state.timers.end()) return false;
    state.timers.erase(it);
    return true;
}

}  // namespace

CWnd::~CWnd()
{
    if (m_hWnd != nullptr) DestroyWindow();
}

BOOL CWnd::CreateEx(DWORD, LPCTSTR, LPCTSTR, DWORD, int, int, int, int, HWND, HMENU, LPVOID param)
{
    if (m_hWnd != nullptr) return FALSE;
    HWND handle;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        handle = reinterpret_cast<HWND>(++State().lastHandle);
        State().windows[handle] = this;
    }
    // The handle exists before WM_CREATE, so OnCreate can set timers on it.
    m_hWnd = handle;
    CREATESTRUCT create{param};
    if (WindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    HWND handle = m_hWnd;
    {
        // Marked as going, so that a second call (from a handler) does nothing.
        std::lock_guard<std::mutex> lock(State().lock);
        auto it = State().windows.find(handle);
        if (it == State().windows.end() || it->second == nullptr) return FALSE;
        it->second = nullptr;
    }
    // The window still exists while its handler runs (it may kill timers).
    WindowProc(WM_DESTROY, 0, 0);
    {
        Shared& state = State();
        std::lock_guard<std::mutex> lock(state.lock);
        state.windows.erase(handle);
        state.posted.erase(std::remove_if(state.posted.begin(), state.posted.end(),
                                          [&](const MSG& m) { return m.hwnd == handle; }),
                           state.posted.end());
        state.timers.erase(std::remove_if(state.timers.begin(), state.timers.end(),
                                          [&](const Timer& t) { return t.wnd == handle; }),
                           state.timers.end());
    }
    m_hWnd = nullptr;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = Default();
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
         map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfnCall != nullptr; ++e) {
            if (e->nMessage != message) continue;
            *result = e->pfnCall(this, wParam, lParam);
            return true;
        }
    }
    return false;
}

LRESULT CWnd::Default() { return 0; }

void CWnd::OnDestroy() { Default(); }

const AFX_MSGMAP* CWnd::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = {{0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

BOOL PostMessageA(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Shared& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    if (state.windows.count(hWnd) == 0) return FALSE;
    state.posted.push_back(MSG{hWnd, message, wParam, lParam});
    state.changed.notify_all();
    return TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND, UINT, UINT, UINT)
{
    std::lock_guard<std::mutex> lock(State().lock);
    return Take(State(), msg, ClockNowMs()) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND, UINT, UINT)
{
    Shared& state = State();
    std::unique_lock<std::mutex> lock(state.lock);
    for (;;) {
        const std::uint64_t now = ClockNowMs();
        if (Take(state, msg, now)) return TRUE;
        if (state.timers.empty()) {
            state.changed.wait(lock);
            continue;
        }
        std::uint64_t due = state.timers.front().due;
        for (const Timer& timer : state.timers) due = std::min(due, timer.due);
        state.changed.wait_for(lock, std::chrono::milliseconds(due - now));
    }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg)
{
    CWnd* wnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(State().lock);
        auto it = State().windows.find(msg->hwnd);
        if (it != State().windows.end()) wnd = it->second;
    }
    return wnd != nullptr ? wnd->WindowProc(msg->message, msg->wParam, msg->lParam) : 0;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapseMs, TIMERPROC timerProc)
{
    Shared& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    if (timerProc != nullptr || state.windows.count(hWnd) == 0) return 0;
    RemoveTimer(state, hWnd, id);
    elapseMs = std::max(elapseMs, kMinimumElapseMs);
    state.timers.push_back(Timer{hWnd, id, elapseMs, ClockNowMs() + elapseMs});
    state.changed.notify_all();  // a waiter may now have to wake sooner
    return id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id)
{
    std::lock_guard<std::mutex> lock(State().lock);
    return RemoveTimer(State(), hWnd, id) ? TRUE : FALSE;
}
