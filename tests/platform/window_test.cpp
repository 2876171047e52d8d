// Windows, their message map, the queue and window timers on a moved clock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/afxwnd.h"
#include "platform/clock.h"

namespace {

std::atomic<std::uint64_t> g_now{1000000};

// Starts a timer when it is created, as the client's heartbeat does.
class TestWnd : public CWnd {
public:
    std::string log;
    BOOL Create() { return CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr); }
    int OnCreate(LPCREATESTRUCT) { return log += "create ", SetTimer(m_hWnd, 1, 9000, nullptr), 0; }
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

// A gone window's messages and ticks go, and its handle takes none.
TEST(WindowTest, HandlesFromCreationToDestruction)
{
    SetClockSource([] { return g_now.load(); });
    TestWnd made, destroyed;
    ASSERT_TRUE(made.Create() && destroyed.Create());
    const HWND gone = destroyed.m_hWnd;
    for (HWND wnd : {gone, HWND(made.m_hWnd)}) ASSERT_TRUE(PostMessageA(wnd, WM_USER + 2, 3, 4));
    EXPECT_TRUE(destroyed.DestroyWindow() && !destroyed.DestroyWindow());
    g_now += 9000;
    MSG msg;
    auto next = [&msg] { return PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) ? DispatchMessageA(&msg) : -1; };
    EXPECT_EQ((std::vector<LRESULT>{next(), next(), next()}),
              (std::vector<LRESULT>{22, 0, -1}));  // message, tick
    EXPECT_EQ(made.log + destroyed.log, "create user7 timer1 create destroy ");
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0) || KillTimer(gone, 1));
    EXPECT_TRUE(KillTimer(made.m_hWnd, 1) && !KillTimer(made.m_hWnd, 1));
    SetClockSource(nullptr);
}

}  // namespace
