// The dispatcher's steps in the process: settings read afresh, and the
// command a command line names, with the send operands as parsed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "tests/support/TempFolder.h"

namespace {

CommandLine Parse(std::vector<std::string> args)
{
    static std::vector<std::string> kept;  // argv points into it
    kept = args;
    kept.insert(kept.begin(), "kelvane");
    std::vector<char*> argv;
    for (std::string& arg : kept) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(kept.size()), argv.data());
}

}  // namespace

TEST(DispatchTest, SettingsResetBeforeReading)
{
    TempFolder folder;
    ASSERT_TRUE(folder.Ok() && folder.WorkIn());
    folder.Write("Kelvane.ini", "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n");
    g_nDebugLevel = 5;
    g_strMyOwnIpAddress = "stale";
    testing::internal::CaptureStdout();
    EXPECT_FALSE(PrepareCommand());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Invalid 'My-Own-IP-Address'\n");
    EXPECT_EQ(g_nDebugLevel, 0);
}

// Only the whole word, in any case, names a command; extra arguments are
// ignored; send hands over its operands parsed, and as typed for the checks.
TEST(DispatchTest, CommandWordsAndSendOperands)
{
    using K = CommandLine;
    struct Case {
        std::vector<std::string> args;
        K::Kind kind;
        WORD groupAddress;
        int eisType;
        int value;
    };
    const Case cases[] = {
        {{"search"}, K::kSearch, 0, 0, 0},
        {{"sEaRcH", "1/2/3"}, K::kSearch, 0, 0, 0},
        {{"help"}, K::kNone, 0, 0, 0},
        {{"searchx"}, K::kNone, 0, 0, 0},
        {{"sendx", "1/2/3", "EIS1", "1"}, K::kNone, 0, 0, 0},
        {{" send", "1/2/3", "EIS1", "1"}, K::kNone, 0, 0, 0},
        {{""}, K::kNone, 0, 0, 0},
        {{"send", "1/2/3", "EIS1"}, K::kTooFewOperands, 0, 0, 0},
        {{"SEND"}, K::kTooFewOperands, 0, 0, 0},
        {{"send", "1/2/3", "EIS1", "1", "extra"}, K::kSend, 0x0A03, 1, 1},
        {{"SEND", "31/7/255", "eis6", "255"}, K::kSend, 0xFFFF, 6, 255},
        {{"sEnD", "#0A03", "Eis6", "+5"}, K::kSend, 0x0A03, 6, 5},
        {{"send", "1.2.3", "EIS16", "12abc"}, K::kSend, 0x0A03, 0, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CommandLine line = Parse(c.args);
        EXPECT_EQ(line.kind, c.kind);
        if (c.kind != K::kSend) continue;
        EXPECT_EQ(line.groupAddress, c.groupAddress);
        EXPECT_EQ(line.eisType, c.eisType);
        EXPECT_EQ(line.value, c.value);
        EXPECT_EQ(std::string(line.groupAddressText), c.args[1]);
        EXPECT_EQ(std::string(line.valueText), c.args[3]);
    }
}
