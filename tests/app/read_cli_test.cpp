// kelvane-read as a user runs it, against scripted gateways on loopback: the answer alone on
// stdout among other telegrams, every other outcome one line on stderr with its exit code.
#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

TEST(ReadCliTest, AnswerOnStdoutAndEachFailureInOneLineOnStderr)
{
    // Before the answer: the read's confirmation, a response from another address, a write to 1/2/3.
    ScriptedGateway answering("127.0.0.61", 3671, [](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) != 0x0420) return ScriptedGateway::Polite(3)(request);
        const std::string head = "06 10 04 20 00 15 04 03 ";
        return {TunnellingAck(3, request[8]), ParseHex(head + "00 00 2E 00 BC E0 00 00 0A 03 01 00 00"),
                ParseHex(head + "01 00 29 00 BC E0 11 05 0A 04 01 00 41"),
                ParseHex(head + "02 00 29 00 BC E0 11 05 0A 03 01 00 81"),
                ParseHex("06 10 04 20 00 17 04 03 03 00 29 00 BC E0 11 06 0A 03 03 00 40 0C 33")};
    });
    ScriptedGateway refusing("127.0.0.62", 3671,
                             [](const Bytes&) { return std::vector<Bytes>{ConnectResponse(0, 0x24)}; });
    ScriptedGateway silent("127.0.0.63", 3671, ScriptedGateway::Silent());
    ScriptedGateway polite("127.0.0.64", 3671, ScriptedGateway::Polite(3));
    const char* usage =
        "usage: kelvane-read GA [SECONDS]  (SECONDS: a whole number from 1 to 60, default 2)\n";
    const std::tuple<const char*, std::vector<std::string>, const char*, int> cases[] = {
        {"127.0.0.61", {"#0A03"}, "recv GA: L_DATA.ind  1.1.6  1/2/3  (3) : 21.5\n", 0},
        {"", {}, usage, 2},
        {"", {"1/2/3", "61"}, usage, 2},
        {"", {"1/2/3", "2", "3"}, usage, 2},
        {"", {"1/2/3"}, "Error: File 'Kelvane.ini' not found\n", 2},
        {"x", {"1/2/300"}, "Error: Invalid group address '1/2/300'\n", 2},
        {"localhost", {"1/2/3"}, "Error: Invalid gateway address 'localhost'\n", 2},
        {"127.0.0.62", {"1/2/3"}, "connect failed: refused with status 36\n", 2},
        {"127.0.0.63", {"1/2/3"}, "connect failed: no answer from the gateway\n", 2},
        {"127.0.0.64", {"1 2 3", "1"}, "no answer from 1/2/3 within 1 s\n", 1},
    };
    const std::string config = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nDEBUG-LEVEL=2\nGATEWAY-IP-ADDRESS=";
    for (const auto& [gateway, args, line, exitCode] : cases) {
        TempFolder folder;
        if (*gateway) folder.Write("Kelvane.ini", config + gateway + "\n");
        RunResult r = RunProgram(folder.Path(), args, "kelvane-read");
        EXPECT_EQ(std::make_tuple(r.out, r.err, r.exitCode),
                  std::make_tuple(exitCode ? "" : line, exitCode ? line : "", exitCode));
    }
    answering.WaitFor(7, 2000);  // the last datagrams may still be on their way
    std::vector<std::string> got;
    for (const Datagram& d : answering.Received()) got.push_back(HexOf(d.bytes));
    ASSERT_EQ(got.size(), 7u);  // connect, read, 4 acknowledgements, disconnect
    for (const std::string sequence : {"00", "01", "02", "03"})
        EXPECT_EQ(std::count(got.begin(), got.end(), "06 10 04 21 00 0A 04 03 " + sequence + " 00"), 1);
}
