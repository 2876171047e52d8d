// The POSIX stand-ins: the errno-to-Windows-Sockets table and the waits the endpoint relies on.
#include <errno.h>
#include <gtest/gtest.h>

#include "platform/winbase.h"
#include "platform/wsock.h"

TEST(WsockErrors, SystemErrorsMapToWindowsSocketsCodes)
{
    const int cases[][2] = {{EADDRNOTAVAIL, 10049}, {EMSGSIZE, 10040},     {EAGAIN, 10035}, {ENOMEM, 10055},
                            {ENOBUFS, 10055},       {EHOSTUNREACH, 10065}, {0, 0},          {ENOENT, ENOENT}};
    for (const auto& c : cases) {
        errno = c[0];
        EXPECT_EQ(c[1], WSAGetLastError()) << "errno " << c[0];
    }
}

// A wait takes an auto-reset event (the worker's wake-up); a manual one stays set until reset.
TEST(Winbase, WaitsOnThreadsAndEvents)
{
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return Sleep(200), 0; }, nullptr, 0, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 3000));
    CloseHandle(thread);
    for (BOOL manual : {FALSE, TRUE}) {
        HANDLE event = CreateEventA(nullptr, manual, FALSE, nullptr);
        EXPECT_TRUE(SetEvent(event) && SetEvent(event));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
        EXPECT_EQ(manual ? WAIT_OBJECT_0 : WAIT_TIMEOUT, WaitForSingleObject(event, 0)) << manual;
        ResetEvent(event);
        EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 10)) << manual;
        CloseHandle(event);
    }
}
