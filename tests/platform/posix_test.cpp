// The POSIX stand-ins: the errno-to-Windows-Sockets table.
#include <errno.h>
#include <gtest/gtest.h>

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
