// The real program, run in a fresh folder: exact output bytes and exit code.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

const char kComplete[] = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.37\n";

void Expect(const char* file, const std::vector<std::string>& args, const std::string& out)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    if (file) folder.Write("Kelvane.ini", file);
    RunResult r = RunProgram(folder.Path(), args);
    EXPECT_EQ(r.out, out) << testing::PrintToString(args);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace

TEST(CliTest, NoArgumentPrintsUsageWithoutReadingTheFile)
{
    for (const char* file : {static_cast<const char*>(nullptr), "[CONFIG]\nDEBUG-LEVEL=1\n"})
        Expect(file, {}, "Kelvane\n  Kommandos:\n  - search : suche nach EIB/KNX Gateway\n"
                         "  - send GA Type Value : sende GruppenAdresse\n");
}

// Commands that stop in the dispatcher or at a refused operand: nothing
// reaches the network.
TEST(CliTest, DispatcherLines)
{
    ScriptedGateway gateway("127.0.0.37", 3671, ScriptedGateway::Polite(1));
    ASSERT_TRUE(gateway.ok());
    const std::tuple<const char*, std::vector<std::string>, const char*> cases[] = {
        {nullptr, {"search"}, "Error: File 'Kelvane.ini' not found\n"},
        {nullptr, {"send", "1/2/3", "EIS1", "1"}, "Error: File 'Kelvane.ini' not found\n"},
        {"[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.37\n", {"search"}, "Error: Invalid 'My-Own-IP-Address'\n"},
        {"[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\n", {"search"}, "Error: Invalid 'GateWay-IP-Address'\n"},
        {kComplete, {"SEND", "1/2/3"}, "nicht gen\x81gend Parameter\n"},
        {kComplete, {"help"}, ""},
        {kComplete, {"send", "1/2/3", "EIS1", "64"}, "Error: Invalid value '64'\n"},
        {kComplete, {"send", "a/b/c", "EIS1", "1"}, "Error: Invalid group address 'a/b/c'\n"},
    };
    for (const auto& [file, args, out] : cases) Expect(file, args, out);
    EXPECT_FALSE(gateway.WaitFor(1, 300)) << "nothing reaches the gateway";
}

TEST(CliTest, BannerFromLevelOne)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    folder.Write("Kelvane.ini", std::string(kComplete) + "DEBUG-LEVEL=1\n");
    RunResult r = RunProgram(folder.Path(), {"Help"});
    const std::regex banner(
        "Kelvane Version v03\nbuild [A-Z][a-z][a-z] [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n");
    EXPECT_TRUE(std::regex_match(r.out, banner)) << r.out;
}
