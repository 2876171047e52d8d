// The programs as a user runs them, against scripted gateways on loopback: output, exit code, frames sent.
#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <regex>

#include "tests/support/RunProgram.h"
#include "platform/winbase.h"
#include "tests/support/ScriptedGateway.h"

static std::string Config(const std::string& gateway, const std::string& more = "")
{
    return "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=" + gateway + "\n" + more;
}

static std::string PortBytes(const Datagram& d)  // the sender's port as a frame names it
{
    return HexOf({std::uint8_t(ntohs(d.from.sin_port) >> 8), std::uint8_t(ntohs(d.from.sin_port))});
}

// Every outcome of a program but a monitor's run with telegrams: standard output, a failure's one line on
// standard error, the exit status. Commands stopped before the gateway send it nothing. A send's frames byte
// for byte: each names the endpoint it leaves from (control, data, control); channel 200 stays unsigned.
TEST(CliTest, OneLinePerOutcome)
{
    ScriptedGateway untouched("127.0.0.37", 3671, ScriptedGateway::Polite(1)),
        frames("127.0.0.27", 3671, ScriptedGateway::Polite(0xC8));
    // Before the answer, which stands alone at level 2: the read's confirmation, a response from another
    // address, a write to 1/2/3.
    ScriptedGateway answering("127.0.0.61", 3671, [](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) != 0x0420) return ScriptedGateway::Polite(3)(request);
        const std::string head = "06 10 04 20 00 15 04 03 ";
        return {TunnellingAck(3, request[8]), ParseHex(head + "00 00 2E 00 BC E0 00 00 0A 03 01 00 00"),
                ParseHex(head + "01 00 29 00 BC E0 11 05 0A 04 01 00 41"),
                ParseHex(head + "02 00 29 00 BC E0 11 05 0A 03 01 00 81"),
                ParseHex("06 10 04 20 00 17 04 03 03 00 29 00 BC E0 11 06 0A 03 03 00 40 0C 33")};
    });
    const auto unacknowledged = [](const Bytes& r) {
        return ServiceType(r) == 0x0420 ? std::vector<Bytes>() : ScriptedGateway::Polite(3)(r);
    };
    ScriptedGateway refusing("127.0.0.62", 3671, [](const Bytes&) { return std::vector<Bytes>{ConnectResponse(0, 0x24)}; }),
        silent("127.0.0.63", 3671, nullptr), polite("127.0.0.64", 3671, ScriptedGateway::Polite(3)),
        unacknowledging("127.0.0.65", 3671, unacknowledged), distant("127.0.0.66", 3671, ScriptedGateway::Polite(3));
    distant.SetDelay(300);
    const char *send = "kelvane", *monitor = "kelvane-monitor", *read = "kelvane-read";
    const char* usage = "Kelvane\n  Kommandos:\n  - search : suche nach EIB/KNX Gateway\n  - send GA Type Value : sende GruppenAdresse\n";
    const std::string monitorUsage = "usage: kelvane-monitor [SECONDS]  (SECONDS: a whole number from 1 to 31536000)\n",
                      readUsage = "usage: kelvane-read GA [TYPE] [SECONDS]  (TYPE: EIS1 to EIS15; SECONDS: a whole number "
                                  "from 1 to 60, default 2)\n",
                      good = Config("127.0.0.37"), bad = Config("localhost"), trace = "DEBUG-LEVEL=2\n",
                      noFile = "Error: File 'Kelvane.ini' not found\n", badGateway = "Error: Invalid gateway address 'localhost'\n",
                      settings = "settings: ", operand = "send refused: an operand or the gateway address is invalid\n";
    const std::regex stamp("\nbuild [A-Z][a-z]{2} [ 0-9]\\d \\d{4} (\\d\\d:){2}\\d\\d\n");  // the build's date and time
    const std::string banner = "Kelvane Version v03\nbuild\n\n", addresses = "using my IP address   127.0.0.1\n"
                                                                           "using Gateway address 127.0.0.27\n";
    const std::vector<std::string> write = {"send", "1/2/3", "EIS1", "1"}, any = {"sEnD", "#0A03", "Eis6", "+200", "x"};
    // Program, Kelvane.ini, arguments; standard output, standard error, exit status.
    using Row = std::tuple<const char*, std::string, std::vector<std::string>, std::string, std::string, int>;
    const Row rows[] = {
        {send, "", {}, usage, "", 0}, {send, "", {"search"}, noFile, settings + "Kelvane.ini not found\n", 2},
        // The lines of each level, the operands in any case and form. The addresses as the socket library
        // understood them: 127.1 in full, abc as no address, to which neither socket binds.
        {send, "[CONFIG]\nMY-OWN-IP-ADDRESS=abc\nGATEWAY-IP-ADDRESS=127.1\nDEBUG-LEVEL=1\n", any, banner + "using my IP "
            "address   255.255.255.255\nusing Gateway address 127.0.0.1\nerror bind WSAEADDRNOTAVAIL \nerror bind "
            "WSAEADDRNOTAVAIL \n", "connect failed: no answer from the gateway\n", 3},
        {send, Config("127.0.0.27", "DEBUG-LEVEL=1\n"), any, banner + addresses, "", 0},
        {send, Config("127.0.0.27", trace), any, banner + "Ostrel starts..\n" + addresses + "SendGA ch=200 seq=1 value=200\n", "", 0},
        {send, good, {"searchx"}, "", "usage: unknown command 'searchx'\n", 2},
        {send, good, {" send", "1/2/3", "EIS1", "1"}, "", "usage: unknown command ' send'\n", 2},
        {send, "[CONFIG]\n", {"search"}, "Error: Invalid 'My-Own-IP-Address'\n", settings + "MY-OWN-IP-ADDRESS missing\n", 2},
        {send, Config(""), {"search"}, "Error: Invalid 'GateWay-IP-Address'\n", settings + "GATEWAY-IP-ADDRESS missing\n", 2},
        {send, good, {"SEND", "1/2/3", "EIS1"}, "nicht gen\x81gend Parameter\n", "usage: too few operands for send\n", 2},
        // The first check that fails speaks, in the order of the operands; the gateway comes last.
        {send, bad, {"send", "1/2/300", "EIS1", "64"}, "Error: Invalid group address '1/2/300'\n", operand, 2},
        {send, bad, {"send", "1/2/3", "EIS1", "64"}, "Error: Invalid value '64'\n", operand, 2},
        {send, bad, write, badGateway, operand, 2},
        {send, Config("127.0.0.64"), {"send", "1/2/3", "EIS16", "1"}, "EIS-Type not supported\n", "send failed: type not supported\n", 2},
        // The gateway refuses, is silent (nothing but the connect goes, repeated), never acknowledges the write
        // (repeated with its sequence number, then the channel closed), or answers everything 300 ms late.
        {send, Config("127.0.0.62"), write, "", "connect failed: refused with status 36\n", 3},
        {send, Config("127.0.0.63"), write, "", "connect failed: no answer from the gateway\n", 3},
        {send, Config("127.0.0.65"), write, "", "write failed: no acknowledgement from the gateway\n", 3},
        {send, Config("127.0.0.66"), write, "", "", 0},
        {monitor, bad, {}, badGateway, "", 0},
        {monitor, good, {"abc"}, "", monitorUsage, 2}, {monitor, good, {"5", "6"}, "", monitorUsage, 2},
        {monitor, Config("127.0.0.66"), {"1"}, "\nconnection ok:\nchannel       3 \nstatus        0 \nIP address    "
            "127 0 0 9  \ndata          04 04 11 fa  \n\ndisconnected\nchannel      3 \n\n", "", 0},
        {monitor, Config("127.0.0.63"), {"6"}, "connect failed: no answer; next try in 1 s\n", "no gateway answered\n", 0},
        {read, Config("127.0.0.61", trace), {"#0A03"}, "recv GA: L_DATA.ind  1.1.6  1/2/3  (3) : 21.5\n", "", 0},
        // A type, before or after SECONDS: the value alone, or why the answer is none.
        {read, Config("127.0.0.61"), {"1/2/3", "eis5"}, "21.5\n", "", 0},
        {read, Config("127.0.0.61"), {"1/2/3", "3", "EIS9"}, "", "answer from 1/2/3 does not fit EIS9: 40 0c 33\n", 1},
        {read, "", {"1/2/3", "EIS16"}, "", readUsage, 2}, {read, "", {"1/2/3", "EIS5", "eis6"}, "", readUsage, 2},
        {read, "", {}, "", readUsage, 2}, {read, "", {"1/2/3", "61"}, "", readUsage, 2},
        {read, "", {"1/2/3"}, "", noFile, 2}, {read, bad, {"1/2/3"}, "", badGateway, 2},
        {read, Config("x"), {"1/2/300"}, "", "Error: Invalid group address '1/2/300'\n", 2},
        {read, Config("127.0.0.62", trace), {"1/2/3"}, "", "connect failed: refused with status 36\n", 2},
        {read, Config("127.0.0.63", trace), {"1/2/3"}, "", "connect failed: no answer from the gateway\n", 2},
        {read, Config("127.0.0.64", trace), {"1 2 3", "1"}, "", "no answer from 1/2/3 within 1 s\n", 1},
    };
    // The runs that wait for a slow or silent gateway run beside the others; one at a time under Wine, whose
    // server loses its clients when several programs start at once.
    std::vector<std::future<RunResult>> runs;
    for (const Row& row : rows) {
        const std::string& ini = std::get<1>(row);
        const bool slow = (ini.find("127.0.0.6") != std::string::npos || ini.find("=abc") != std::string::npos) &&
                          !std::getenv("KELVANE_WINE");
        runs.push_back(std::async(slow ? std::launch::async : std::launch::deferred,
                                  [&row] { return RunProgram(std::get<1>(row), std::get<2>(row), std::get<0>(row)); }));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto& [name, ini, args, out, err, exitCode] = rows[i];
        if (std::getenv("KELVANE_WINE") && ini.find("=abc") != std::string::npos) continue;  // Wine binds any address
        const RunResult r = runs[i].get();
        const std::string shown = std::regex_replace(r.out, stamp, "\nbuild\n");
        EXPECT_EQ(std::make_tuple(shown, r.err, r.exitCode), std::make_tuple(out, err, exitCode)) << name << testing::PrintToString(args);
    }
    EXPECT_FALSE(untouched.WaitFor(1, 300)) << "nothing reaches the gateway";
    answering.WaitFor(36, 2000);  // the last datagrams may still be on their way
    EXPECT_EQ(answering.Received().size(), 36u) << "3 times connect, read, 4 acks twice, disconnect twice";
    EXPECT_EQ(refusing.Received().size(), 2u) << "a connect each from the send and the read";
    EXPECT_EQ(silent.CountOf(0x0205), silent.Received().size()) << "nothing but connects";
    EXPECT_EQ(distant.CountOf(0x0205), 2u) << "a connect each from the send and the monitor, none repeated";
    std::vector<Datagram> got = unacknowledging.Received();
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(HexOf(got[1].bytes) + PortBytes(got[1]), HexOf(got[4].bytes) + PortBytes(got[4])) << "the same write";
    EXPECT_EQ(ServiceType(got[5].bytes), 0x0209);
    EXPECT_EQ(got[5].bytes, got[6].bytes) << "the disconnect, twice at once";
    ASSERT_TRUE(frames.WaitFor(8, 2000));
    got = frames.Received();
    got.erase(got.begin(), got.end() - 4);  // the frames of the run at level 2
    const std::string control = PortBytes(got[0]), data = PortBytes(got[1]);
    EXPECT_NE(control, data);
    EXPECT_EQ(HexOf(got[0].bytes), "06 10 02 05 00 1A 08 01 7F 00 00 01 " + control + " 08 01 7F 00 00 01 " + data + " 04 04 02 00");
    EXPECT_EQ(HexOf(got[1].bytes), "06 10 04 20 00 16 04 C8 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8");
    EXPECT_EQ(HexOf(got[2].bytes) + PortBytes(got[2]), "06 10 02 09 00 10 C8 00 08 01 7F 00 00 01 " + control + control);
}

#ifndef _WIN32
// SIGTERM ends the read as Ctrl-C ends the monitor (programs_knxd_test.sh): the tunnel disconnected first.
TEST(SignalCliTest, ReadDisconnectsBeforeItEnds)
{
    if (std::getenv("KELVANE_WINE")) GTEST_SKIP() << "signals reach Wine's loader, not the program";
    ScriptedGateway gateway("127.0.0.67", 3671, ScriptedGateway::Polite(3));
    const RunResult r = RunProgram(Config("127.0.0.67"), {"1/2/3", "60"}, "kelvane-read", [&](int pid) {
        gateway.WaitFor(2, 3000), Sleep(100);  // open, and its request out, before the signal
        kill(pid, SIGTERM);
    });
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    ASSERT_FALSE(gateway.Received().empty());
    EXPECT_EQ(ServiceType(gateway.Received().back().bytes), 0x0209) << "the disconnect came last";
}
#endif
