// The POSIX stand-ins: the errno-to-Windows-Sockets table and the waits the endpoint relies on.
#include <errno.h>
#include <gtest/gtest.h>

#include <atomic>

#include "platform/winbase.h"
#include "platform/wsock.h"

TEST(WsockErrors, SystemErrorsMapToWindowsSocketsCodes)
{
    const int cases[][2] = {{EADDRNOTAVAIL, 10049},
                            {EADDRINUSE, 10048},
                            {EACCES, 10013},
                            {EPERM, 10013},
                            {EINVAL, 10022},
                            {EINTR, 10004},
                            {EFAULT, 10014},
                            {EAGAIN, 10035},
                            {ENOTSOCK, 10038},
                            {EMSGSIZE, 10040},
                            {EAFNOSUPPORT, 10047},
                            {ENETUNREACH, 10051},
                            {ECONNRESET, 10054},
                            {ENOBUFS, 10055},
                            {ENOMEM, 10055},
                            {ETIMEDOUT, 10060},
                            {ECONNREFUSED, 10061},
                            {EHOSTUNREACH, 10065},
                            {0, 0},
                            {ENOENT, ENOENT}};
    for (const auto& c : cases) {
        errno = c[0];
        EXPECT_EQ(c[1], WSAGetLastError()) << "errno " << c[0];
    }
}

// A wait takes an auto-reset event (the worker's wake-up); a manual one stays set until reset.
TEST(Winbase, WaitsOnThreadsAndEvents)
{
    std::atomic<int> release{0};
    auto waitForRelease = [](LPVOID flag) -> DWORD {
        while (*static_cast<std::atomic<int>*>(flag) == 0) Sleep(1);
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, waitForRelease, &release, 0, nullptr);
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
