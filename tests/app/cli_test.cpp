// The real program, run in a fresh folder: exact output bytes and exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

class CliTest : public testing::Test {
protected:
    RunResult Run(const char* configFile, const std::vector<std::string>& args)
    {
        if (configFile) m_folder.Write("Kelvane.ini", configFile);
        return RunProgram(m_folder.Path(), args);
    }
    void SetUp() override { ASSERT_TRUE(m_folder.Ok()); }

    TempFolder m_folder;
};

const char kUsage[] =
    "Kelvane\n"
    "  Kommandos:\n"
    "  - search : suche nach EIB/KNX Gateway\n"
    "  - send GA Type Value : sende GruppenAdresse\n";
const char kComplete[] = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n";

}  // namespace

TEST_F(CliTest, NoArgumentPrintsUsageWithoutReadingTheFile)
{
    for (const char* file : {static_cast<const char*>(nullptr), "[CONFIG]\nDEBUG-LEVEL=1\n"}) {
        RunResult r = Run(file, {});
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
    }
}

// Commands that stop in the dispatcher, so nothing reaches the network.
TEST_F(CliTest, DispatcherLines)
{
    struct Case {
        const char* name;
        const char* file;
        std::vector<std::string> args;
        const char* out;
    };
    const Case cases[] = {
        {"NoFileSearch", nullptr, {"search"}, "Error: File 'Kelvane.ini' not found\n"},
        {"NoFileSend", nullptr, {"send", "1/2/3", "EIS1", "1"}, "Error: File 'Kelvane.ini' not found\n"},
        {"NoLocal",
         "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n",
         {"search"},
         "Error: Invalid 'My-Own-IP-Address'\n"},
        {"NoConfigSection",
         "MY-OWN-IP-ADDRESS=127.0.0.1\n",
         {"send", "1/2/3", "EIS1", "1"},
         "Error: Invalid 'My-Own-IP-Address'\n"},
        {"NoGateway",
         "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n",
         {"search"},
         "Error: Invalid 'GateWay-IP-Address'\n"},
        {"TooFewOperands", kComplete, {"send", "1/2/3", "EIS1"}, "nicht gen\x81gend Parameter\n"},
        {"TooFewOperandsUpperCase", kComplete, {"SEND"}, "nicht gen\x81gend Parameter\n"},
        {"TooFewOperandsMixedCase",
         "[CONFIG]\r\nMY-OWN-IP-ADDRESS=127.0.0.1\r\nGATEWAY-IP-ADDRESS=127.0.0.2\r\n",
         {"sEnD", "1/2/3"},
         "nicht gen\x81gend Parameter\n"},
        {"OtherWord", kComplete, {"help"}, ""},
        {"RefusedValue", kComplete, {"send", "1/2/3", "EIS1", "64"}, "Error: Invalid value '64'\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((m_folder.Path() + "/Kelvane.ini").c_str());
        RunResult r = Run(c.file, c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.exitCode, 0);
    }
}

TEST_F(CliTest, BannerFromLevelOne)
{
    RunResult r =
        Run("[CONFIG]\r\nMY-OWN-IP-ADDRESS=127.0.0.1\r\nGATEWAY-IP-ADDRESS=127.0.0.2\r\nDEBUG-LEVEL=1\r\n",
            {"Help"});
    const std::regex banner(
        "Kelvane Version v03\nbuild [A-Z][a-z][a-z] [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n");
    EXPECT_TRUE(std::regex_match(r.out, banner)) << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
}

// A refused operand stops the send before anything is opened or sent.
TEST_F(CliTest, RefusedOperandsSendNothing)
{
    ScriptedGateway gateway("127.0.0.37", 3671, ScriptedGateway::Polite(1));
    ASSERT_TRUE(gateway.ok());
    const char* file = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.37\n";
    for (const char* group : {"a/b/c", "1/2/300"}) {
        RunResult r = Run(file, {"send", group, "EIS1", "1"});
        EXPECT_EQ(r.out, std::string("Error: Invalid group address '") + group + "'\n");
    }
    EXPECT_FALSE(gateway.WaitFor(1, 300)) << "nothing reaches the gateway";
}
