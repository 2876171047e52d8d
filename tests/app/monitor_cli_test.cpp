// kelvane-monitor as a user runs it, against a scripted gateway on loopback.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include <thread>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

TEST(MonitorCliTest, RunsForTheGivenSecondsThenDisconnects)
{
    ScriptedGateway gateway("127.0.0.41", 3671, ScriptedGateway::Polite(3));
    ASSERT_TRUE(gateway.ok());
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.41\n");
    RunResult r = RunProgram(folder.Path(), {"1"}, "kelvane-monitor");
    EXPECT_EQ(r.out,
              "\nconnection ok:\nchannel       3 \nstatus        0 \nIP address    127 0 0 9  \n"
              "data          04 04 11 fa  \n\ndisconnected\nchannel      3 \n\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
    std::vector<Datagram> got = gateway.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(ServiceType(got[0].bytes), 0x0205);
    EXPECT_EQ(ServiceType(got[1].bytes), 0x0209);
}

// More than the receive pipe holds arrives at the tunnel at once (80
// datagrams of 1000 bytes that are no frame), then a telegram: the telegram
// is still shown and acknowledged, and the monitor ends on time.
TEST(MonitorCliTest, AFloodHoldsUpNeitherTelegramsNorTheEnd)
{
    ScriptedGateway gateway("127.0.0.42", 3671, ScriptedGateway::Polite(3));
    ASSERT_TRUE(gateway.ok());
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.42\n");
    std::thread flood([&gateway] {
        if (!gateway.WaitFor(1, 5000)) return;
        const Bytes connect = gateway.Received()[0].bytes;
        sockaddr_in data{};
        data.sin_family = AF_INET;
        data.sin_addr.s_addr = inet_addr("127.0.0.1");
        data.sin_port = htons(static_cast<std::uint16_t>(connect[20] << 8 | connect[21]));
        for (int i = 0; i < 80; ++i) gateway.SendTo(Bytes(1000, 0xFF), data);
        gateway.SendTo(ParseHex("06 10 04 20 00 15 04 03 07 00 29 00 BC E0 11 05 0A 03 01 00 81"), data);
    });
    RunResult r = RunProgram(folder.Path(), {"1"}, "kelvane-monitor");
    flood.join();
    EXPECT_NE(r.out.find("\nrecv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("disconnected\nchannel      3 \n\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.exitCode, 0);
    bool acknowledged = false;
    for (const Datagram& d : gateway.Received())
        acknowledged |= HexOf(d.bytes) == "06 10 04 21 00 0A 04 03 07 00";
    EXPECT_TRUE(acknowledged);
}

TEST(MonitorCliTest, SettingsErrorsAsTheCommandsSayThem)
{
    struct Case {
        const char* file;
        const char* out;
    } cases[] = {
        {nullptr, "Error: File 'Kelvane.ini' not found\n"},
        {"[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.41\n", "Error: Invalid 'My-Own-IP-Address'\n"},
        {"[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n", "Error: Invalid 'GateWay-IP-Address'\n"},
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
