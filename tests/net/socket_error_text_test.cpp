#include <gtest/gtest.h>

#include <string>

#include "net/SocketErrorText.h"

TEST(SocketErrorTextTest, Table)
{
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {10004, "WSAEINTR         "},
        {10013, "WSAEACCES        "},
        {10022, "WSAEINVAL        "},
        {10035, "WSAEWOULDBLOCK   "},
        {10049, "WSAEADDRNOTAVAIL "},
        {10054, "WSAECONNRESET    "},
        {10060, "WSAETIMEDOUT     "},
        {10061, "connection refused"},
        {10065, "WSAEHOSTUNREACH  "},
        {10093, "WSANOTINITIALISED"},
        {99000, "cannot reach (ping) host"},
        // Codes between and around the rows.
        {10048, "undefined socket error"},
        {10003, "undefined socket error"},
        {10005, "undefined socket error"},
        {10056, "undefined socket error"},
        {10066, "undefined socket error"},
        {10094, "undefined socket error"},
        {98999, "undefined socket error"},
        {0, "undefined socket error"},
        {-1, "undefined socket error"},
        {-10049, "undefined socket error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string(SocketErrorText(c.code)), c.text) << "code " << c.code;
    }
}
