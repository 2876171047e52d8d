// kelvane-monitor as a user runs it, against a scripted gateway on loopback.
#include <gtest/gtest.h>

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

TEST(MonitorCliTest, SettingsErrorsAsTheCommandsSayThem)
{
    struct Case {
        const char* file;
        const char* out;
    } cases[] = {
        {nullptr, "Error: File 'Kelvane.ini' not found\n"},
        {"[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.41\n", "Error: Invalid 'My-Own-IP-Address'\n"},
        {"[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n", "Error: Invalid 'GateWay-IP-Address'\n"},
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
