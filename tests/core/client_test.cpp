#include <filesystem>
#include <gtest/gtest.h>

#include "core/KnxClient.h"
#include "tests/support/ScriptedGateway.h"

namespace {

// The send action's client operations against a gateway: the channel after the connect and at the end.
std::pair<int, int> RunSend(const char* gateway, int eisType = 1, int value = 1)
{
    testing::internal::CaptureStdout();
    auto client = std::make_unique<CKnxClient>();
    client->Open("127.0.0.1", gateway);
    client->Connect();
    const int connected = client->m_nChannelId;
    client->SendGroupValue(0x0A03, eisType, value);
    client->Disconnect();
    const std::pair<int, int> channels(connected, client->m_nChannelId);
    client.reset();
    testing::internal::GetCapturedStdout();
    return channels;
}

int EntriesOf(const char* folder)
{
    const std::filesystem::directory_iterator entries(folder);
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

}  // namespace

TEST(ClientSendTest, SilentGatewayStillGetsEveryStepOnChannelOne)
{
    ScriptedGateway gateway("127.0.0.22", 3671, ScriptedGateway::Silent());
    EXPECT_EQ(RunSend("127.0.0.22", 6, 200).second, 1);
    ASSERT_TRUE(gateway.WaitFor(3, 2000) && !gateway.WaitFor(4, 50));
    const std::vector<Datagram> got = gateway.Received();
    EXPECT_EQ(ServiceType(got[0].bytes), 0x0205);
    EXPECT_EQ(HexOf(got[1].bytes), "06 10 04 20 00 16 04 01 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8");
    EXPECT_EQ(HexOf(got[2].bytes).substr(0, 20), "06 10 02 09 00 10 01");
}

// Ahead of the real answer, each read by a poll pass: a connect response from another host (to the
// control port named in the request), a datagram that is no frame and one whose service makes none.
TEST(ClientSendTest, JunkAndStrangersBeforeTheResponseAreSkipped)
{
    ScriptedGateway stranger("127.0.0.23", 3671, ScriptedGateway::Silent());
    ScriptedGateway gateway("127.0.0.24", 3671, [&stranger](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) != 0x0205) return ScriptedGateway::Polite(0x2A)(request);
        stranger.SendTo(ConnectResponse(0x63, 0), Loopback(request[12] << 8 | request[13]));
        return {ParseHex("47 45 54 20 2F"),
                {},
                ParseHex("06 10 02 03 00 0E 08 01 7F 00 00 01 0E 57"),
                {},
                ConnectResponse(0x2A, 0)};
    });
    EXPECT_EQ(RunSend("127.0.0.24").first, 0x2A);
}

// A whole send, with a gateway that answers and with one that does not:
// every worker thread, socket, pipe and event is gone afterwards.
TEST(ClientSendTest, LeavesNoThreadOrDescriptorBehind)
{
    ScriptedGateway polite("127.0.0.29", 3671, ScriptedGateway::Polite(4));
    ScriptedGateway silent("127.0.0.30", 3671, ScriptedGateway::Silent());
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "counts threads and descriptors in /proc";
    RunSend("127.0.0.29");  // lets runtime helpers (a sanitizer's thread) start
    const int threads = EntriesOf("/proc/self/task"), descriptors = EntriesOf("/proc/self/fd");
    for (const char* gateway : {"127.0.0.29", "127.0.0.30"}) {
        RunSend(gateway);
        EXPECT_EQ(EntriesOf("/proc/self/task"), threads) << gateway;
        EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors) << gateway;
    }
}

TEST(ClientTest, ConnectBeforeOpenSaysSoAndSendsNothing)
{
    testing::internal::CaptureStdout();
    CKnxClient client;
    client.Connect();
    EXPECT_EQ(testing::internal::GetCapturedStdout() + client.m_strLog.str() +
                  std::to_string(client.m_nControlPort),
              "Ostrel is not initialized\nOstrel is not initialized\n0");
}

// The start line from level 2, on the console only; an unsupported type says so, writes nothing and leaves
// the counter, since the gateway would drop a next request whose sequence skipped a number.
TEST(ClientTest, UnsupportedTypeLeavesTheCounter)
{
    for (int level : {3, 0}) {
        testing::internal::CaptureStdout();
        CKnxClient client;
        client.SetDebugLevel(level);
        client.m_nChannelId = 5, client.m_nEisType = 5, client.m_nValue = 200;
        client.SendTunnellingRequest(client.m_dataEndpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  (level ? "Ostrel starts..\n" : "") + std::string("EIS-Type not supported\n"))
            << level;
        EXPECT_EQ(client.m_nSendSequence + client.m_strLog.str().size(), 0u) << level;
    }
}
