// The endpoint over loopback against a scripted peer; every wait bounded, a call that hangs aborts the run.
#include <gtest/gtest.h>

#include <future>
#include <optional>

#include "net/UdpEndpoint.h"
#include "platform/winbase.h"
#include "tests/support/ScriptedGateway.h"

static void ReturnsInTime(const std::function<void()>& call)
{
    auto done = std::async(std::launch::async, call);  // kept: a temporary would wait for the call
    if (done.wait_for(std::chrono::seconds(3)) != std::future_status::ready) std::abort();
}

class EndpointLoopback : public ::testing::Test {
protected:
    void Start(const char* destination = "127.0.0.1", int port = -1)
    {
        ASSERT_EQ(1u, m_endpoint->Start("127.0.0.1", destination,
                                        static_cast<DWORD>(port < 0 ? m_peer.Port() : port), 0));
        ReturnsInTime([&] { EXPECT_EQ(1u, m_endpoint->WaitRunning()); });
    }
    void Send(const Bytes& bytes, ScriptedGateway* from = nullptr)
    {
        (from ? *from : m_peer).SendTo(bytes, Loopback(m_endpoint->m_nLocPort));
    }
    Bytes ReadOne(DWORD max = 8192)
    {
        Bytes read(8192);
        return read.resize(static_cast<size_t>(m_endpoint->Read(read.data(), max))), read;
    }
    ScriptedGateway m_peer{"127.0.0.1", 0, nullptr};
    std::optional<CUdpEndpoint> m_endpoint{std::in_place};
};

// Datagrams keep their boundaries both ways: a Read takes the oldest whole, cut to the buffer; one too large
// is dropped; waiting writes leave one datagram each (2000 as 1500 + 500); one just before a stop goes, once.
TEST_F(EndpointLoopback, DatagramsTravelBothWaysWhole)
{
    const Bytes a(26, 1), b(2000, 2), c(10, 3), d(12, 4);
    for (const Bytes* out : {&a, &b, &c}) m_endpoint->Write(out->data(), static_cast<DWORD>(out->size()));
    Start();
    for (const Bytes& in : {a, Bytes(5000, 0), Bytes(4096, 1), Bytes(21, 100)}) Send(in);
    ASSERT_TRUE(WaitUntil([&] { return m_endpoint->HasData() == 26 + 4096 + 21; }));
    const std::vector<Bytes> read = {ReadOne(20), ReadOne(), ReadOne()};  // in this order
    EXPECT_EQ(read, (std::vector<Bytes>{Bytes(20, 1), Bytes(4096, 1), Bytes(21, 100)}));
    EXPECT_EQ(0u, m_endpoint->HasData()) << "the cut one counted whole";
    ASSERT_TRUE(m_peer.WaitFor(4, 3000));
    m_endpoint->Write(d.data(), 12);
    m_endpoint->RequestStop();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_endpoint->m_hThread, 3000));
    ASSERT_TRUE(m_peer.WaitFor(5, 3000) && !m_peer.WaitFor(6, 300));
    const Bytes expected[] = {a, Bytes(1500, 2), Bytes(500, 2), c, d};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(expected[i], m_peer.Received()[i].bytes) << i;
}

// Sending to one address, it takes datagrams from there alone (any port); sending to a group, from anyone.
TEST_F(EndpointLoopback, DatagramsFromOtherHostsPassOnlyToAGroupsEndpoint)
{
    ScriptedGateway stranger("127.0.0.2", 0, nullptr);
    for (const char* destination : {"127.0.0.1", "224.0.23.12"}) {
        Start(destination);
        Send(Bytes(7, 0), &stranger);
        Send(Bytes(5, 1));
        WaitUntil([&] { return m_endpoint->HasData() >= 5; }), Sleep(50);
        EXPECT_EQ(destination[0] == '2' ? 12u : 5u, m_endpoint->HasData()) << destination;
        while (!ReadOne().empty()) {}
    }
}

TEST_F(EndpointLoopback, FailedSendPrintsThreeLinesAndTheWorkerGoesOn)
{
    testing::internal::CaptureStdout();
    Start("127.0.0.1", 0);  // port 0 cannot be sent to
    m_endpoint->Write(Bytes(5, 0).data(), 5);
    Send(Bytes(5, 0));
    EXPECT_TRUE(WaitUntil([&] { return m_endpoint->HasData() == 5; }));
    m_endpoint.reset();
    EXPECT_EQ("*** Error: WSAEINVAL        \n+   IP 127.0.0.1:0\n+   send 5/-1 bytes\n",
              testing::internal::GetCapturedStdout());
}

// With no worker, each write returns at once: the pipe takes whole records while they fit, drops the rest.
// A started worker sends each whole; a peer that keeps sending holds up neither a write nor the stop.
TEST_F(EndpointLoopback, NeitherAFullPipeNorABusyPeerHoldsUpWork)
{
    int taken = 0;
    ReturnsInTime([&] {
        for (int i = 0; i < 100; ++i) taken += m_endpoint->Write(Bytes(1000, BYTE(i)).data(), 1000) / 1000;
    });
    EXPECT_TRUE(taken > 30 && taken < 100) << taken;
    Start();
    ASSERT_TRUE(m_peer.WaitFor(size_t(taken), 3000) && !m_peer.WaitFor(size_t(taken) + 1, 200));
    for (int i = 0; i < taken; ++i) EXPECT_EQ(m_peer.Received()[size_t(i)].bytes, Bytes(1000, BYTE(i))) << i;
    std::atomic<bool> flooding{true};
    ScriptedGateway flooder("127.0.0.1", 0, nullptr);
    std::thread flood([&] {
        for (; flooding; Sleep(2)) Send(Bytes(4, 0), &flooder);
    });
    Sleep(50);
    m_endpoint->Write(Bytes(9, 1).data(), 9);
    const bool sent = m_peer.WaitFor(size_t(taken) + 1, 1000);
    m_endpoint->RequestStop();
    EXPECT_TRUE(sent && WaitForSingleObject(m_endpoint->m_hThread, 1000) == WAIT_OBJECT_0);
    flooding = false, flood.join();
}

// A full receive pipe holds up neither destruction nor restart; its records (over a pipe write) stay whole.
TEST_F(EndpointLoopback, FullReceivePipeHoldsUpNothing)
{
    for (bool restart : {false, true}) {
        m_endpoint.emplace();
        Start();
        for (int i = 0; i < 40; ++i) Send(Bytes(4096, BYTE(i)));
        WaitUntil([&] { return m_endpoint->HasData() >= 8 * 4096; });
        ReturnsInTime([&] { restart ? Start() : m_endpoint.reset(); });
        if (!restart) continue;
        // Sent to the new run: after all the rest, whole, even if the old run left a record half in the pipe.
        Send(Bytes(4096, 200));
        int last = -1;
        WaitUntil([&] {
            for (Bytes got; last != 200 && !(got = ReadOne()).empty(); last = got[0])
                EXPECT_TRUE(got.size() == 4096 && got[0] > last && got[4095] == got[0]) << last;
            return last == 200;
        });
        EXPECT_EQ(200, last);
    }
}
