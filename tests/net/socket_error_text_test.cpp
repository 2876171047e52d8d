#include <gtest/gtest.h>

#include <string>

#include "net/SocketErrorText.h"

// The padded WSA names, the two unpadded texts, and codes between and around the rows.
TEST(SocketErrorTextTest, Table)
{
    const std::pair<int, const char*> cases[] = {
        {10004, "WSAEINTR         "},        {10022, "WSAEINVAL        "},
        {10049, "WSAEADDRNOTAVAIL "},        {10054, "WSAECONNRESET    "},
        {10061, "connection refused"},       {10093, "WSANOTINITIALISED"},
        {99000, "cannot reach (ping) host"}, {10048, "undefined socket error"},
        {10003, "undefined socket error"},   {10094, "undefined socket error"},
        {0, "undefined socket error"},       {-10049, "undefined socket error"},
    };
    for (const auto& c : cases) EXPECT_EQ(std::string(SocketErrorText(c.first)), c.second) << c.first;
}
