#include <gtest/gtest.h>

#include <algorithm>

#include "app/Monitor.h"
#include "core/KnxClient.h"
#include "tests/support/MessagePump.h"

// The bus monitor on a moved clock, a run of 4294968 s (more than a timer counts: 2^32 ms and a bit), against
// a gateway that refuses (0x24) or accepts (0: channel 4) connects, and answers heartbeats likewise.
class MonitorTest : public testing::Test, public MessagePump {
protected:
    MonitorTest() : MessagePump([this](const MSG& msg) { return m_monitor.OnMessage(msg); }) {}
    void SetUp() override
    {
        ASSERT_TRUE(m_file && m_monitor.Create() && m_client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
        m_client.Open("127.0.0.1", "127.0.0.72");
        ASSERT_TRUE(m_session.Create());
        m_session.Attach(m_client);
        m_monitor.Begin(m_session, 4294968);
    }
    void TearDown() override
    {
        std::fclose(m_file);
        std::free(m_text);
    }

    std::string Output(long lines = 1)  // waits up to 2 s for that many; all of it since the last call
    {
        PumpUntil([&] {
            return std::fflush(m_file) == 0 && std::count(m_text + m_seen, m_text + m_size, '\n') >= lines;
        });
        MoveClock(0);
        std::fflush(m_file);
        return std::string(m_text + std::exchange(m_seen, m_size), m_text + m_size);
    }

    std::atomic<int> m_connectStatus{0x24}, m_heartbeatStatus{0};
    const std::uint64_t m_deadlineMs = s_nowMs + 4294968000u;  // the end of Begin's run
    char* m_text = nullptr;
    size_t m_size = 0, m_seen = 0;
    FILE* m_file = open_memstream(&m_text, &m_size);
    CKnxClient m_client;
    CBusMonitor m_monitor{m_file, m_file};
    CTunnelSession m_session{m_monitor};
    ScriptedGateway m_gateway{"127.0.0.72", 3671, [this](const Bytes& r) {
        const int type = ServiceType(r);
        const auto s = std::uint8_t(type == 0x0205 ? m_connectStatus : m_heartbeatStatus);
        if (type != 0x0205 && type != 0x0207) return ScriptedGateway::Polite(4)(r);
        return std::vector<Bytes>{type == 0x0205 ? ConnectResponse(s ? 0 : 4, s) : ConnStateResponse(4, s)};
    }};
};

// One line per outcome; the waits double from 1 s to at most 30 s, none cut short, and restart at 1 s; a lost
// tunnel is connected again at once. The run ends neither early nor never, with the tunnel disconnected.
TEST_F(MonitorTest, ReconnectsWithBackOffAndEndsAtItsSeconds)
{
    const std::string refused = "connect failed: refused with status 36; next try in ";
    EXPECT_EQ(Output(4), "\nconnection failed:\n\n" + refused + "1 s\n");
    const std::pair<int, int> waits[] = {{1, 2}, {2, 4}, {4, 8}, {8, 16}, {16, 30}, {30, 30}};
    for (auto [wait, next] : waits) {
        const size_t attempts = m_gateway.CountOf(0x0205);
        MoveClock(wait * 1000 - 1);
        EXPECT_EQ(m_gateway.CountOf(0x0205), attempts) << "none before " << wait << " s";
        MoveClock(1);
        EXPECT_EQ(Output(), "re" + refused + std::to_string(next) + " s\n");
    }
    // The local address is missing (both binds fail): the attempt goes unanswered, and the next one opens
    // the endpoints afresh and connects.
    g_wsockFaults.nMissingAddressBinds = 2;
    MoveClock(30000);
    for (int repeat = 0; repeat < 5; ++repeat) MoveClock(1000);
    EXPECT_EQ(Output(), "reconnect failed: no answer; next try in 30 s\n");
    m_connectStatus = 0;
    MoveClock(30000);
    EXPECT_EQ(Output(), "reconnected: channel 4\n");
    const Bytes telegram = TunnellingRequest(4, 0);
    m_gateway.SendTo(telegram, Loopback(m_client.m_nDataPort));
    EXPECT_EQ(Output(), "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n");
    // The gateway repeats it: our acknowledgement was lost. The check at once finds the tunnel still there;
    // the gateway drops it a second after its repeat, and the check after that finds it gone (E_CONNECTION_ID).
    m_gateway.SendTo(telegram, Loopback(m_client.m_nDataPort));
    EXPECT_EQ(Output(0), "");
    m_heartbeatStatus = 0x21;
    MoveClock(1500);
    const std::string lostAgain = "connection lost: the gateway answered the heartbeat with status 33; reconnecting\n"
                                  "reconnected: channel 4\n";
    EXPECT_EQ(Output(2), lostAgain);
    // A telegram (the new tunnel counts from 0 again), then silence: the next one and its repeat may both have
    // been lost on the way, and the gateway dropped the tunnel. The check after 2.5 s without a telegram finds it gone.
    m_heartbeatStatus = 0;
    m_gateway.SendTo(telegram, Loopback(m_client.m_nDataPort));
    EXPECT_EQ(Output(), "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n");
    m_heartbeatStatus = 0x21;
    MoveClock(2500);
    EXPECT_EQ(Output(2), lostAgain);
    m_heartbeatStatus = 0;
    MoveClock(m_deadlineMs - s_nowMs - 500);  // heartbeats, answered, until half a second before the end
    EXPECT_EQ(Output(0), "");
    EXPECT_FALSE(m_over);
    MoveClock(500);
    EXPECT_EQ(Output(3), "disconnected\nchannel      4 \n\n");
    EXPECT_TRUE(m_over && m_gateway.CountOf(0x0209) == 2) << "the disconnect, twice at once";
}
