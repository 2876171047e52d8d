#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "platform/afxapp.h"
#include "tests/support/TempFolder.h"

namespace {

struct SendCall {
    WORD groupAddress;
    int eisType;
    int value;
};

int g_nSearchCalls = 0;
std::vector<SendCall> g_sendCalls;

void RecordSearch() { ++g_nSearchCalls; }
void RecordSend(WORD groupAddress, int eisType, int value) { g_sendCalls.push_back({groupAddress, eisType, value}); }

const char kComplete[] = "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n";

// Runs the dispatcher in a fresh folder that holds configFile (none when
// null), with the commands replaced by recorders; keeps what it printed.
class DispatchTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_nSearchCalls = 0;
        g_sendCalls.clear();
        m_pfnSearch = g_pfnSearchCommand;
        m_pfnSend = g_pfnSendCommand;
        g_pfnSearchCommand = RecordSearch;
        g_pfnSendCommand = RecordSend;
    }
    void TearDown() override
    {
        g_pfnSearchCommand = m_pfnSearch;
        g_pfnSendCommand = m_pfnSend;
        g_afxFaults = AfxFaults();
    }

    void Run(const char* configFile, std::vector<std::string> args)
    {
        TempFolder folder;
        ASSERT_TRUE(folder.Ok() && folder.WorkIn());
        if (configFile) folder.Write("Kelvane.ini", configFile);
        args.insert(args.begin(), "kelvane");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        DispatchCommand(static_cast<int>(args.size()), argv.data());
        m_out = testing::internal::GetCapturedStdout();
        m_err = testing::internal::GetCapturedStderr();
    }

    std::string m_out;
    std::string m_err;
    void (*m_pfnSearch)() = nullptr;
    void (*m_pfnSend)(WORD, int, int) = nullptr;
};

std::string WithLevel(int level)
{
    return std::string(kComplete) + "DEBUG-LEVEL=" + std::to_string(level) + "\n";
}

const std::regex kBanner("Kelvane Version v03\nbuild [A-Z][a-z][a-z] [ 1-3][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n");

}  // namespace

// Each failure hides the checks after it; the socket fault is set so that a
// check reached too far would show its line.
TEST_F(DispatchTest, FailuresInOrder)
{
    struct Case {
        const char* name;
        const char* file;
        const char* expected;
    };
    const Case cases[] = {
        {"NoFile", nullptr, "Error: File 'Kelvane.ini' not found\n"},
        {"NoConfigSection", "MY-OWN-IP-ADDRESS=127.0.0.1\n", "Error: Invalid 'My-Own-IP-Address'\n"},
        {"NeitherAddress", "[CONFIG]\nDEBUG-LEVEL=1\n", "Error: Invalid 'My-Own-IP-Address'\n"},
        {"OnlyGateway", "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n", "Error: Invalid 'My-Own-IP-Address'\n"},
        {"OnlyLocal", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nDEBUG-LEVEL=1\n",
         "Error: Invalid 'GateWay-IP-Address'\n"},
        {"SocketSupport", "[CONFIG]\nMY-OWN-IP-ADDRESS=abc\nGATEWAY-IP-ADDRESS=abc\nDEBUG-LEVEL=1\n",
         "Error: AfxSocketInit failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_afxFaults.bFailSocketInit = TRUE;
        Run(c.file, {"search"});
        EXPECT_EQ(m_out, c.expected);
        EXPECT_EQ(g_nSearchCalls, 0);
    }
}

TEST_F(DispatchTest, SocketFailureShowsGermanBoxAndEnds)
{
    g_afxFaults.bFailSocketInit = TRUE;
    Run(WithLevel(1).c_str(), {"send", "1/2/3", "EIS1", "1"});
    EXPECT_EQ(m_out, "Error: AfxSocketInit failed\n");
    EXPECT_EQ(m_err, "kelvane_tests: Fehler beim Initialisieren der Windows-Sockets\n");
    EXPECT_TRUE(g_sendCalls.empty());
}

TEST_F(DispatchTest, BannerFromLevelOneBeforeTheWordIsLookedAt)
{
    for (int level : {1, 2, 99}) {
        Run(WithLevel(level).c_str(), {"help"});
        EXPECT_TRUE(std::regex_match(m_out, kBanner)) << "level " << level << ": " << m_out;
    }
    for (int level : {0, -1}) {
        Run(WithLevel(level).c_str(), {"help"});
        EXPECT_EQ(m_out, "") << "level " << level;
    }
    EXPECT_EQ(g_nSearchCalls, 0);
    EXPECT_TRUE(g_sendCalls.empty());
}

TEST_F(DispatchTest, SettingsResetBeforeReading)
{
    g_nDebugLevel = 5;
    g_strMyOwnIpAddress = "stale";
    Run("[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n", {"help"});
    EXPECT_EQ(m_out, "Error: Invalid 'My-Own-IP-Address'\n");
    EXPECT_EQ(g_nDebugLevel, 0);
}

TEST_F(DispatchTest, SearchWordInAnyCaseExtraArgumentsIgnored)
{
    for (const char* word : {"search", "SEARCH", "Search", "sEaRcH"}) {
        Run(kComplete, {word, "extra", "words"});
        EXPECT_EQ(m_out, "") << word;
    }
    EXPECT_EQ(g_nSearchCalls, 4);
    EXPECT_TRUE(g_sendCalls.empty());
}

TEST_F(DispatchTest, SendHandsOverParsedOperands)
{
    struct Case {
        std::vector<std::string> args;
        WORD groupAddress;
        int eisType;
        int value;
    };
    const Case cases[] = {
        {{"send", "1/2/3", "EIS1", "1"}, 0x0A03, 1, 1},
        {{"SEND", "31/7/255", "eis6", "255"}, 0xFFFF, 6, 255},
        {{"sEnD", "#0A03", "Eis6", "-5"}, 0x0A03, 6, -5},
        {{"send", "1/2/3", "EIS1", "1", "more"}, 0x0A03, 1, 1},
        {{"send", "abc", "def", "ghi"}, 0, 0, 0},
        {{"send", "1.2.3", "EIS16", "12abc"}, 0x0A03, 0, 12},
    };
    for (const Case& c : cases) {
        g_sendCalls.clear();
        Run(kComplete, c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(m_out, "");
        ASSERT_EQ(g_sendCalls.size(), 1u);
        EXPECT_EQ(g_sendCalls[0].groupAddress, c.groupAddress);
        EXPECT_EQ(g_sendCalls[0].eisType, c.eisType);
        EXPECT_EQ(g_sendCalls[0].value, c.value);
    }
    EXPECT_EQ(g_nSearchCalls, 0);
}

TEST_F(DispatchTest, SendWithFewerThanThreeOperandsSaysSoInGerman)
{
    for (auto args : {std::vector<std::string>{"send"}, {"Send", "1/2/3"}, {"send", "1/2/3", "EIS1"}}) {
        Run(kComplete, args);
        EXPECT_EQ(m_out, "nicht gen\x81gend Parameter\n") << testing::PrintToString(args);
    }
    EXPECT_TRUE(g_sendCalls.empty());
}

TEST_F(DispatchTest, OtherWordsDoNothing)
{
    for (const char* word : {"help", "searchx", "sendx", " send", ""}) {
        Run(kComplete, {word, "1/2/3", "EIS1", "1"});
        EXPECT_EQ(m_out, "") << '"' << word << '"';
    }
    EXPECT_EQ(g_nSearchCalls, 0);
    EXPECT_TRUE(g_sendCalls.empty());
}
