#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/afxwnd.h"

namespace {

class BaseWnd : public CWnd {
public:
    std::vector<std::string> log;
    LRESULT Log(std::string what, LRESULT result) 
    {
        log.push_back(what);
        return result;
    }
    LRESULT OnBaseOnly(WPARAM, LPARAM) { return Log("base-only", 11); }
    LRESULT OnShared(WPARAM, LPARAM) { return Log("base-shared", 12); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
    ON_MESSAGE(WM_USER + 1, OnBaseOnly)
    ON_MESSAGE(WM_USER + 2, OnShared)
END_MESSAGE_MAP()

// OnCreate returns createResult, handed over as the creation parameter.
class DerivedWnd : public BaseWnd {
public:
    int createResult = 0;
    HWND handleInCreate = nullptr;
    BOOL Create() { return CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr, &createResult); }
    int OnCreate(LPCREATESTRUCT cs)
    {
        handleInCreate = m_hWnd;
        return static_cast<int>(Log("create", *static_cast<int*>(cs->lpCreateParams)));
    }
    void OnDestroy()
    {
        Log("destroy", 0);
        CWnd::OnDestroy();
    }
    void OnTimer(UINT id) { Log("timer " + std::to_string(id), 0); }
    LRESULT OnShared(WPARAM w, LPARAM l) { return Log("shared " + std::to_string(w) + std::to_string(l), 22); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_WM_TIMER()
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_USER + 2, OnShared)
END_MESSAGE_MAP()

class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "left in the queue"; }
    MSG msg{};
};

TEST_F(WindowTest, HandleExistsFromWmCreateOnUnlessCreationIsRefused)
{
    DerivedWnd made;
    EXPECT_EQ(made.m_hWnd, nullptr);
    ASSERT_TRUE(made.Create());
    EXPECT_NE(made.m_hWnd, nullptr);
    EXPECT_EQ(made.handleInCreate, static_cast<HWND>(made.m_hWnd));
    EXPECT_EQ(made.log, std::vector<std::string>{"create"});
    EXPECT_FALSE(made.Create()) << "a second window for one object";

    DerivedWnd refused;
    refused.createResult = -1;
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.m_hWnd, nullptr);
    EXPECT_EQ(refused.log, (std::vector<std::string>{"create", "destroy"}));
    EXPECT_FALSE(PostMessageA(refused.handleInCreate, WM_USER, 0, 0));
}

TEST_F(WindowTest, MessagesForAGoneWindowAreDropped)
{
    DerivedWnd destroyed, kept;
    auto* deleted = new DerivedWnd;
    ASSERT_TRUE(destroyed.Create() && kept.Create() && deleted->Create());
    HWND gone[] = {destroyed.m_hWnd, deleted->m_hWnd};
    for (HWND wnd : {gone[0], HWND(kept.m_hWnd), gone[1]}) ASSERT_TRUE(PostMessageA(wnd, WM_USER + 1, 0, 0));

    EXPECT_TRUE(destroyed.DestroyWindow());
    EXPECT_FALSE(destroyed.DestroyWindow());
    EXPECT_EQ(destroyed.m_hWnd, nullptr);
    delete deleted;

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, kept.m_hWnd);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    for (HWND wnd : {gone[0], gone[1], HWND(nullptr)}) EXPECT_FALSE(PostMessageA(wnd, WM_USER + 1, 0, 0));
    msg = MSG{gone[0], WM_USER + 1, 0, 0};
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(destroyed.log, (std::vector<std::string>{"create", "destroy"}));
}

// An endpoint's worker reads its owner's handle and posts while the owning
// thread creates and destroys the window.
TEST_F(WindowTest, HandleMayBeReadAndPostedToWhileTheWindowComesAndGoes)
{
    DerivedWnd wnd;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done.load()) PostMessageA(wnd.m_hWnd, WM_USER + 1, 0, 0);
    });
    for (int i = 0; i < 200; ++i) {
        EXPECT_TRUE(wnd.Create());
        wnd.DestroyWindow();
    }
    done = true;
    worker.join();
}

}  // namespace
