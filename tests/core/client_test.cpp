#include "platform/wsock.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "core/KnxClient.h"
#include "tests/support/ScriptedGateway.h"

// The send action's client operations against a gateway: the channel after the connect and at the end.
static std::pair<int, int> RunSend(const char* gateway)
{
    testing::internal::CaptureStdout();
    auto client = std::make_unique<CKnxClient>();
    client->Open("127.0.0.1", gateway), client->Connect();
    std::pair<int, int> channels(client->m_nChannelId, 0);
    client->SendGroupValue(0x0A03, 1, EisData{1, {1}}), client->Disconnect();
    channels.second = client->m_nChannelId;
    client.reset(), testing::internal::GetCapturedStdout();
    return channels;
}

// Ahead of the real answer, each read by a poll pass: a connect response from another host (to the
// control port named in the request), a datagram that is no frame and one whose service makes none.
TEST(ClientSendTest, JunkAndStrangersBeforeTheResponseAreSkipped)
{
    ScriptedGateway stranger("127.0.0.23", 3671, ScriptedGateway::Silent());
    ScriptedGateway gateway("127.0.0.24", 3671, [&stranger](const Bytes& request) -> std::vector<Bytes> {
        if (ServiceType(request) != 0x0205) return ScriptedGateway::Polite(0x2A)(request);
        stranger.SendTo(ConnectResponse(0x63, 0), Loopback(request[12] << 8 | request[13]));
        const Bytes search = ParseHex("06 10 02 03 00 0E 08 01 7F 00 00 01 0E 57");  // makes no frame here
        return {ParseHex("47 45 54 20 2F"), {}, search, {}, ConnectResponse(0x2A, 0)};
    });
    EXPECT_EQ(RunSend("127.0.0.24").first, 0x2A);
}

// A whole send, with a gateway that answers and with one that does not (which still gets every step, on
// channel one): every worker thread, socket, pipe and event is gone afterwards.
TEST(ClientSendTest, LeavesNoThreadOrDescriptorBehind)
{
    ScriptedGateway polite("127.0.0.29", 3671, ScriptedGateway::Polite(4));
    ScriptedGateway silent("127.0.0.30", 3671, ScriptedGateway::Silent());
    EXPECT_EQ(RunSend("127.0.0.30").second, 1);  // also lets runtime helpers (a sanitizer's thread) start
    ASSERT_TRUE(silent.WaitFor(3, 2000) && !silent.WaitFor(4, 50));
    const std::vector<Datagram> got = silent.Received();  // connect, write, disconnect
    EXPECT_EQ(HexOf({got[0].bytes[3], got[1].bytes[3], got[1].bytes[7], got[2].bytes[3], got[2].bytes[6]}),
              "05 20 01 09 01");
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "counts threads and descriptors in /proc";
    const auto threadsAndDescriptors = [] {
        using Entries = std::filesystem::directory_iterator;
        return std::make_pair(std::distance(Entries("/proc/self/task"), Entries()),
                              std::distance(Entries("/proc/self/fd"), Entries()));
    };
    RunSend("127.0.0.29");
    const auto before = threadsAndDescriptors();
    for (const char* gateway : {"127.0.0.29", "127.0.0.30"})
        EXPECT_EQ((RunSend(gateway), threadsAndDescriptors()), before) << gateway;
}

// Before Open, a connect says so and sends nothing. The start line from level 2 and the trace go to the
// console only; a type not known (no value) says so, writes nothing and leaves the counter, since the gateway
// would drop a next request whose sequence skipped a number.
TEST(ClientTest, LinesOfRefusedAndTracedSteps)
{
    const std::tuple<int, int, const char*> cases[] = {
        {3, 6, "Ostrel starts..\nOstrel is not initialized\nSendGA ch=5 seq=1 value=200\n"},
        {0, 0, "Ostrel is not initialized\nEIS-Type not supported\n"}};
    for (const auto& [level, eisType, console] : cases) {
        testing::internal::CaptureStdout();
        CKnxClient client;
        client.SetDebugLevel(level);
        client.Connect();
        client.m_nChannelId = 5, client.m_nEisType = eisType, client.m_value = eisType ? EisData{2, {0, 200}} : EisData{};
        client.SendTunnellingRequest(client.m_dataEndpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), console);
        EXPECT_EQ(client.m_strLog.str() + std::to_string(client.m_nControlPort + client.m_nSendSequence),
                  std::string("Ostrel is not initialized\n") + (level ? "1" : "0"));
    }
}
