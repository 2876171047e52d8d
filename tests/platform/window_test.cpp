// Windows, their message map, the queue and window timers on a moved clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/afxwnd.h"
#include "platform/clock.h"

namespace {

std::atomic<std::uint64_t> g_now{0};
std::uint64_t TestNow() { return g_now.load(); }

// Starts a timer when it is created, as the client's heartbeat does; OnCreate
// returns the creation parameter.
class TestWnd : public CWnd {
public:
    std::vector<std::string> log;
    int createResult = 0;
    HWND handleInCreate = nullptr;
    BOOL Create() { return CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr, &createResult); }
    int OnCreate(LPCREATESTRUCT cs)
    {
        handleInCreate = m_hWnd;
        log.push_back("create");
        SetTimer(m_hWnd, 1, 10000, nullptr);
        return *static_cast<int*>(cs->lpCreateParams);
    }
    void OnDestroy() { log.push_back("destroy"); }
    void OnTimer(UINT id) { log.push_back("timer " + std::to_string(id)); }
    LRESULT OnUser(WPARAM w, LPARAM l)
    {
        log.push_back("user " + std::to_string(w) + std::to_string(l));
        return 22;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestWnd, CWnd)
    ON_WM_TIMER()
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_USER + 2, OnUser)
END_MESSAGE_MAP()

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000000;
        SetClockSource(&TestNow);
    }
    void TearDown() override
    {
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "left in the queue";
        SetClockSource(nullptr);
    }
    // Takes and dispatches what is there; returns the count.
    int Pump()
    {
        int taken = 0;
        for (; taken < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++taken) DispatchMessageA(&msg);
        return taken;
    }
    MSG msg{};
};

TEST_F(WindowTest, HandleExistsFromWmCreateOnUnlessCreationIsRefused)
{
    TestWnd made;
    EXPECT_EQ(made.m_hWnd, nullptr);
    ASSERT_TRUE(made.Create());
    EXPECT_NE(made.m_hWnd, nullptr);
    EXPECT_EQ(made.handleInCreate, static_cast<HWND>(made.m_hWnd));
    EXPECT_FALSE(made.Create()) << "a second window for one object";
    ASSERT_TRUE(PostMessageA(made.m_hWnd, WM_USER + 2, 3, 4));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 22);
    EXPECT_EQ(made.log, (std::vector<std::string>{"create", "user 34"}));

    TestWnd refused;
    refused.createResult = -1;
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.log, (std::vector<std::string>{"create", "destroy"}));
    EXPECT_FALSE(PostMessageA(refused.handleInCreate, WM_USER, 0, 0));
}

// Messages and ticks for a destroyed or deleted window are dropped, and
// its handle takes no more posts.
TEST_F(WindowTest, MessagesForAGoneWindowAreDropped)
{
    TestWnd destroyed, kept;
    auto* deleted = new TestWnd;
    ASSERT_TRUE(destroyed.Create() && kept.Create() && deleted->Create());
    HWND gone[] = {destroyed.m_hWnd, deleted->m_hWnd};
    for (HWND wnd : {gone[0], HWND(kept.m_hWnd), gone[1]}) ASSERT_TRUE(PostMessageA(wnd, WM_USER + 1, 0, 0));
    EXPECT_TRUE(destroyed.DestroyWindow());
    EXPECT_FALSE(destroyed.DestroyWindow());
    EXPECT_EQ(destroyed.m_hWnd, nullptr);
    delete deleted;
    g_now += 10000;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, kept.m_hWnd);
    EXPECT_EQ(Pump(), 1) << "only the kept window's tick";
    for (HWND wnd : {gone[0], gone[1], HWND(nullptr)}) EXPECT_FALSE(PostMessageA(wnd, WM_USER + 1, 0, 0));
    EXPECT_EQ(destroyed.log, (std::vector<std::string>{"create", "destroy"}));
}

// Workers post while the window comes and goes and while the main thread
// waits in GetMessageA: every message arrives once, in each sender's order.
TEST_F(WindowTest, PostsFromOtherThreads)
{
    TestWnd wnd;
    std::atomic<bool> done{false};
    std::thread racer([&] {
        while (!done.load()) PostMessageA(wnd.m_hWnd, WM_USER + 1, 0, 0);
    });
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(wnd.Create());
        wnd.DestroyWindow();
    }
    done = true;
    racer.join();

    ASSERT_TRUE(wnd.Create());
    const int kSenders = 4, kEach = 500;
    HWND target = wnd.m_hWnd;
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s)
        senders.emplace_back([target, s] {
            for (int i = 0; i < kEach; ++i) PostMessageA(target, WM_USER, i, s);
        });
    std::vector<int> next(kSenders, 0);
    for (int received = 0; received < kSenders * kEach && GetMessageA(&msg, nullptr, 0, 0); ++received)
        EXPECT_EQ(static_cast<int>(msg.wParam), next.at(msg.lParam)++) << "sender " << msg.lParam;
    for (std::thread& t : senders) t.join();
    KillTimer(wnd.m_hWnd, 1);
}

// A tick comes when due, after posted messages, never more than one pending;
// the next counts from the last delivery; none after KillTimer.
TEST_F(WindowTest, TimersTickWhenDue)
{
    TestWnd wnd;
    ASSERT_TRUE(wnd.Create());
    g_now += 9999;
    EXPECT_EQ(Pump(), 0);
    g_now += 1;
    PostMessageA(wnd.m_hWnd, WM_USER + 2, 0, 0);
    EXPECT_EQ(Pump(), 2);
    EXPECT_EQ(wnd.log, (std::vector<std::string>{"create", "user 00", "timer 1"}));
    g_now += 35000;  // three intervals missed
    EXPECT_EQ(Pump(), 1);
    g_now += 9999;
    EXPECT_EQ(Pump(), 0);
    g_now += 1;
    EXPECT_TRUE(KillTimer(wnd.m_hWnd, 1));
    EXPECT_FALSE(KillTimer(wnd.m_hWnd, 1));
    EXPECT_EQ(Pump(), 0);
    EXPECT_EQ(SetTimer(nullptr, 1, 500, nullptr), 0u);
}

}  // namespace
