// kelvane-read as a user runs it, against a scripted gateway on loopback:
// the answer alone on stdout among other telegrams, every other outcome one
// line on stderr with its exit code.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

std::string Config(const char* gateway)
{
    return std::string("[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=") + gateway +
           "\nDEBUG-LEVEL=2\n";
}

// The gateway answers the read with the confirmation of the read, a response
// from another address, a write to the address read, and then the answer.
ScriptedGateway::Script Answering()
{
    return [](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) != 0x0420) return ScriptedGateway::Polite(3)(request);
        const std::string head = "06 10 04 20 00 15 04 03 ";
        return {TunnellingAck(3, request[8]), ParseHex(head + "00 00 2E 00 BC E0 00 00 0A 03 01 00 00"),
                ParseHex(head + "01 00 29 00 BC E0 11 05 0A 04 01 00 41"),
                ParseHex(head + "02 00 29 00 BC E0 11 05 0A 03 01 00 81"),
                ParseHex("06 10 04 20 00 17 04 03 03 00 29 00 BC E0 11 06 0A 03 03 00 40 0C 33")};
    };
}

}  // namespace

TEST(ReadCliTest, PrintsTheAnswerAloneAndAcknowledgesEveryTelegram)
{
    ScriptedGateway gateway("127.0.0.61", 3671, Answering());
    ASSERT_TRUE(gateway.ok());
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", Config("127.0.0.61"));
    RunResult r = RunProgram(folder.Path(), {"#0A03"}, "kelvane-read");
    EXPECT_EQ(r.out, "recv GA: L_DATA.ind  1.1.6  1/2/3  (3) : 21.5\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
    gateway.WaitFor(7, 2000);  // the last datagrams may still be on their way
    std::vector<std::string> got;
    for (const Datagram& d : gateway.Received()) got.push_back(HexOf(d.bytes));
    ASSERT_EQ(got.size(), 7u);  // connect, read, four acknowledgements, disconnect
    EXPECT_EQ(got[1], "06 10 04 20 00 15 04 03 00 00 11 00 8C E0 00 00 0A 03 01 00 00");
    for (const char* sequence : {"00", "01", "02", "03"}) {
        const std::string ack = std::string("06 10 04 21 00 0A 04 03 ") + sequence + " 00";
        EXPECT_EQ(std::count(got.begin(), got.end(), ack), 1) << ack;
    }
    EXPECT_EQ(gateway.CountOf(0x0209), 1u);
}

TEST(ReadCliTest, EachFailureInOneLineOnStderr)
{
    ScriptedGateway refusing("127.0.0.62", 3671, [](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) == 0x0205) return {ConnectResponse(0, 0x24)};
        return {};
    });
    ScriptedGateway silent("127.0.0.63", 3671, ScriptedGateway::Silent());
    ScriptedGateway polite("127.0.0.64", 3671, ScriptedGateway::Polite(3));
    ASSERT_TRUE(refusing.ok() && silent.ok() && polite.ok());
    const char* usage =
        "usage: kelvane-read GA [SECONDS]  (SECONDS: a whole number from 1 to 60, default 2)\n";
    struct Case {
        const char* file;
        std::vector<std::string> args;
        const char* err;
        int exitCode;
    } cases[] = {
        {nullptr, {}, usage, 2},
        {nullptr, {"1/2/3", "61"}, usage, 2},
        {nullptr, {"1/2/3", "0"}, usage, 2},
        {nullptr, {"1/2/3", "2", "3"}, usage, 2},
        {nullptr, {"1/2/3"}, "Error: File 'Kelvane.ini' not found\n", 2},
        {"[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.62\n", {"1/2/3"}, "Error: Invalid 'My-Own-IP-Address'\n", 2},
        {"[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n", {"1/2/3"}, "Error: Invalid 'GateWay-IP-Address'\n", 2},
        {"x", {"1/2/300"}, "Error: Invalid group address '1/2/300'\n", 2},
        {"localhost", {"1/2/3"}, "Error: Invalid gateway address 'localhost'\n", 2},
        {"127.0.0.62", {"1/2/3"}, "connect failed: refused with status 36\n", 2},
        {"127.0.0.63", {"1/2/3"}, "connect failed: no answer from the gateway\n", 2},
        {"127.0.0.64", {"1 2 3", "1"}, "no answer from 1/2/3 within 1 s\n", 1},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        ASSERT_TRUE(folder.Ok());
        if (c.file) folder.Write("Kelvane.ini", c.file[0] == '[' ? std::string(c.file) : Config(c.file));
        RunResult r = RunProgram(folder.Path(), c.args, "kelvane-read");
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.err;
    }
    EXPECT_EQ(polite.CountOf(0x0209), 1u) << "the unanswered read disconnects";
}
