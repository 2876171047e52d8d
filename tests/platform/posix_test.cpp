// The POSIX stand-ins: the errno-to-Windows-Sockets table and a thread's wait.
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

// A thread's handle is set once the thread has ended, not before (the endpoint's stop waits on it).
TEST(Winbase, ThreadHandleIsSetAtItsEnd)
{
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return Sleep(200), 0; }, nullptr, 0, nullptr);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 3000));
    CloseHandle(thread);
}
