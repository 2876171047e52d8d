// `kelvane send` as a user runs it, seen from the gateway's side: the frames
// on the wire byte for byte, and the lines when the local address cannot be
// bound. Run against the Windows build under Wine as well (scripts/windows.sh).
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

RunResult Send(const char* local, const char* gateway, std::vector<std::string> args)
{
    TempFolder folder;
    if (!folder.Ok()) return RunResult();
    folder.Write("Kelvane.ini", std::string("[CONFIG]\nMY-OWN-IP-ADDRESS=") + local +
                                    "\nGATEWAY-IP-ADDRESS=" + gateway + "\nDEBUG-LEVEL=0\n");
    return RunProgram(folder.Path(), args);
}

std::string PortBytes(const Datagram& d)
{
    const unsigned port = ntohs(d.from.sin_port);
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X", port >> 8, port & 0xFF);
    return text;
}

}  // namespace

TEST(SendWireCliTest, ConnectWriteDisconnectByteForByte)
{
    ScriptedGateway gateway("127.0.0.29", 3671, ScriptedGateway::Polite(0xC8));
    ASSERT_TRUE(gateway.ok());
    RunResult r = Send("127.0.0.1", "127.0.0.29", {"send", "1/2/3", "EIS6", "200"});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.exitCode, 0);
    ASSERT_TRUE(gateway.WaitFor(3, 2000));
    const std::vector<Datagram> got = gateway.Received();
    ASSERT_EQ(got.size(), 3u);
    // Each request names the endpoint it leaves from: control, data, control.
    const std::string control = PortBytes(got[0]), data = PortBytes(got[1]);
    EXPECT_NE(control, data);
    EXPECT_EQ(HexOf(got[0].bytes), "06 10 02 05 00 1A 08 01 7F 00 00 01 " + control + " 08 01 7F 00 00 01 " +
                                       data + " 04 04 02 00");
    EXPECT_EQ(HexOf(got[1].bytes), "06 10 04 20 00 16 04 C8 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8");
    EXPECT_EQ(HexOf(got[2].bytes), "06 10 02 09 00 10 C8 00 08 01 7F 00 00 01 " + control);
    EXPECT_EQ(PortBytes(got[2]), control);
}

TEST(SendWireCliTest, AddressNotThisHostsIsReportedByBothSockets)
{
    ScriptedGateway gateway("127.0.0.30", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(gateway.ok());
    RunResult r = Send("192.0.2.1", "127.0.0.30", {"send", "1/2/3", "EIS1", "1"});
    EXPECT_EQ(r.out, "error bind WSAEADDRNOTAVAIL \nerror bind WSAEADDRNOTAVAIL \n");
    EXPECT_EQ(r.exitCode, 0);
}
