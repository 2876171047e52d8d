// `kelvane send` as a user runs it, against a scripted gateway on loopback:
// which lines each verbosity level shows, and in what order.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/RunProgram.h"
#include "tests/support/ScriptedGateway.h"
#include "tests/support/TempFolder.h"

namespace {

std::string ConfigAtLevel(int level)
{
    return "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.27\nDEBUG-LEVEL=" +
           std::to_string(level) + "\n";
}

}  // namespace

TEST(SendCliTest, LinesByVerbosityLevel)
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
        {2, banner + "Ostrel starts\\.\\.\n" + addresses + "SendGA ch=7 seq=1 value=1\n"},
    };
    for (const Case& c : cases) {
        ScriptedGateway gateway("127.0.0.27", 3671, ScriptedGateway::Polite(7));
        ASSERT_TRUE(gateway.ok());
        TempFolder folder;
        ASSERT_TRUE(folder.Ok());
        folder.Write("Kelvane.ini", ConfigAtLevel(c.level));
        RunResult r = RunProgram(folder.Path(), {"send", "1/2/3", "EIS1", "1"});
        EXPECT_TRUE(std::regex_match(r.out, std::regex(c.pattern))) << "level " << c.level << ":\n" << r.out;
        EXPECT_EQ(r.err, "") << "level " << c.level;
        EXPECT_EQ(r.exitCode, 0) << "level " << c.level;
        EXPECT_TRUE(gateway.WaitFor(3, 2000)) << "level " << c.level << ": connect, write and disconnect";
    }
}

TEST(SendCliTest, AddressLinesShowWhatTheSocketLibraryUnderstood)
{
    ScriptedGateway gateway("127.0.0.28", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(gateway.ok());
    TempFolder folder;
    ASSERT_TRUE(folder.Ok());
    // 127.1 is accepted in its abbreviated form; abc is no address at all.
    folder.Write("Kelvane.ini", "[CONFIG]\nMY-OWN-IP-ADDRESS=abc\nGATEWAY-IP-ADDRESS=127.1\nDEBUG-LEVEL=1\n");
    RunResult r = RunProgram(folder.Path(), {"send", "1/2/3", "EIS1", "1"});
    EXPECT_NE(r.out.find("using my IP address   255.255.255.255\nusing Gateway address 127.0.0.1\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exitCode, 0);
}
