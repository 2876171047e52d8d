// The dispatcher's steps: settings read afresh, and the command a command line names.
#include <gtest/gtest.h>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "tests/support/TempFolder.h"

TEST(DispatchTest, SettingsResetBeforeReading)
{
    TempFolder folder;
    ASSERT_TRUE(folder.WorkIn());
    folder.Write("Kelvane.ini", "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n");
    g_nDebugLevel = 5;
    g_strMyOwnIpAddress = "127.0.0.1";
    EXPECT_FALSE(PrepareCommand() || g_nDebugLevel != 0) << "the earlier address and level are gone";
}

// Only the whole word, in any case, names a command; send takes four words or more, its operands parsed
// and as typed (the program tests see them parsed).
TEST(DispatchTest, CommandWordsAndSendOperands)
{
    using K = CommandLine;
    const std::pair<std::vector<std::string>, std::array<int, 4>> cases[] = {
        {{"search"}, {K::kSearch}}, {{"sEaRcH", "1/2/3"}, {K::kSearch}}, {{"searchx"}, {K::kNone}},
        {{" send", "1/2/3", "EIS1", "1"}, {K::kNone}}, {{"send", "1/2/3", "EIS1"}, {K::kTooFewOperands}},
        {{"sEnD", "#0A03", "Eis6", "+5", "extra"}, {K::kSend, 0x0A03, 6, 5}},
    };
    for (auto [args, parsed] : cases) {
        std::vector<char*> argv{const_cast<char*>("kelvane")};
        for (std::string& arg : args) argv.push_back(&arg[0]);
        const CommandLine line = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ((std::array<int, 4>{line.kind, line.groupAddress, line.eisType, line.value}), parsed)
            << testing::PrintToString(args);
        EXPECT_TRUE(line.kind != K::kSend || (line.groupAddressText == argv[2] && line.valueText == argv[4]));
    }
}
