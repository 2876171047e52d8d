// The errno-to-Windows-Sockets table, and the bind that refuses 255.255.255.255.
#include <errno.h>

#include <gtest/gtest.h>

#include "platform/wsock.h"

TEST(WsockErrors, SystemErrorsMapToWindowsSocketsCodes)
{
    // errno, then its code
    const int cases[] = {
        EADDRNOTAVAIL, 10049, EADDRINUSE,   10048, EACCES,       10013, EPERM,    10013, EINVAL,   10022,
        EINTR,         10004, EFAULT,       10014, EAGAIN,       10035, ENOTSOCK, 10038, EMSGSIZE, 10040,
        EAFNOSUPPORT,  10047, ENETUNREACH,  10051, ECONNRESET,   10054, ENOBUFS,  10055, ENOMEM,   10055,
        ETIMEDOUT,     10060, ECONNREFUSED, 10061, EHOSTUNREACH, 10065, 0,        0,     ENOENT,   ENOENT};
    for (size_t i = 0; i < std::size(cases); i += 2) {
        EXPECT_EQ(cases[i + 1], WsaErrorFromErrno(cases[i])) << "errno " << cases[i];
        errno = cases[i];
        EXPECT_EQ(cases[i + 1], WSAGetLastError()) << "errno " << cases[i];
    }
}

TEST(WsockBind, AllOnesAddressIsRefusedAsNotThisHosts)
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("abc");  // no address: all bits set
    EXPECT_EQ(win::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), 10049);
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(win::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    closesocket(s);
}
