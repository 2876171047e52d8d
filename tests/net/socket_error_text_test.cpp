#include <gtest/gtest.h>

#include "net/SocketErrorText.h"

// The padded WSA names, the two unpadded texts, and codes between and around the rows (nullptr).
TEST(SocketErrorTextTest, Table)
{
    const std::pair<int, const char*> cases[] = {{10004, "WSAEINTR         "}, {10022, "WSAEINVAL        "},
        {10049, "WSAEADDRNOTAVAIL "}, {10054, "WSAECONNRESET    "}, {10061, "connection refused"},
        {10093, "WSANOTINITIALISED"}, {99000, "cannot reach (ping) host"}, {10048, nullptr}, {10003, nullptr},
        {10094, nullptr}, {0, nullptr}, {-10049, nullptr}};
    for (auto [code, text] : cases)
        EXPECT_EQ(SocketErrorText(code), text ? text : "undefined socket error") << code;
}
