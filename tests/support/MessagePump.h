// A tunnel session's message queue for tests: timers on a clock only the test moves, and a pump for it.
#pragma once

#include <functional>

#include "platform/afxwnd.h"
#include "platform/clock.h"
#include "tests/support/ScriptedGateway.h"

struct MessagePump {
    // Each message goes to dispatch, which returns false once the program is over: then none goes any more.
    explicit MessagePump(
        std::function<bool(const MSG&)> dispatch = [](const MSG& m) { return DispatchMessageA(&m), true; })
        : m_dispatch(std::move(dispatch))
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
    // Long enough a pump that the answers to what the timers sent come in.
    void MoveClock(std::uint64_t ms) { s_nowMs += ms, PumpUntil(nullptr, 60); }

    static inline std::atomic<std::uint64_t> s_nowMs{5000000};
    std::function<bool(const MSG&)> m_dispatch;
    bool m_over = false;
};
