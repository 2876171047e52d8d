// The clock that window timers read. It is a seam: a test installs a source
// of its own and moves time instead of waiting for it.
#pragma once

#include <cstdint>

typedef std::uint64_t (*ClockSource)();

// Milliseconds on the installed clock; by default a monotonic clock with an
// arbitrary origin. Any thread may call it.
std::uint64_t ClockNowMs();

// Installs source as the clock (null restores the monotonic clock). The
// source must be callable from any thread. After a source's time jumps,
// call WakeMessageLoops (afxwnd.h) so that blocked message loops look again.
void SetClockSource(ClockSource source);
