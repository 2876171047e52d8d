#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

const std::string kConfig = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=";

// 80 datagrams of 1000 bytes that are no frame (more than the receive pipe holds), then a telegram once
// the connect's answer was taken (before it, it is for an unknown channel): the telegram is shown and
// acknowledged, and the run ends on time with the disconnect report.
TEST(MonitorCliTest, RunsForItsSecondsThroughAFlood)
{
    ScriptedGateway gateway("127.0.0.41", 3671, ScriptedGateway::Polite(3));
    TempFolder folder;
    folder.Write("Kelvane.ini", kConfig + "127.0.0.41\n");
    std::thread flood([&gateway] {
        if (!gateway.WaitFor(1, 5000)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sockaddr_in data = Loopback(gateway.Received()[0].bytes[20] << 8 | gateway.Received()[0].bytes[21]);
        for (int i = 0; i < 80; ++i) gateway.SendTo(Bytes(1000, 0xFF), data);
        gateway.SendTo(ParseHex("06 10 04 20 00 15 04 03 07 00 29 00 BC E0 11 05 0A 03 01 00 81"), data);
    });
    RunResult r = RunProgram(folder.Path(), {"2"}, "kelvane-monitor");
    flood.join();
    EXPECT_EQ(r.out + r.err,
              "\nconnection ok:\nchannel       3 \nstatus        0 \nIP address    127 0 0 9  \n"
              "data          04 04 11 fa  \n\nrecv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n"
              "disconnected\nchannel      3 \n\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(gateway.Received().size(), 3u) << "connect, acknowledgement, disconnect";
    EXPECT_EQ(HexOf(gateway.Received().at(1).bytes), "06 10 04 21 00 0A 04 03 07 00");
}

TEST(MonitorCliTest, GatewayCheckedAndArgumentsOutOfRangeGiveTheUsageLine)
{
    const char* usage = "usage: kelvane-monitor [SECONDS]  (SECONDS: a whole number from 1 to 31536000)\n";
    const std::tuple<const char*, std::vector<std::string>, std::string, int> cases[] = {
        {"localhost", {}, "Error: Invalid gateway address 'localhost'\n", 0},
        {"127.0.0.42", {"abc"}, usage, 2}, {"127.0.0.42", {"5", "6"}, usage, 2},
    };
    for (const auto& [gateway, args, line, exitCode] : cases) {
        TempFolder folder;
        folder.Write("Kelvane.ini", kConfig + gateway + "\n");
        RunResult r = RunProgram(folder.Path(), args, "kelvane-monitor");
        EXPECT_EQ(std::make_tuple(r.out, r.err, r.exitCode),
                  std::make_tuple(exitCode ? "" : line, exitCode ? line : "", exitCode));
    }
}
