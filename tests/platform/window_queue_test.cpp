#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/afxwnd.h"
#include "platform/clock.h"

namespace {

// Timers read a clock that the tests move by hand.
std::atomic<std::uint64_t> g_now{0};
std::uint64_t TestNow() { return g_now.load(); }
void Advance(std::uint64_t ms) { g_now += ms; }

// Starts a timer when it is created, as the client's heartbeat does.
class TickingWnd : public CWnd {
public:
    int ticks = 0;
    int OnCreate(LPCREATESTRUCT) { return SetTimer(m_hWnd, 1, 10000, nullptr) == 1 ? 0 : -1; }
    void OnTimer(UINT id) { ticks += id == 1; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TickingWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_TIMER()
END_MESSAGE_MAP()

class QueueFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000000;
        SetClockSource(&TestNow);
        ASSERT_TRUE(wnd.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
        ASSERT_TRUE(other.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
    }
    void TearDown() override
    {
        wnd.DestroyWindow();
        other.DestroyWindow();
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
        SetClockSource(nullptr);
    }
    // Takes and dispatches what is there; returns the count.
    int Pump()
    {
        int taken = 0;
        for (; taken < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++taken) DispatchMessageA(&msg);
        return taken;
    }

    TickingWnd wnd, other;
    MSG msg{};
};

using MessageQueueTest = QueueFixture;
using TimerTest = QueueFixture;

// Several workers post while the owning thread waits in GetMessageA: every
// message arrives once, and each sender's messages keep their order.
TEST_F(MessageQueueTest, PostsFromOtherThreadsAllArriveInOrderPerSender)
{
    const int kSenders = 4, kEach = 500;
    HWND target = wnd.m_hWnd;
    std::thread feeder([target] {
        std::vector<std::thread> senders;
        for (int s = 0; s < kSenders; ++s)
            senders.emplace_back([target, s] {
                for (int i = 0; i < kEach; ++i) PostMessageA(target, WM_USER, i, s);
            });
        for (std::thread& t : senders) t.join();
        PostMessageA(target, WM_USER + 1, 0, 0);
    });
    std::vector<int> next(kSenders, 0);
    int received = 0;
    for (; GetMessageA(&msg, nullptr, 0, 0) && msg.message == WM_USER; ++received)
        EXPECT_EQ(static_cast<int>(msg.wParam), next.at(msg.lParam)++) << "sender " << msg.lParam;
    feeder.join();
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(received, kSenders * kEach);
}

TEST_F(TimerTest, TicksWhenDueAfterPostedMessagesAndNeverMoreThanOnePending)
{
    Advance(9999);
    EXPECT_EQ(Pump(), 0);
    Advance(1);
    PostMessageA(wnd.m_hWnd, WM_USER, 0, 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(Pump(), 2) << "one tick for each window";
    EXPECT_EQ(wnd.ticks, 1);

    Advance(35000);  // three intervals missed
    EXPECT_EQ(Pump(), 2);
    Advance(9999);  // the next tick counts from the last delivery
    EXPECT_EQ(Pump(), 0);
    Advance(1);
    EXPECT_EQ(Pump(), 2);
    EXPECT_EQ(wnd.ticks, 3);
}

TEST_F(TimerTest, NoTickAfterKillTimerOrDestroy)
{
    Advance(10000);  // ticks are pending
    EXPECT_TRUE(KillTimer(wnd.m_hWnd, 1));
    EXPECT_FALSE(KillTimer(wnd.m_hWnd, 1));
    HWND gone = other.m_hWnd;
    other.DestroyWindow();
    EXPECT_EQ(Pump(), 0);
    EXPECT_EQ(SetTimer(gone, 1, 500, nullptr), 0u);
    EXPECT_EQ(wnd.ticks + other.ticks, 0);
}

}  // namespace
