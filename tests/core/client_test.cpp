#include "platform/wsock.h"
#include <dirent.h>

#include <filesystem>
#include <gtest/gtest.h>

#include "core/KnxClient.h"
#include "tests/support/ScriptedGateway.h"

namespace {

const char kLocal[] = "127.0.0.1";

// Runs the send action's sequence of client operations against a gateway.
struct SendRun {
    std::string stdoutText;
    int channelAfterConnect = 0;
    int channelAtEnd = 0;
    int controlPort = 0;
    int dataPort = 0;
};

SendRun RunSend(const char* gateway, WORD group, int eisType, int value, int level = 0)
{
    SendRun run;
    testing::internal::CaptureStdout();
    CKnxClient* client = new CKnxClient;
    client->SetDebugLevel(level);
    client->Open(kLocal, gateway);
    client->Connect();
    run.channelAfterConnect = client->m_nChannelId;
    run.controlPort = client->m_nControlPort;
    run.dataPort = client->m_nDataPort;
    client->SendGroupValue(group, eisType, value);
    client->Disconnect();
    run.channelAtEnd = client->m_nChannelId;
    delete client;
    run.stdoutText = testing::internal::GetCapturedStdout();
    return run;
}

int EntriesOf(const char* folder)
{
    int count = 0;
    if (DIR* dir = opendir(folder)) {
        while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

}  // namespace

TEST(ClientSendTest, SilentGatewayStillGetsEveryStepOnChannelOne)
{
    ScriptedGateway gateway("127.0.0.22", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(gateway.ok());
    SendRun run = RunSend("127.0.0.22", 0x0A03, 6, 200);
    ASSERT_TRUE(gateway.WaitFor(3, 2000));
    std::vector<Datagram> got = gateway.Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(ServiceType(got[0].bytes), 0x0205);
    EXPECT_EQ(HexOf(got[1].bytes), "06 10 04 20 00 16 04 01 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8");
    EXPECT_EQ(ServiceType(got[2].bytes), 0x0209);
    EXPECT_EQ(got[2].bytes[6], 1) << "the disconnect carries the channel of construction";
    EXPECT_EQ(run.channelAtEnd, 1);
}

TEST(ClientSendTest, JunkAndStrangersBeforeTheResponseAreSkipped)
{
    // Ahead of the real answer: a connect response from another host (to the
    // control port named in the request), a datagram that is no KNXnet/IP
    // frame and one whose service makes no frame, each read by a poll pass.
    ScriptedGateway stranger("127.0.0.23", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(stranger.ok());
    ScriptedGateway::Script script = [&stranger](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) == 0x0205) {
            sockaddr_in control{};
            control.sin_family = AF_INET;
            control.sin_addr.s_addr = inet_addr(kLocal);
            control.sin_port = htons(static_cast<std::uint16_t>(request[12] << 8 | request[13]));
            stranger.SendTo(ConnectResponse(0x63, 0), control);
            return {ParseHex("47 45 54 20 2F"),
                    {},
                    ParseHex("06 10 02 03 00 0E 08 01 7F 00 00 01 0E 57"),
                    {},
                    ConnectResponse(0x2A, 0)};
        }
        return ScriptedGateway::Polite(0x2A)(request);
    };
    ScriptedGateway gateway("127.0.0.24", 3671, script);
    ASSERT_TRUE(gateway.ok());
    SendRun run = RunSend("127.0.0.24", 0x0A03, 1, 1);
    EXPECT_EQ(run.channelAfterConnect, 0x2A);
}

// A whole send, with a gateway that answers and with one that does not:
// every worker thread, socket, pipe and event is gone afterwards.
TEST(ClientSendTest, LeavesNoThreadOrDescriptorBehind)
{
    ScriptedGateway polite("127.0.0.29", 3671, ScriptedGateway::Polite(4));
    ScriptedGateway silent("127.0.0.30", 3671, ScriptedGateway::Silent());
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "counts threads and descriptors in /proc";
    RunSend("127.0.0.29", 0x0A03, 1, 1);  // lets runtime helpers (a sanitizer's thread) start
    const int threads = EntriesOf("/proc/self/task"), descriptors = EntriesOf("/proc/self/fd");
    for (const char* gateway : {"127.0.0.29", "127.0.0.30"}) {
        RunSend(gateway, 0x0A03, 1, 1);
        EXPECT_EQ(EntriesOf("/proc/self/task"), threads) << gateway;
        EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors) << gateway;
    }
}

TEST(ClientTest, ConnectBeforeOpenSaysSoAndSendsNothing)
{
    testing::internal::CaptureStdout();
    CKnxClient client;
    client.Connect();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Ostrel is not initialized\n");
    EXPECT_EQ(client.m_strLog, "Ostrel is not initialized\n");
    EXPECT_EQ(client.m_nControlPort, 0);
}

// The start line and the trace line from level 2, on the console only; an
// unsupported type says so, writes nothing and leaves the counter, since the
// gateway would drop a next request whose sequence skipped a number.
TEST(ClientTest, LinesAndCounterOfATunnellingRequest)
{
    struct Case {
        int eisType, level;
        const char* console;
        int sequenceAfter;
    } cases[] = {
        {1, 1, "", 1},
        {6, 2, "Ostrel starts..\nSendGA ch=5 seq=1 value=200\n", 1},
        {5, 3, "Ostrel starts..\nEIS-Type not supported\n", 0},
        {0, 0, "EIS-Type not supported\n", 0},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        CKnxClient client;
        client.SetDebugLevel(c.level);
        client.m_nChannelId = 5;
        client.m_nEisType = c.eisType;
        client.m_nValue = 200;
        client.SendTunnellingRequest(client.m_dataEndpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.console) << "EIS" << c.eisType;
        EXPECT_EQ(client.m_nSendSequence, c.sequenceAfter) << "EIS" << c.eisType;
        EXPECT_EQ(client.m_strLog, "");
    }
}
