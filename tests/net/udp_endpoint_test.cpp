// The endpoint over loopback against a plain socket peer. Every wait is
// bounded; a call that should return but hangs aborts the run.
#ifndef _WIN32
#include <sys/select.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/UdpEndpoint.h"
#include "platform/winbase.h"
#include "platform/wsock.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Pattern(size_t length, BYTE seed) {
    Bytes bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<BYTE>(seed + i * 7);
    return bytes;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

// Runs a call that must return; a hang would otherwise stall the suite.
void ReturnsWithin(int timeoutMs, const char* what, const std::function<void()>& call) {
    std::atomic<bool> done{false};
    std::thread runner([&] { call(); done = true; });
    if (!WaitUntil([&] { return done.load(); }, timeoutMs)) {
        fprintf(stderr, "%s did not return within %d ms\n", what, timeoutMs);
        std::abort();
    }
    runner.join();
}

// A plain UDP socket on 127.0.0.1 with a port the system chose.
class Peer {
public:
    explicit Peer(const char* host = "127.0.0.1") {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address = Loopback(0);
        address.sin_addr.s_addr = inet_addr(host);
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~Peer() { closesocket(m_fd); }

    int port() const { return m_port; }

    void SendTo(int port, const Bytes& bytes) {
        sockaddr_in to = Loopback(port);
        sendto(m_fd, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    // One datagram, or false when none came within the time.
    bool Receive(Bytes& bytes, int timeoutMs = 3000, int* fromPort = nullptr) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(m_fd, &readable);
        timeval wait = {timeoutMs / 1000, timeoutMs % 1000 * 1000};
        if (select(static_cast<int>(m_fd) + 1, &readable, nullptr, nullptr, &wait) != 1) return false;
        bytes.resize(65536);
        sockaddr_in from;
        socklen_t length = sizeof from;
        const int got = static_cast<int>(recvfrom(m_fd, reinterpret_cast<char*>(bytes.data()),
                                                  static_cast<int>(bytes.size()), 0,
                                                  reinterpret_cast<sockaddr*>(&from), &length));
        if (got < 0) return false;
        bytes.resize(static_cast<size_t>(got));
        if (fromPort) *fromPort = ntohs(from.sin_port);
        return true;
    }

private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    SOCKET m_fd = INVALID_SOCKET;
    int m_port = 0;
};

// Counts notifications. Its destructor ends the worker itself, since the
// worker calls OnReceive through this object until it has ended.
class CountingEndpoint : public CUdpEndpoint {
public:
    ~CountingEndpoint() {
        Stop();
        if (m_hThread) WaitForSingleObject(m_hThread, INFINITE);
    }
    void OnReceive() override { ++m_received; }
    std::atomic<int> m_received{0};
};

class EndpointLoopback : public ::testing::Test {
protected:
    void StartAgainst(CUdpEndpoint& endpoint, int remotePort) {
        endpoint.m_strLocIpAddr = "127.0.0.1";
        endpoint.m_strDstIpAddr = "127.0.0.1";
        ASSERT_EQ(1u, endpoint.Start(static_cast<DWORD>(remotePort), 0));
        DWORD running = 0;
        ReturnsWithin(3000, "WaitRunning", [&] { running = endpoint.WaitRunning(); });
        ASSERT_EQ(1u, running);
    }

    void StopAndWaitForEnd(CUdpEndpoint& endpoint) {
        endpoint.Stop();
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(endpoint.m_hThread, 3000));
    }

    Peer m_peer;
    CountingEndpoint m_endpoint;
};

// The answer comes from a socket other than the one written to: the
// endpoint takes datagrams from any sender.
TEST_F(EndpointLoopback, DatagramsTravelBothWaysFromTheBoundPort) {
    StartAgainst(m_endpoint, m_peer.port());
    ASSERT_NE(0, m_endpoint.m_nLocPort);
    EXPECT_EQ(0u, m_endpoint.WaitForData(20));

    const Bytes request = Pattern(26, 1);
    ASSERT_EQ(26, m_endpoint.Write(request.data(), 26));
    Bytes got;
    int fromPort = 0;
    ASSERT_TRUE(m_peer.Receive(got, 3000, &fromPort));
    EXPECT_EQ(request, got);
    EXPECT_EQ(m_endpoint.m_nLocPort, fromPort);

    const Bytes answer = Pattern(21, 9);
    Peer stranger;
    stranger.SendTo(m_endpoint.m_nLocPort, answer);
    ASSERT_EQ(21u, m_endpoint.WaitForData(3000));
    Bytes read(1024);
    ASSERT_EQ(21, m_endpoint.Read(read.data(), 1024));
    read.resize(21);
    EXPECT_EQ(answer, read);
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint.m_received == 1; }));
    EXPECT_EQ(0, m_endpoint.Read(read.data(), 1024));
}

// Datagrams keep their boundaries through the receive pipe: each Read takes
// the oldest whole, and drops what does not fit the caller's buffer.
TEST_F(EndpointLoopback, ReadTakesOneDatagramAndDropsWhatDoesNotFit) {
    StartAgainst(m_endpoint, m_peer.port());
    const Bytes first = Pattern(26, 1), second = Pattern(21, 100);
    for (DWORD max : {1024u, 20u}) {
        SCOPED_TRACE("max " + std::to_string(max));
        m_peer.SendTo(m_endpoint.m_nLocPort, first);
        m_peer.SendTo(m_endpoint.m_nLocPort, second);
        ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 47; }));
        Bytes read(1024);
        const int firstCount = max < 26 ? static_cast<int>(max) : 26;
        ASSERT_EQ(firstCount, m_endpoint.Read(read.data(), max));
        EXPECT_EQ(Bytes(first.begin(), first.begin() + firstCount), Bytes(read.begin(), read.begin() + firstCount));
        EXPECT_EQ(21u, m_endpoint.HasData());
        ASSERT_EQ(21, m_endpoint.Read(read.data(), 1024));
        EXPECT_EQ(second, Bytes(read.begin(), read.begin() + 21));
        EXPECT_EQ(0u, m_endpoint.HasData());
    }
}

// Only the gateway answers for the gateway: an endpoint that sends to one
// address takes datagrams from that address alone (any port), while one that
// sends to a group, as the search does, takes them from anyone.
TEST_F(EndpointLoopback, DatagramsFromOtherHostsPassOnlyToAGroupsEndpoint) {
    Peer stranger("127.0.0.2");
    struct Case {
        const char* destination;
        DWORD expected;
    } cases[] = {{"127.0.0.1", 5}, {"224.0.23.12", 12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.destination);
        CountingEndpoint endpoint;
        endpoint.m_strLocIpAddr = "127.0.0.1";
        endpoint.m_strDstIpAddr = c.destination;
        ASSERT_EQ(1u, endpoint.Start(3671, 0));
        ASSERT_EQ(1u, endpoint.WaitRunning());
        stranger.SendTo(endpoint.m_nLocPort, Pattern(7, 0));
        m_peer.SendTo(endpoint.m_nLocPort, Pattern(5, 1));
        EXPECT_TRUE(WaitUntil([&] { return endpoint.HasData() >= 5; }));
        Sleep(50);
        EXPECT_EQ(c.expected, endpoint.HasData());
    }
}

TEST_F(EndpointLoopback, OversizedDatagramIsDroppedAndTheWorkerGoesOn) {
    StartAgainst(m_endpoint, m_peer.port());
    m_peer.SendTo(m_endpoint.m_nLocPort, Pattern(5000, 0));
    m_peer.SendTo(m_endpoint.m_nLocPort, Pattern(4096, 1));  // the largest that passes
    const Bytes small = Pattern(10, 2);
    m_peer.SendTo(m_endpoint.m_nLocPort, small);
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 4106; }));
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint.m_received == 2; }));
    Bytes read(8192);
    ASSERT_EQ(4096, m_endpoint.Read(read.data(), 8192));
    ASSERT_EQ(10, m_endpoint.Read(read.data(), 8192));
    EXPECT_EQ(small, Bytes(read.begin(), read.begin() + 10));
    EXPECT_EQ(1, m_endpoint.m_bRunning.load());
}

// Writes waiting together in the pipe still leave one datagram each (one of
// 2000 bytes as 1500 + 500): a receiver reads one frame per datagram and
// would lose a joined second one.
TEST_F(EndpointLoopback, WritesWaitingTogetherLeaveOneDatagramEach) {
    const Bytes a = Pattern(26, 1), b = Pattern(2000, 2), c = Pattern(10, 3);
    EXPECT_EQ(26, m_endpoint.Write(a.data(), 26));
    EXPECT_EQ(2000, m_endpoint.Write(b.data(), 2000));
    EXPECT_EQ(10, m_endpoint.Write(c.data(), 10));
    StartAgainst(m_endpoint, m_peer.port());
    const Bytes expected[] = {a, Bytes(b.begin(), b.begin() + 1500), Bytes(b.begin() + 1500, b.end()), c};
    for (const Bytes& want : expected) {
        Bytes got;
        ASSERT_TRUE(m_peer.Receive(got));
        EXPECT_EQ(want, got);
    }
}

TEST_F(EndpointLoopback, DataWrittenJustBeforeStopIsSentOnce) {
    StartAgainst(m_endpoint, m_peer.port());
    const Bytes data = Pattern(12, 4);
    m_endpoint.Write(data.data(), 12);
    StopAndWaitForEnd(m_endpoint);
    EXPECT_EQ(0, m_endpoint.m_bRunning.load());
    Bytes got;
    ASSERT_TRUE(m_peer.Receive(got));
    EXPECT_EQ(data, got);
    EXPECT_FALSE(m_peer.Receive(got, 300));
}

TEST_F(EndpointLoopback, StopAndRestartKeepThePipesContents) {
    StartAgainst(m_endpoint, m_peer.port());
    const Bytes received = Pattern(8, 50);
    m_peer.SendTo(m_endpoint.m_nLocPort, received);
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 8; }));
    StopAndWaitForEnd(m_endpoint);

    const Bytes queued = Pattern(6, 60);
    m_endpoint.Write(queued.data(), 6);  // no worker: stays in the send pipe
    StartAgainst(m_endpoint, m_peer.port());
    Bytes got;
    ASSERT_TRUE(m_peer.Receive(got));
    EXPECT_EQ(queued, got);
    Bytes read(1024);
    ASSERT_EQ(8, m_endpoint.Read(read.data(), 1024));
    read.resize(8);
    EXPECT_EQ(received, read);
}

TEST_F(EndpointLoopback, RestartRightAfterStopLeavesOneWorker) {
    // A restart 100 ms after Stop comes before the old worker's wait ends.
    StartAgainst(m_endpoint, m_peer.port());
    m_endpoint.Stop();
    Sleep(100);
    StartAgainst(m_endpoint, m_peer.port());
    for (int i = 0; i < 20; ++i) m_peer.SendTo(m_endpoint.m_nLocPort, Pattern(3, static_cast<BYTE>(i)));
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint.HasData() == 60; }));
    EXPECT_EQ(1, m_endpoint.m_bRunning.load());
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint.m_received == 20; }));
}

TEST_F(EndpointLoopback, BusyPeerDoesNotHoldUpSendingOrStop) {
    StartAgainst(m_endpoint, m_peer.port());
    std::atomic<bool> flooding{true};
    Peer flooder;
    const int port = m_endpoint.m_nLocPort;
    std::thread flood([&] {
        while (flooding) {
            flooder.SendTo(port, Pattern(4, 0));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    Bytes scrap(65536);
    while (m_endpoint.Read(scrap.data(), 65536) > 0) {
    }
    const Bytes data = Pattern(9, 1);
    m_endpoint.Write(data.data(), 9);
    Bytes got;
    const bool sent = m_peer.Receive(got, 1000);
    m_endpoint.Stop();
    const bool ended = WaitForSingleObject(m_endpoint.m_hThread, 1000) == WAIT_OBJECT_0;
    flooding = false;
    flood.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(data, got);
    EXPECT_TRUE(ended);
}

TEST_F(EndpointLoopback, FailedSendPrintsThreeLinesAndTheWorkerGoesOn) {
    testing::internal::CaptureStdout();
    StartAgainst(m_endpoint, 0);  // port 0 cannot be sent to
    const Bytes data = Pattern(5, 0);
    m_endpoint.Write(data.data(), 5);
    Peer stranger;
    stranger.SendTo(m_endpoint.m_nLocPort, data);
    const bool stillReceives = WaitUntil([&] { return m_endpoint.HasData() == 5; });
    StopAndWaitForEnd(m_endpoint);
    EXPECT_EQ("*** Error: WSAEINVAL        \n+   IP 127.0.0.1:0\n+   send 5/-1 bytes\n",
              testing::internal::GetCapturedStdout());
    EXPECT_TRUE(stillReceives);
}

TEST(EndpointStart, RefusedWithoutAddressTexts) {
    struct Case {
        const char* local;
        const char* remote;
        const char* line;
    };
    const Case cases[] = {
        {"", "", "UTC error: no LocIpAddr\n"},
        {"", "127.0.0.1", "UTC error: no LocIpAddr\n"},
        {"127.0.0.1", "", "UTC error: no DstIpAddr\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("local '") + c.local + "' remote '" + c.remote + "'");
        CUdpEndpoint endpoint;
        endpoint.m_strLocIpAddr = c.local;
        endpoint.m_strDstIpAddr = c.remote;
        testing::internal::CaptureStdout();
        EXPECT_EQ(0u, endpoint.Start(3671, 1234));
        EXPECT_EQ(c.line, testing::internal::GetCapturedStdout());
        EXPECT_EQ(3671, endpoint.m_nDstPort);
        EXPECT_EQ(1234, endpoint.m_nLocPort);
        DWORD running = 1;
        ReturnsWithin(1000, "WaitRunning", [&] { running = endpoint.WaitRunning(); });
        EXPECT_EQ(0u, running);
    }
}

TEST(EndpointStart, BindOnForeignAddressIsReportedAndWaitRunningReturns) {
    CUdpEndpoint endpoint;
    endpoint.m_strLocIpAddr = "192.0.2.1";  // documentation range: never this host's
    endpoint.m_strDstIpAddr = "127.0.0.1";
    testing::internal::CaptureStdout();
    ASSERT_EQ(1u, endpoint.Start(3671, 0));
    DWORD running = 1;
    ReturnsWithin(3000, "WaitRunning", [&] { running = endpoint.WaitRunning(); });
    EXPECT_EQ("error bind WSAEADDRNOTAVAIL \n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0u, running);
    EXPECT_EQ(0, endpoint.m_bRunning.load());
}

// A receive pipe that nobody reads fills up (far more arrives than a pipe
// holds); the worker must still end at once when the endpoint is destroyed
// or started again, and what the pipe took must be whole datagrams in order.
TEST(EndpointLifetime, FullReceivePipeHoldsUpNothing) {
    const int kChunks = 40, kSize = 4096;  // records longer than one atomic pipe write
    for (const char* ending : {"destruction", "restart"}) {
        SCOPED_TRACE(ending);
        Peer peer;
        std::optional<CUdpEndpoint> endpoint;
        endpoint.emplace();
        endpoint->m_strLocIpAddr = "127.0.0.1";
        endpoint->m_strDstIpAddr = "127.0.0.1";
        ASSERT_EQ(1u, endpoint->Start(static_cast<DWORD>(peer.port()), 0));
        ASSERT_EQ(1u, endpoint->WaitRunning());
        for (int i = 0; i < kChunks; ++i) peer.SendTo(endpoint->m_nLocPort, Pattern(kSize, static_cast<BYTE>(i)));
        WaitUntil([&] { return endpoint->HasData() >= 8 * kSize; });
        if (std::string(ending) == "destruction") {
            ReturnsWithin(3000, ending, [&] { endpoint.reset(); });
            continue;
        }
        ReturnsWithin(3000, ending, [&] { endpoint->Start(static_cast<DWORD>(peer.port()), 0); });
        ASSERT_EQ(1u, endpoint->WaitRunning());
        const BYTE kLastSeed = 200;  // sent to the new run: it must come after all the rest, whole
        peer.SendTo(endpoint->m_nLocPort, Pattern(kSize, kLastSeed));
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
TEST(EndpointWithoutSockets, HasNoPipesAndRefusesWork) {
    g_wsockFaults.bFailStartup = TRUE;
    testing::internal::CaptureStderr();
    CUdpEndpoint endpoint;
    const std::string box = testing::internal::GetCapturedStderr();
    g_wsockFaults.bFailStartup = FALSE;
    EXPECT_NE(std::string::npos, box.find("CLIENT cannot initialize WinSock")) << box;

    EXPECT_EQ(nullptr, endpoint.m_hRxPipeRead);
    EXPECT_EQ(nullptr, endpoint.m_hTxPipeWrite);
    endpoint.m_strLocIpAddr = "127.0.0.1";
    endpoint.m_strDstIpAddr = "127.0.0.1";
    BYTE buffer[8] = {1, 2, 3};
    EXPECT_EQ(0u, endpoint.Start(3671, 0));
    EXPECT_EQ(0u, endpoint.WaitRunning());
    EXPECT_EQ(0, endpoint.Write(buffer, 3));
    EXPECT_EQ(0u, endpoint.HasData());
    EXPECT_EQ(0, endpoint.Read(buffer, 8));
}
#endif

}  // namespace
