// Stands in for the clock behind window timers (GetTickCount): a seam through which a test
// installs a clock of its own and moves time instead of waiting.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

typedef std::uint64_t (*ClockSource)();

inline std::atomic<ClockSource> g_clockSource{nullptr};  // null: the monotonic clock

// Milliseconds on the installed clock (by default monotonic, arbitrary origin). Any thread.
inline std::uint64_t ClockNowMs()
{
    using namespace std::chrono;
    const ClockSource source = g_clockSource;
    return source ? source() : duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Installs a source callable from any thread (null: the monotonic clock again). A GetMessageA
// already waiting does not notice a jump; PeekMessageA does.
inline void SetClockSource(ClockSource source) { g_clockSource = source; }
