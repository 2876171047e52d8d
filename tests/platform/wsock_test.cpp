// The errno-to-Windows-Sockets table, and the receive that reports a
// datagram too long for its buffer, and the bind that refuses 255.255.255.255.
#include <errno.h>
#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

#include "platform/wsock.h"

namespace {

TEST(WsockErrors, SystemErrorsMapToWindowsSocketsCodes)
{
    struct Case {
        int error;
        const char* name;
        int code;
    };
#define CASE(error, code)   \
    {                       \
        error, #error, code \
    }
    const Case cases[] = {
        CASE(EADDRNOTAVAIL, 10049), CASE(EADDRINUSE, 10048),
        CASE(EACCES, 10013),        CASE(EPERM, 10013),
        CASE(EINVAL, 10022),        CASE(EINTR, 10004),
        CASE(EFAULT, 10014),        CASE(EAGAIN, 10035),
        CASE(ENOTSOCK, 10038),      CASE(EMSGSIZE, 10040),
        CASE(EAFNOSUPPORT, 10047),  CASE(ENETUNREACH, 10051),
        CASE(ECONNRESET, 10054),    CASE(ENOBUFS, 10055),
        CASE(ENOMEM, 10055),        CASE(ETIMEDOUT, 10060),
        CASE(ECONNREFUSED, 10061),  CASE(EHOSTUNREACH, 10065),
        {0, "no error", 0},         {ENOENT, "ENOENT (no counterpart)", ENOENT},
    };
#undef CASE
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, WsaErrorFromErrno(c.error)) << c.name;
        errno = c.error;
        EXPECT_EQ(c.code, WSAGetLastError()) << c.name;
    }
}

}  // namespace

TEST(WsockBind, AllOnesAddressIsRefusedAsNotThisHosts)
{
    SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(s, INVALID_SOCKET);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("abc");  // no address: all bits set
    EXPECT_EQ(win::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), 10049);
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    EXPECT_EQ(win::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    closesocket(s);
}
