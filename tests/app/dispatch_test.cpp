#include <gtest/gtest.h>

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

}  // namespace

// Each failure hides the checks after it; the socket fault is set so that a
// check reached too far would show its line. A failed socket start also
// shows the German box on stderr.
TEST_F(DispatchTest, FailuresInOrder)
{
    struct Case {
        const char* name;
        const char* file;
        const char* expected;
        const char* box;
    };
    const char* const invalidLocal = "Error: Invalid 'My-Own-IP-Address'\n";
    const Case cases[] = {
        {"NoFile", nullptr, "Error: File 'Kelvane.ini' not found\n", ""},
        {"NoConfigSection", "MY-OWN-IP-ADDRESS=127.0.0.1\n", invalidLocal, ""},
        {"NeitherAddress", "[CONFIG]\nDEBUG-LEVEL=1\n", invalidLocal, ""},
        {"OnlyGateway", "[CONFIG]\nGATEWAY-IP-ADDRESS=127.0.0.2\n", invalidLocal, ""},
        {"OnlyLocal", "[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nDEBUG-LEVEL=1\n",
         "Error: Invalid 'GateWay-IP-Address'\n", ""},
        {"SocketSupport", "[CONFIG]\nMY-OWN-IP-ADDRESS=abc\nGATEWAY-IP-ADDRESS=abc\nDEBUG-LEVEL=1\n",
         "Error: AfxSocketInit failed\n", "kelvane_tests: Fehler beim Initialisieren der Windows-Sockets\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_afxFaults.bFailSocketInit = TRUE;
        for (const char* word : {"search", "send"}) {
            Run(c.file, {word, "1/2/3", "EIS1", "1"});
            EXPECT_EQ(m_out, c.expected) << word;
            EXPECT_EQ(m_err, c.box) << word;
        }
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

// Only the whole word, in any case, runs a command; extra arguments are ignored.
TEST_F(DispatchTest, CommandWords)
{
    struct Case {
        const char* word;
        int searches;
        size_t sends;
    };
    const Case cases[] = {
        {"search", 1, 0}, {"SEARCH", 1, 0}, {"sEaRcH", 1, 0}, {"send", 0, 1}, {"Send", 0, 1},
        {"help", 0, 0}, {"searchx", 0, 0}, {"sendx", 0, 0}, {" send", 0, 0}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        g_nSearchCalls = 0;
        g_sendCalls.clear();
        Run(kComplete, {c.word, "1/2/3", "EIS1", "1", "extra"});
        EXPECT_EQ(m_out, "") << '"' << c.word << '"';
        EXPECT_EQ(g_nSearchCalls, c.searches) << '"' << c.word << '"';
        EXPECT_EQ(g_sendCalls.size(), c.sends) << '"' << c.word << '"';
    }
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
        {{"sEnD", "#0A03", "Eis6", "+5"}, 0x0A03, 6, 5},
        // A type the frame builder refuses keeps its value unchecked.
        {{"send", "1.2.3", "EIS16", "12abc"}, 0x0A03, 0, 12},
    };
    for (const Case& c : cases) {
        g_sendCalls.clear();
        Run(kComplete, c.args);
        SCOPED_TRACE(testing::PrintToString(c.args));
        ASSERT_EQ(g_sendCalls.size(), 1u);
        EXPECT_EQ(g_sendCalls[0].groupAddress, c.groupAddress);
        EXPECT_EQ(g_sendCalls[0].eisType, c.eisType);
        EXPECT_EQ(g_sendCalls[0].value, c.value);
    }
}

// A refused operand stops the send before the command runs.
TEST_F(DispatchTest, SendRefusesOperandsBeforeTheCommand)
{
    Run("[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=127.0.0.2\n", {"send", "a/b/c", "def", "ghi"});
    EXPECT_EQ(m_out, "Error: Invalid group address 'a/b/c'\n");
    Run("[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=10.79.1.1x\n", {"send", "1/2/3", "EIS1", "1"});
    EXPECT_EQ(m_out, "Error: Invalid gateway address '10.79.1.1x'\n");
    EXPECT_TRUE(g_sendCalls.empty());
}
