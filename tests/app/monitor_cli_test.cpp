// kelvane-monitor as a user runs it, against a scripted gateway on loopback.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

// Runs for the given seconds and ends with the disconnect report. Meanwhile
// more than the receive pipe holds arrives at the tunnel at once (80
// datagrams of 1000 bytes that are no frame), then a telegram: the telegram
// is still shown and acknowledged, and the monitor ends on time.
TEST(MonitorCliTest, RunsForItsSecondsThroughAFlood)
{
    ScriptedGateway gateway("127.0.0.41", 3671, ScriptedGateway::Polite(3));
    ASSERT_TRUE(gateway.ok());
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.41\n");
    std::thread flood([&gateway] {
        // After the connect request, and time for its answer to be taken:
        // a telegram before it would be for a channel not yet known.
        if (!gateway.WaitFor(1, 5000)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Bytes connect = gateway.Received()[0].bytes;
        sockaddr_in data = Loopback(connect[20] << 8 | connect[21]);
        for (int i = 0; i < 80; ++i) gateway.SendTo(Bytes(1000, 0xFF), data);
        gateway.SendTo(ParseHex("06 10 04 20 00 15 04 03 07 00 29 00 BC E0 11 05 0A 03 01 00 81"), data);
    });
    RunResult r = RunProgram(folder.Path(), {"2"}, "kelvane-monitor");
    flood.join();
    EXPECT_EQ(r.out,
              "\nconnection ok:\nchannel       3 \nstatus        0 \nIP address    127 0 0 9  \n"
              "data          04 04 11 fa  \n\nrecv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n"
              "disconnected\nchannel      3 \n\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> got;
    for (const Datagram& d : gateway.Received()) got.push_back(HexOf(d.bytes).substr(0, 11));
    EXPECT_EQ(got, (std::vector<std::string>{"06 10 02 05", "06 10 04 21", "06 10 02 09"}));
    EXPECT_EQ(HexOf(gateway.Received().at(1).bytes), "06 10 04 21 00 0A 04 03 07 00");
}

TEST(MonitorCliTest, SettingsErrorsAsTheCommandsSayThem)
{
    struct Case {
        const char* file;
        const char* out;
    } cases[] = {
        {nullptr, "Error: File 'Kelvane.ini' not found\n"},
        // A broadcast connect would let any gateway answer.
        {"[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=localhost\n",
         "Error: Invalid gateway address 'localhost'\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        ASSERT_TRUE(folder.Ok());
        if (c.file) folder.Write("Kelvane.ini", c.file);
        RunResult r = RunProgram(folder.Path(), {}, "kelvane-monitor");
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exitCode, 0);
    }
}

TEST(MonitorCliTest, SecondsOutOfRangeGiveTheUsageLine)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.42\n");
    for (std::vector<std::string> args :
         {std::vector<std::string>{"abc"}, {"-1"}, {"0"}, {"31536001"}, {"4294968x"}, {"5", "6"}}) {
        RunResult r = RunProgram(folder.Path(), args, "kelvane-monitor");
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, "usage: kelvane-monitor [SECONDS]  (SECONDS: a whole number from 1 to 31536000)\n")
            << args[0];
        EXPECT_EQ(r.exitCode, 2) << args[0];
    }
}
