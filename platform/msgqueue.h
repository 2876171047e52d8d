// One thread's message queue with its window timers, as plain bookkeeping:
// no lock, no waiting, and the time is passed in. The caller serialises all
// access (afxwnd.cpp holds the one lock and does the waiting).
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/afxwnd.h"

class CMessageQueue {
public:
    void Post(const MSG& msg);

    // Finds the oldest posted message that passes the filter (window null:
    // any; range 0..0: any; WM_QUIT passes any range). Only when none
    // does, a due timer of a passing window yields WM_TIMER (wParam = id),
    // so ticks never overtake posted messages and at most one is pending per
    // timer. With remove the message leaves the queue and a delivered
    // timer's next tick is counted from now. false when nothing passes.
    bool Take(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax, bool remove, std::uint64_t now);

    // Starts or restarts the timer (wnd, id), first due elapseMs after now.
    void SetTimer(HWND wnd, UINT_PTR id, UINT elapseMs, std::uint64_t now);
    // Removes the timer and so any tick it had pending; false if none.
    bool KillTimer(HWND wnd, UINT_PTR id);
    // Drops everything posted to wnd and all its timers.
    void Forget(HWND wnd);
    // When the next timer that could pass the filter falls due; false when
    // there is none, so a waiter need not wake for timers it cannot take.
    bool NextDue(HWND wnd, UINT filterMin, UINT filterMax, std::uint64_t* due) const;

private:
    struct Timer {
        HWND wnd;
        UINT_PTR id;
        UINT elapseMs;
        std::uint64_t due;
    };

    std::deque<MSG> m_posted;
    std::vector<Timer> m_timers;
};
