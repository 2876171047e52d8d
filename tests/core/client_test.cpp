#include "platform/wsock.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/KnxClient.h"
#include "tests/support/ScriptedGateway.h"

// The send action's client operations against a gateway, each request's answer awaited 50 ms: what the
// connect, the write (after one that could not be encoded) and a second write after the disconnect came to.
using SendOutcome = std::tuple<int, int, WriteResult, WriteResult>;  // connect, channel, write, write after
static SendOutcome RunSend(const char* gateway, DWORD answerWaitMs = 50)
{
    CKnxClient client;
    client.m_dwAnswerWaitMs = answerWaitMs;
    client.Open("127.0.0.1", gateway);
    const int connect = client.Connect(), channel = client.m_nChannelId;
    testing::internal::CaptureStdout();
    client.SendGroupValue(0x0A03, 1, EisData{});  // no value: sends nothing, and the next write is number 0
    testing::internal::GetCapturedStdout();
    const WriteResult write = client.SendGroupValue(0x0A03, 1, EisData{1, {1}});
    client.Disconnect();
    return {connect, channel, write, client.SendGroupValue(0x0A03, 1, EisData{1, {1}})};
}

// The services a gateway received, in order, each with the channel (control frames) or sequence number.
static std::string Services(ScriptedGateway& gateway)
{
    std::string text;
    for (const Datagram& d : gateway.Received())
        text += HexOf({d.bytes[2], d.bytes[3]}) + (ServiceType(d.bytes) == 0x0205 ? "" : "/" + HexOf({d.bytes[ServiceType(d.bytes) == 0x0420 ? 8 : 6]})) + " ";
    return text;
}

// Each exchange is confirmed: a request without its answer goes again (the write with its sequence number),
// an unanswered connect is followed by nothing, every channel granted is closed, the second one a repeated
// connect brings too, and the disconnect goes twice at once, never later. After it a write sends nothing.
TEST(ClientSendTest, ExchangesAreRepeatedUntilAnswered)
{
    using Script = std::function<std::vector<Bytes>(int n, const Bytes& request)>;  // n: its kind's count
    const auto polite = ScriptedGateway::Polite(0x2A);
    // Name, script; what the connect, the channel and the write came to, and the services the gateway got.
    const std::tuple<const char*, Script, int, int, WriteResult, std::string> rows[] = {
        {"silent", [](int, const Bytes&) { return std::vector<Bytes>(); }, -1, -1, WriteResult::NoTunnel,
         "02 05 02 05 02 05 02 05 02 05 "},
        {"losing the first connect answer and two acknowledgements, answering no disconnect",
         [&](int n, const Bytes& r) {
             const int lost = ServiceType(r) == 0x0205 ? 1 : ServiceType(r) == 0x0420 ? 2 : 1000;
             return n < lost ? std::vector<Bytes>() : polite(r);
         },
         0, 0x2A, WriteResult::Acknowledged, "02 05 02 05 04 20/00 04 20/00 04 20/00 02 09/2A 02 09/2A "},
        {"granting each connect, 150 ms late (the wait is 100 ms)",
         [&](int n, const Bytes& r) {
             if (ServiceType(r) == 0x0205) return std::vector<Bytes>{ConnectResponse(Byte(0x30 + n), 0)};
             return polite(r);
         },
         0, 0x30, WriteResult::Acknowledged, "02 05 02 05 04 20/00 02 09/30 02 09/30 02 09/31 "},
    };
    int address = 24;
    for (const auto& [name, script, connect, channel, write, services] : rows) {
        SCOPED_TRACE(name);
        std::map<int, int> counts;
        const std::string gatewayAddress = "127.0.0." + std::to_string(address++);
        ScriptedGateway gateway(gatewayAddress, 3671, [&counts, script = script](const Bytes& request) {
            return script(counts[ServiceType(request)]++, request);
        });
        const bool late = name[0] == 'g';
        if (late) gateway.SetDelay(150, 0x0205);
        EXPECT_EQ(RunSend(gatewayAddress.c_str(), late ? 100 : 50),
                  SendOutcome(connect, channel, write, WriteResult::NoTunnel));
        gateway.WaitFor(std::count(services.begin(), services.end(), ' ') + 1, 200);  // and no more
        EXPECT_EQ(Services(gateway), services);
    }
}

// A whole send: every worker thread, socket, pipe and event is gone afterwards.
TEST(ClientSendTest, LeavesNoThreadOrDescriptorBehind)
{
    ScriptedGateway gateway("127.0.0.29", 3671, ScriptedGateway::Polite(4));
    RunSend("127.0.0.29"), Sleep(100);  // also lets runtime helpers (a sanitizer's thread) start
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "counts threads and descriptors in /proc";
    const auto threadsAndDescriptors = [] {
        using Entries = std::filesystem::directory_iterator;
        return std::make_pair(std::distance(Entries("/proc/self/task"), Entries()),
                              std::distance(Entries("/proc/self/fd"), Entries()));
    };
    const auto before = threadsAndDescriptors();
    RunSend("127.0.0.29");
    auto after = threadsAndDescriptors();
    // A joined thread's /proc entry can outlive the join by a moment: give it up to 2 s to go.
    for (int tries = 0; tries < 100 && after != before; ++tries) Sleep(20), after = threadsAndDescriptors();
    EXPECT_EQ(after, before);
}
