// The waits the endpoint's worker and owner rely on (a thread left behind: ClientSendTest).
#include <atomic>

#include <gtest/gtest.h>

#include "platform/winbase.h"

DWORD WaitForRelease(LPVOID flag)
{
    while (*static_cast<std::atomic<int>*>(flag) == 0) Sleep(1);
    return 0;
}

// A wait takes an auto-reset event (the worker's wake-up); a manual one stays set until reset.
TEST(Winbase, WaitsOnThreadsAndEvents)
{
    std::atomic<int> release{0};
    HANDLE thread = CreateThread(nullptr, 0, WaitForRelease, &release, 0, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
    release = 1;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 3000));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
    CloseHandle(thread);
    for (BOOL manual : {FALSE, TRUE}) {
        HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
        SetEvent(event);
        SetEvent(event);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
        EXPECT_EQ(manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(event, 0)) << manual;
        ResetEvent(event);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 10)) << manual;
        CloseHandle(event);
    }
}
