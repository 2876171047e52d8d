// Windows, their message map, the queue and window timers on a moved clock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/afxwnd.h"
#include "platform/clock.h"

namespace {

std::atomic<std::uint64_t> g_now{1000000};
std::uint64_t TestNow() { return g_now; }

// Starts a timer when it is created, as the client's heartbeat does.
class TestWnd : public CWnd {
public:
    std::string log;
    int createResult = 0;
    BOOL Create() { return CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr); }
    int OnCreate(LPCREATESTRUCT)
    {
        log += "create ";
        SetTimer(m_hWnd, 1, 10000, nullptr);
        return createResult;
    }
    void OnDestroy() { log += "destroy "; }
    void OnTimer(UINT id) { log += "timer" + std::to_string(id) + " "; }
    LRESULT OnUser(WPARAM w, LPARAM l) { return log += "user" + std::to_string(w + l) + " ", 22; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestWnd, CWnd)
    ON_WM_TIMER()
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_USER + 2, OnUser)
END_MESSAGE_MAP()

// A refused creation destroys the window; a gone window's messages and ticks go, and its handle takes none.
TEST(WindowTest, HandlesFromCreationToDestruction)
{
    SetClockSource(&TestNow);
    TestWnd made, refused, destroyed;
    refused.createResult = -1;
    auto* deleted = new TestWnd;
    ASSERT_TRUE(made.Create() && destroyed.Create() && deleted->Create());
    EXPECT_FALSE(made.Create()) << "a second window for one object";
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.log, "create destroy ");
    HWND gone[] = {destroyed.m_hWnd, deleted->m_hWnd};
    for (HWND wnd : {gone[0], gone[1], HWND(made.m_hWnd)}) ASSERT_TRUE(PostMessageA(wnd, WM_USER + 2, 3, 4));
    EXPECT_TRUE(destroyed.DestroyWindow());
    EXPECT_FALSE(destroyed.DestroyWindow());
    delete deleted;
    g_now += 10000;
    MSG msg;
    for (LRESULT result : {22, 0}) {  // the made window's message, then its tick
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(DispatchMessageA(&msg), result);
    }
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(made.log + destroyed.log, "create user7 timer1 create destroy ");
    for (HWND wnd : gone) EXPECT_FALSE(PostMessageA(wnd, WM_USER, 0, 0) || KillTimer(wnd, 1));
    EXPECT_TRUE(KillTimer(made.m_hWnd, 1));
    EXPECT_FALSE(KillTimer(made.m_hWnd, 1));
    SetClockSource(nullptr);
}

TEST(WindowTest, PostsFromAnotherThreadWhileTheWindowComesAndGoes)
{
    TestWnd wnd;
    std::atomic<bool> done{false};
    std::thread racer([&] {
        while (!done) PostMessageA(wnd.m_hWnd, WM_USER + 1, 0, 0);
    });
    for (int i = 0; i < 200; ++i) EXPECT_TRUE(wnd.Create() && wnd.DestroyWindow());
    done = true;
    racer.join();
}

}  // namespace
