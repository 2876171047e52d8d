#include <gtest/gtest.h>

#include <cerrno>

#include "net/SocketErrorText.h"
#include "platform/wsock.h"

// The padded WSA names, the two unpadded texts, and codes between and around the rows (nullptr).
TEST(SocketErrorTextTest, Table)
{
    const std::pair<int, const char*> cases[] = {{10004, "WSAEINTR         "}, {10022, "WSAEINVAL        "},
        {10049, "WSAEADDRNOTAVAIL "}, {10054, "WSAECONNRESET    "}, {10061, "connection refused"},
        {10093, "WSANOTINITIALISED"}, {99000, "cannot reach (ping) host"}, {10048, nullptr}, {10003, nullptr},
        {10094, nullptr}, {0, nullptr}, {-10049, nullptr}};
    for (auto [code, text] : cases)
        EXPECT_EQ(SocketErrorText(code), text ? text : "undefined socket error") << code;
#ifndef _WIN32  // the system's errors as the stand-ins hand them on; Windows has the codes themselves
    const int errors[][2] = {{EADDRNOTAVAIL, 10049}, {EMSGSIZE, 10040}, {EAGAIN, 10035}, {ENOMEM, 10055},
                             {ENOBUFS, 10055}, {EHOSTUNREACH, 10065}, {0, 0}, {ENOENT, ENOENT}};
    for (const auto& e : errors) {
        errno = e[0];
        EXPECT_EQ(WSAGetLastError(), e[1]) << "errno " << e[0];
    }
#endif
}
