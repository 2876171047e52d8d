#include "platform/msgqueue.h"

#include <algorithm>

namespace {

// Shortest interval the original platform grants; 0 would tick on every look.
const UINT kMinimumElapseMs = 10;

bool InRange(UINT message, UINT filterMin, UINT filterMax)
{
    if (filterMin == 0 && filterMax == 0) return true;
    return message >= filterMin && message <= filterMax;
}

bool Passes(const MSG& msg, HWND wnd, UINT filterMin, UINT filterMax)
{
    if (wnd != nullptr && msg.hwnd != wnd) return false;
    return msg.message == WM_QUIT || InRange(msg.message, filterMin, filterMax);
}

}  // namespace

void CMessageQueue::Post(const MSG& msg) { m_posted.push_back(msg); }

bool CMessageQueue::Take(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax, bool remove, std::uint64_t now)
{
    auto posted = std::find_if(m_posted.begin(), m_posted.end(),
                               [&](const MSG& m) { return Passes(m, wnd, filterMin, filterMax); });
    if (posted != m_posted.end()) {
        *msg = *posted;
        if (remove) m_posted.erase(posted);
        return true;
    }
    if (!InRange(WM_TIMER, filterMin, filterMax)) return false;
    Timer* due = nullptr;
    for (Timer& timer : m_timers) {
        if (timer.due > now || (wnd != nullptr && timer.wnd != wnd)) continue;
        if (due == nullptr || timer.due < due->due) due = &timer;
    }
    if (due == nullptr) return false;
    *msg = MSG{due->wnd, WM_TIMER, due->id, 0};
    if (remove) due->due = now + due->elapseMs;
    return true;
}

void CMessageQueue::SetTimer(HWND wnd, UINT_PTR id, UINT elapseMs, std::uint64_t now)
{
    elapseMs = std::max(elapseMs, kMinimumElapseMs);
    KillTimer(wnd, id);
    m_timers.push_back(Timer{wnd, id, elapseMs, now + elapseMs});
}

bool CMessageQueue::KillTimer(HWND wnd, UINT_PTR id)
{
    auto it = std::find_if(m_timers.begin(), m_timers.end(),
                           [&](const Timer& t) { return t.wnd == wnd && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    return true;
}

void CMessageQueue::Forget(HWND wnd)
{
    m_posted.erase(std::remove_if(m_posted.begin(), m_posted.end(), [&](const MSG& m) { return m.hwnd == wnd; }),
                   m_posted.end());
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.wnd == wnd; }),
                   m_timers.end());
}

bool CMessageQueue::NextDue(HWND wnd, UINT filterMin, UINT filterMax, std::uint64_t* due) const
{
    if (!InRange(WM_TIMER, filterMin, filterMax)) return false;
    bool found = false;
    for (const Timer& timer : m_timers) {
        if (wnd != nullptr && timer.wnd != wnd) continue;
        if (!found || timer.due < *due) *due = timer.due;
        found = true;
    }
    return found;
}
