// The monotonic millisecond clock behind window timers, and its test seam.
#include "platform/clock.h"

#include <atomic>
#include <chrono>

namespace {

std::uint64_t MonotonicMs()
{
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::atomic<ClockSource> g_source{&MonotonicMs};

}  // namespace

std::uint64_t ClockNowMs() { return g_source.load(std::memory_order_acquire)(); }

void SetClockSource(ClockSource source)
{
    g_source.store(source != nullptr ? source : &MonotonicMs, std::memory_order_release);
}
