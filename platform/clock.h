// Stands in for the clock behind window timers (GetTickCount). It is a seam:
// a test installs a source of its own and moves time instead of waiting.
#pragma once

#include <cstdint>

typedef std::uint64_t (*ClockSource)();

// Milliseconds on the installed clock; by default a monotonic clock with an
// arbitrary origin. Any thread may call it.
std::uint64_t ClockNowMs();

// Installs source as the clock (null restores the monotonic clock). The
// source must be callable from any thread. A message loop that already
// waits in GetMessageA does not notice a jump; one that peeks does.
void SetClockSource(ClockSource source);
