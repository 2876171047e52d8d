// The endpoint over loopback against a scripted peer. Every wait is bounded;
// a call that should return but hangs aborts the run.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "net/UdpEndpoint.h"
#include "platform/winbase.h"
#include "platform/wsock.h"
#include "tests/support/ScriptedGateway.h"

namespace {

Bytes Pattern(size_t length, BYTE seed)
{
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<BYTE>(seed + i * 7);
    return bytes;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000)
{
    for (int waited = 0; waited < timeoutMs && !condition(); waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

// Runs a call that must return; a hang would otherwise stall the suite.
void ReturnsWithin(int timeoutMs, const char* what, const std::function<void()>& call)
{
    std::atomic<bool> done{false};
    std::thread runner([&] {
        call();
        done = true;
    });
    if (!WaitUntil([&] { return done.load(); }, timeoutMs)) {
        fprintf(stderr, "%s did not return within %d ms\n", what, timeoutMs);
        std::abort();
    }
    runner.join();
}

// Counts notifications. Its destructor ends the worker itself, since the
// worker calls OnReceive through this object until it has ended.
class CountingEndpoint : public CUdpEndpoint {
public:
    ~CountingEndpoint() { EndWorker(); }
    void OnReceive() override { ++m_received; }
    std::atomic<int> m_received{0};
};

class EndpointLoopback : public ::testing::Test {
protected:
    void Start(CUdpEndpoint& endpoint, const char* destination = "127.0.0.1")
    {
        endpoint.m_strLocIpAddr = "127.0.0.1";
        endpoint.m_strDstIpAddr = destination;
        ASSERT_EQ(1u, endpoint.Start(static_cast<DWORD>(m_peer.Port()), 0));
        DWORD running = 0;
        ReturnsWithin(3000, "WaitRunning", [&] { running = endpoint.WaitRunning(); });
        ASSERT_EQ(1u, running);
    }
    void SendToEndpoint(const Bytes& bytes, ScriptedGateway* from = nullptr)
    {
        (from ? *from : m_peer).SendTo(bytes, Loopback(m_endpoint.m_nLocPort));
    }
    Bytes ReadOne(DWORD max = 8192)
    {
        Bytes read(8192);
        read.resize(static_cast<size_t>(m_endpoint.Read(read.data(), max)));
        return read;
    }

    ScriptedGateway m_peer{"127.0.0.1", 0, ScriptedGateway::Silent()};
    CountingEndpoint m_endpoint;
};

// Datagrams keep their boundaries both ways: each Read takes the oldest
// whole and drops what does not fit the caller's buffer.
TEST_F(EndpointLoopback, DatagramsTravelBothWaysWhole)
{
    Start(m_endpoint);
    ASSERT_NE(0, m_endpoint.m_nLocPort);
    EXPECT_EQ(0u, m_endpoint.WaitForData(20));
    const Bytes request = Pattern(26, 1);
    ASSERT_EQ(26, m_endpoint.Write(request.data(), 26));
    ASSERT_TRUE(m_peer.WaitFor(1, 3000));
    EXPECT_EQ(request, m_peer.Received()[0].bytes);
    EXPECT_EQ(m_endpoint.m_nLocPort, ntohs(m_peer.Received()[0].from.sin_port));

    const Bytes first = Pattern(26, 1), second = Pattern(21, 100);
    SendToEndpoint(first);
    SendToEndpoint(second);
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 47; }));
    EXPECT_EQ(Bytes(first.begin(), first.begin() + 20), ReadOne(20));
    EXPECT_EQ(21u, m_endpoint.HasData());
    EXPECT_EQ(second, ReadOne());
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint.m_received == 2; }));
    EXPECT_EQ(Bytes(), ReadOne());
}

// Only the gateway answers for the gateway: an endpoint that sends to one
// address takes datagrams from that address alone (any port), while one that
// sends to a group, as the search does, takes them from anyone.
TEST_F(EndpointLoopback, DatagramsFromOtherHostsPassOnlyToAGroupsEndpoint)
{
    ScriptedGateway stranger("127.0.0.2", 0, ScriptedGateway::Silent());
    for (const char* destination : {"127.0.0.1", "224.0.23.12"}) {
        SCOPED_TRACE(destination);
        Start(m_endpoint, destination);
        SendToEndpoint(Pattern(7, 0), &stranger);
        SendToEndpoint(Pattern(5, 1));
        EXPECT_TRUE(WaitUntil([&] { return m_endpoint.HasData() >= 5; }));
        Sleep(50);
        EXPECT_EQ(destination[0] == '2' ? 12u : 5u, m_endpoint.HasData());
        while (!ReadOne().empty()) {}
    }
}

TEST_F(EndpointLoopback, OversizedDatagramIsDroppedAndTheWorkerGoesOn)
{
    Start(m_endpoint);
    SendToEndpoint(Pattern(5000, 0));
    SendToEndpoint(Pattern(4096, 1));  // the largest that passes
    SendToEndpoint(Pattern(10, 2));
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 4106; }));
    EXPECT_EQ(Pattern(4096, 1), ReadOne());
    EXPECT_EQ(Pattern(10, 2), ReadOne());
}

// Writes waiting together still leave one datagram each (one of 2000 bytes
// as 1500 + 500): a receiver reads one frame per datagram. Data written
// just before Stop is still sent, once.
TEST_F(EndpointLoopback, WritesLeaveOneDatagramEachAndBeforeStop)
{
    const Bytes a = Pattern(26, 1), b = Pattern(2000, 2), c = Pattern(10, 3), d = Pattern(12, 4);
    EXPECT_EQ(26, m_endpoint.Write(a.data(), 26));
    EXPECT_EQ(2000, m_endpoint.Write(b.data(), 2000));
    EXPECT_EQ(10, m_endpoint.Write(c.data(), 10));
    Start(m_endpoint);
    ASSERT_TRUE(m_peer.WaitFor(4, 3000));
    m_endpoint.Write(d.data(), 12);
    m_endpoint.Stop();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_endpoint.m_hThread, 3000));
    const Bytes expected[] = {a, Bytes(b.begin(), b.begin() + 1500), Bytes(b.begin() + 1500, b.end()), c, d};
    ASSERT_TRUE(m_peer.WaitFor(5, 3000));
    EXPECT_FALSE(m_peer.WaitFor(6, 300));
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(expected[i], m_peer.Received()[i].bytes) << i;
}

// A restart 100 ms after Stop comes before the old worker's wait ends: one
// worker serves the pipes afterwards, and their contents carry over.
TEST_F(EndpointLoopback, RestartKeepsThePipesAndOneWorker)
{
    Start(m_endpoint);
    SendToEndpoint(Pattern(8, 50));
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 8; }));
    m_endpoint.Stop();
    Sleep(100);
    const Bytes queued = Pattern(6, 60);
    m_endpoint.Write(queued.data(), 6);
    Start(m_endpoint);
    ASSERT_TRUE(m_peer.WaitFor(1, 3000));
    EXPECT_EQ(queued, m_peer.Received()[0].bytes);
    EXPECT_EQ(Pattern(8, 50), ReadOne());
    for (int i = 0; i < 20; ++i) SendToEndpoint(Pattern(3, static_cast<BYTE>(i)));
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 60; }));
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint.m_received == 21; }));
}

TEST_F(EndpointLoopback, BusyPeerDoesNotHoldUpSendingOrStop)
{
    Start(m_endpoint);
    std::atomic<bool> flooding{true};
    ScriptedGateway flooder("127.0.0.1", 0, ScriptedGateway::Silent());
    std::thread flood([&] {
        while (flooding) {
            SendToEndpoint(Pattern(4, 0), &flooder);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const Bytes data = Pattern(9, 1);
    m_endpoint.Write(data.data(), 9);
    const bool sent = m_peer.WaitFor(1, 1000);
    m_endpoint.Stop();
    const bool ended = WaitForSingleObject(m_endpoint.m_hThread, 1000) == WAIT_OBJECT_0;
    flooding = false;
    flood.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(ended);
}

TEST_F(EndpointLoopback, FailedSendPrintsThreeLinesAndTheWorkerGoesOn)
{
    testing::internal::CaptureStdout();
    m_endpoint.m_strLocIpAddr = m_endpoint.m_strDstIpAddr = "127.0.0.1";
    m_endpoint.Start(0, 0);  // port 0 cannot be sent to
    m_endpoint.WaitRunning();
    const Bytes data = Pattern(5, 0);
    m_endpoint.Write(data.data(), 5);
    SendToEndpoint(data);
    const bool stillReceives = WaitUntil([&] { return m_endpoint.HasData() == 5; });
    m_endpoint.EndWorker();
    EXPECT_EQ("*** Error: WSAEINVAL        \n+   IP 127.0.0.1:0\n+   send 5/-1 bytes\n",
              testing::internal::GetCapturedStdout());
    EXPECT_TRUE(stillReceives);
}

// A start without both address texts, or whose bind fails, says so; the
// ports are stored all the same, and WaitRunning returns 0 at once.
TEST(EndpointStart, FailuresAreReportedAndWaitRunningReturns)
{
    struct Case {
        const char* local;
        const char* remote;
        DWORD started;
        const char* line;
    };
    const Case cases[] = {
        {"", "", 0, "UTC error: no LocIpAddr\n"},
        {"", "127.0.0.1", 0, "UTC error: no LocIpAddr\n"},
        {"127.0.0.1", "", 0, "UTC error: no DstIpAddr\n"},
        {"192.0.2.1", "127.0.0.1", 1, "error bind WSAEADDRNOTAVAIL \n"},  // never this host's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("local '") + c.local + "' remote '" + c.remote + "'");
        CUdpEndpoint endpoint;
        endpoint.m_strLocIpAddr = c.local;
        endpoint.m_strDstIpAddr = c.remote;
        testing::internal::CaptureStdout();
        EXPECT_EQ(c.started, endpoint.Start(3671, 1234));
        DWORD running = 1;
        ReturnsWithin(3000, "WaitRunning", [&] { running = endpoint.WaitRunning(); });
        EXPECT_EQ(c.line, testing::internal::GetCapturedStdout());
        EXPECT_EQ(0u, running);
        EXPECT_EQ(3671, endpoint.m_nDstPort);
        EXPECT_EQ(1234, endpoint.m_nLocPort);
    }
}

// A receive pipe that nobody reads fills up (far more arrives than a pipe
// holds); the worker must still end at once when the endpoint is destroyed
// or started again, and what the pipe took must be whole datagrams in order.
TEST(EndpointLifetime, FullReceivePipeHoldsUpNothing)
{
    const int kChunks = 40, kSize = 4096;  // records longer than one atomic pipe write
    for (const char* ending : {"destruction", "restart"}) {
        SCOPED_TRACE(ending);
        ScriptedGateway peer("127.0.0.1", 0, ScriptedGateway::Silent());
        std::optional<CUdpEndpoint> endpoint;
        endpoint.emplace();
        endpoint->m_strLocIpAddr = endpoint->m_strDstIpAddr = "127.0.0.1";
        ASSERT_EQ(1u, endpoint->Start(static_cast<DWORD>(peer.Port()), 0));
        ASSERT_EQ(1u, endpoint->WaitRunning());
        for (int i = 0; i < kChunks; ++i)
            peer.SendTo(Pattern(kSize, static_cast<BYTE>(i)), Loopback(endpoint->m_nLocPort));
        WaitUntil([&] { return endpoint->HasData() >= 8 * kSize; });
        if (std::string(ending) == "destruction") {
            ReturnsWithin(3000, ending, [&] { endpoint.reset(); });
            continue;
        }
        ReturnsWithin(3000, ending, [&] { endpoint->Start(static_cast<DWORD>(peer.Port()), 0); });
        ASSERT_EQ(1u, endpoint->WaitRunning());
        const BYTE kLastSeed = 200;  // sent to the new run: it must come after all the rest, whole
        peer.SendTo(Pattern(kSize, kLastSeed), Loopback(endpoint->m_nLocPort));
        Bytes read(kSize + 1);
        int last = -1, count = 0;
        WaitUntil([&] {
            for (int got; last != kLastSeed && (got = endpoint->Read(read.data(), kSize + 1)) > 0; ++count) {
                EXPECT_EQ(kSize, got);
                EXPECT_GT(read[0], last);
                EXPECT_EQ(Pattern(kSize, read[0]), Bytes(read.begin(), read.begin() + kSize));
                last = read[0];
            }
            return last == kLastSeed;
        });
        EXPECT_EQ(kLastSeed, last);
        EXPECT_GE(count, 8);
    }
}

// Windows' own WSAStartup has no way to make it fail.
#ifndef _WIN32
TEST(EndpointWithoutSockets, HasNoPipesAndRefusesWork)
{
    g_wsockFaults.bFailStartup = TRUE;
    testing::internal::CaptureStderr();
    CUdpEndpoint endpoint;
    const std::string box = testing::internal::GetCapturedStderr();
    g_wsockFaults.bFailStartup = FALSE;
    EXPECT_NE(std::string::npos, box.find("CLIENT cannot initialize WinSock")) << box;
    endpoint.m_strLocIpAddr = endpoint.m_strDstIpAddr = "127.0.0.1";
    BYTE buffer[8] = {1, 2, 3};
    EXPECT_EQ(0u, endpoint.Start(3671, 0));
    EXPECT_EQ(0u, endpoint.WaitRunning());
    EXPECT_EQ(0, endpoint.Write(buffer, 3));
    EXPECT_EQ(0u, endpoint.HasData());
    EXPECT_EQ(0, endpoint.Read(buffer, 8));
}
#endif

}  // namespace
