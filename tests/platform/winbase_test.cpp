// Threads and events of the kernel stand-ins: the waits that the endpoint's
// worker and owner rely on, and that nothing is left behind.
#include <dirent.h>

#include <atomic>

#include <gtest/gtest.h>

#include "platform/winbase.h"

namespace {

int ThreadCount()
{
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

TEST(WinbaseThread, WaitTimesOutUntilTheThreadEndsAndNothingIsLeftBehind)
{
    // The first round lets runtime helpers (a sanitizer's own thread) start.
    int before = 0;
    for (int round = 0; round < 2; ++round) {
        before = ThreadCount();
        std::atomic<int> release{0};
        DWORD id = 0;
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID flag) -> DWORD {
                while (static_cast<std::atomic<int>*>(flag)->load() == 0) Sleep(1);
                return 0;
            },
            &release, 0, &id);
        ASSERT_NE(nullptr, thread);
        EXPECT_NE(0u, id);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
        release = 1;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 3000));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));
        CloseHandle(thread);
    }
    EXPECT_EQ(before, ThreadCount());
}

// An auto-reset event wakes one wait and is clear again (the worker's
// wake-up); a manual-reset one stays set until reset (data waiting).
TEST(WinbaseEvent, AutoResetIsTakenByTheWaitManualResetStays)
{
    for (BOOL manual : {FALSE, TRUE}) {
        SCOPED_TRACE(manual ? "manual reset" : "auto reset");
        HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
        ASSERT_NE(nullptr, event);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
        SetEvent(event);
        SetEvent(event);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
        EXPECT_EQ(manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(event, 0));
        ResetEvent(event);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 10));
        CloseHandle(event);
    }
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(read, 0));
    CloseHandle(read);
    CloseHandle(write);
}

}  // namespace
