// For tests that drive a tunnel session through the message queue: window timers on a clock that
// moves only when the test moves it, and a pump that dispatches what is queued.
#pragma once

#include <functional>

#include "platform/afxwnd.h"
#include "platform/clock.h"
#include "tests/support/ScriptedGateway.h"

class MessagePump {
public:
    // Each message goes to dispatch, which returns false once the program is over: then none goes any more.
    // A moved clock dispatches for settleMs, so that the answers to what its timers sent come in.
    using Dispatch = std::function<bool(const MSG&)>;
    explicit MessagePump(int settleMs = 30, Dispatch dispatch = [](const MSG& m) { return DispatchMessageA(&m), true; })
        : m_settleMs(settleMs), m_dispatch(std::move(dispatch))
    {
        SetClockSource([] { return s_nowMs.load(); });
    }
    ~MessagePump() { SetClockSource(nullptr); }

    // Dispatches queued messages until done() holds (without one, all of the time) or ms passed.
    bool PumpUntil(const std::function<bool()>& done, int ms = 2000)
    {
        return WaitUntil([&] {
            for (MSG msg; !m_over && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) m_over = !m_dispatch(msg);
            return m_over || (done && done());
        }, ms);
    }
    void MoveClock(std::uint64_t ms) { s_nowMs += ms, PumpUntil(nullptr, m_settleMs); }
    static std::uint64_t NowMs() { return s_nowMs; }

    bool m_over = false;

private:
    static inline std::atomic<std::uint64_t> s_nowMs{5000000};
    int m_settleMs;
    Dispatch m_dispatch;
};
