// `kelvane send` as a user runs it, seen from the console and from the
// gateway's side. Run against the Windows build under Wine as well.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

RunResult Send(const char* local, const char* gateway, int level, std::vector<std::string> args)
{
    TempFolder folder;
    if (!folder.Ok()) return RunResult();
    folder.Write("Kelvane.ini", std::string("[CONFIG]\nMY-OWN-IP-ADDRESS=") + local +
                                    "\nGATEWAY-IP-ADDRESS=" + gateway +
                                    "\nDEBUG-LEVEL=" + std::to_string(level) + "\n");
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

// The lines of each verbosity level, and the frames byte for byte: each
// request names the endpoint it leaves from (control, data, control), and
// channel 200 stays unsigned.
TEST(SendCliTest, LinesByLevelAndFramesByteForByte)
{
    const std::string banner =
        "Kelvane Version v03\nbuild [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d\n\n";
    const std::string addresses =
        "using my IP address   127\\.0\\.0\\.1\nusing Gateway address 127\\.0\\.0\\.27\n";
    struct Case {
        int level;
        std::string pattern;
    } cases[] = {
        {-1, ""},
        {0, ""},
        {1, banner + addresses},
        {2, banner + "Ostrel starts\\.\\.\n" + addresses + "SendGA ch=200 seq=1 value=200\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ScriptedGateway gateway("127.0.0.27", 3671, ScriptedGateway::Polite(0xC8));
        RunResult r = Send("127.0.0.1", "127.0.0.27", c.level, {"send", "1/2/3", "EIS6", "200"});
        EXPECT_TRUE(std::regex_match(r.out, std::regex(c.pattern))) << r.out;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
        ASSERT_TRUE(gateway.WaitFor(3, 2000));
        const std::vector<Datagram> got = gateway.Received();
        const std::string control = PortBytes(got[0]), data = PortBytes(got[1]);
        EXPECT_NE(control, data);
        EXPECT_EQ(HexOf(got[0].bytes), "06 10 02 05 00 1A 08 01 7F 00 00 01 " + control +
                                           " 08 01 7F 00 00 01 " + data + " 04 04 02 00");
        EXPECT_EQ(HexOf(got[1].bytes), "06 10 04 20 00 16 04 C8 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8");
        EXPECT_EQ(HexOf(got[2].bytes), "06 10 02 09 00 10 C8 00 08 01 7F 00 00 01 " + control);
        EXPECT_EQ(PortBytes(got[2]), control);
    }
}

// The address lines show what the socket library understood (127.1 in full,
// abc as no address); a local address that is no address of this host is
// refused by the bind of both sockets.
TEST(SendCliTest, AddressLinesAndBindFailures)
{
    ScriptedGateway gateway("127.0.0.28", 3671, ScriptedGateway::Silent());
    RunResult r = Send("abc", "127.1", 1, {"send", "1/2/3", "EIS1", "1"});
    EXPECT_NE(r.out.find("using my IP address   255.255.255.255\nusing Gateway address 127.0.0.1\n"
                         "error bind WSAEADDRNOTAVAIL \nerror bind WSAEADDRNOTAVAIL \n"),
              std::string::npos)
        << r.out;
    r = Send("192.0.2.1", "127.0.0.28", 0, {"send", "1/2/3", "EIS1", "1"});
    EXPECT_EQ(r.out, "error bind WSAEADDRNOTAVAIL \nerror bind WSAEADDRNOTAVAIL \n");
    EXPECT_EQ(r.exitCode, 0);
}
