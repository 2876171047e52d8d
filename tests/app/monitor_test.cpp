// The bus monitor's message loop against a scripted gateway on loopback, on a
// moved clock: the run's end, and reconnecting with back-off after the
// client found the tunnel gone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "app/Monitor.h"
#include "core/KnxClient.h"
#include "platform/clock.h"
#include "tests/support/ScriptedGateway.h"

namespace {

std::atomic<std::uint64_t> g_testNowMs{5000000};
std::uint64_t TestNow() { return g_testNowMs.load(); }

// What the scripted gateway does with each kind of request; tests change it
// between steps.
struct Behaviour {
    std::atomic<int> connectStatus{0};    // -1: no answer; 0: channel 4; else refused with it
    std::atomic<int> heartbeatStatus{0};  // -1: no answer
};

ScriptedGateway::Script Scripted(Behaviour& b)
{
    return [&b](const Bytes& request) -> std::vector<Bytes> {
        switch (ServiceType(request)) {
        case 0x0205:
            if (b.connectStatus < 0) return {};
            return {
                ConnectResponse(b.connectStatus == 0 ? 4 : 0, static_cast<std::uint8_t>(b.connectStatus))};
        case 0x0207:
            if (b.heartbeatStatus < 0) return {};
            return {ConnStateResponse(4, static_cast<std::uint8_t>(b.heartbeatStatus))};
        default:
            return ScriptedGateway::Polite(4)(request);
        }
    };
}

class MonitorTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetClockSource(&TestNow);
        m_file = open_memstream(&m_text, &m_size);
        ASSERT_NE(m_file, nullptr);
        m_monitor.reset(new CBusMonitor(m_file));
        ASSERT_TRUE(m_monitor->Create());
        m_client.reset(new CKnxClient);
        ASSERT_TRUE(m_client->CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
    }
    void TearDown() override
    {
        m_client->DestroyWindow();
        m_client.reset();
        m_monitor.reset();
        std::fclose(m_file);
        std::free(m_text);
        SetClockSource(nullptr);
    }

    void Begin(const char* gateway, int seconds)
    {
        m_client->Open("127.0.0.1", gateway);
        m_monitor->Begin(*m_client, seconds);
    }

    // Hands queued messages to the monitor until done() holds, the monitor
    // has ended, or about two seconds passed.
    bool PumpUntil(const std::function<bool()>& done)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        do {
            MSG msg;
            while (!m_ended && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                m_ended = !m_monitor->OnMessage(msg);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (!m_ended && std::chrono::steady_clock::now() < deadline);
        return done();
    }

    // Moves the clock, then lets everything that follows from it happen.
    void MoveClock(std::uint64_t ms)
    {
        g_testNowMs += ms;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
        PumpUntil([&] { return std::chrono::steady_clock::now() >= until; });
    }

    // What the monitor wrote since the last call.
    std::string NewOutput()
    {
        std::fflush(m_file);
        std::string fresh(m_text + m_seen, m_size - m_seen);
        m_seen = m_size;
        return fresh;
    }

    // Waits for output from the monitor and returns all of it that came.
    std::string WaitForOutput()
    {
        PumpUntil([&] { return std::fflush(m_file) == 0 && m_size > m_seen; });
        MoveClock(0);
        return NewOutput();
    }

    char* m_text = nullptr;
    size_t m_size = 0;
    FILE* m_file = nullptr;
    size_t m_seen = 0;
    bool m_ended = false;
    std::unique_ptr<CBusMonitor> m_monitor;
    std::unique_ptr<CKnxClient> m_client;
};

const char kConnectReport[] =
    "\nconnection ok:\nchannel       4 \nstatus        0 \nIP address    127 0 0 9  \n"
    "data          04 04 11 fa  \n\n";

}  // namespace

TEST(MonitorSeconds, WholeNumbersFromOneToAYear)
{
    struct Case {
        const char* text;
        int seconds;
    };
    const Case cases[] = {
        {"1", 1},
        {"60", 60},
        {"31536000", 31536000},
        {"4294968", 4294968},
        {"0", -1},
        {"31536001", -1},
        {"99999999999999999999", -1},
        {"-1", -1},
        {"+5", -1},
        {" 5", -1},
        {"5s", -1},
        {"abc", -1},
        {"", -1},
        {"1.5", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMonitorSeconds(c.text), c.seconds) << '"' << c.text << '"';
}

// A run longer than a timer can count (4294968 s is 2^32 ms and a bit) ends
// neither early nor never.
TEST_F(MonitorTest, RunEndsAtItsSeconds)
{
    Behaviour b;
    ScriptedGateway gateway("127.0.0.71", 3671, Scripted(b));
    ASSERT_TRUE(gateway.ok());
    Begin("127.0.0.71", 4294968);
    ASSERT_TRUE(PumpUntil([&] { return m_client->m_nChannelId == 4; }));
    EXPECT_EQ(NewOutput(), kConnectReport);
    for (std::uint64_t step : {700ull, 4294967000ull - 700ull}) {
        MoveClock(step);
        EXPECT_FALSE(m_ended) << "after " << step << " ms more";
        EXPECT_EQ(gateway.CountOf(0x0209), 0u);
    }
    MoveClock(1000);
    EXPECT_TRUE(PumpUntil([&] { return m_ended; }));
    EXPECT_EQ(NewOutput(), "disconnected\nchannel      4 \n\n");
}

// Every outcome is one line; the waits double from 1 s to at most 30 s, start
// again at 1 s once connected, and no attempt comes before its wait is over.
TEST_F(MonitorTest, ReconnectsWithBackOff)
{
    Behaviour b;
    b.connectStatus = 0x24;  // no more connections
    ScriptedGateway gateway("127.0.0.72", 3671, Scripted(b));
    ASSERT_TRUE(gateway.ok());
    Begin("127.0.0.72", 0);
    EXPECT_EQ(WaitForOutput(),
              "\nconnection failed:\n\nconnect failed: refused with status 36; next try in 1 s\n");
    std::uint64_t wait = 1;
    size_t attempts = 1;
    for (int next : {2, 4, 8, 16, 30, 30}) {
        MoveClock(wait * 1000 - 1);
        EXPECT_EQ(gateway.CountOf(0x0205), attempts) << "none before " << wait << " s";
        MoveClock(1);
        ++attempts;
        EXPECT_EQ(WaitForOutput(),
                  "reconnect failed: refused with status 36; next try in " + std::to_string(next) + " s\n");
        EXPECT_EQ(gateway.CountOf(0x0205), attempts);
        wait = static_cast<std::uint64_t>(next);
    }

    b.connectStatus = -1;
    MoveClock(wait * 1000);
    MoveClock(10000);
    EXPECT_EQ(WaitForOutput(), "reconnect failed: no answer; next try in 30 s\n");

    b.connectStatus = 0;
    MoveClock(30000);
    EXPECT_EQ(WaitForOutput(), "reconnected: channel 4\n");
    gateway.SendTo(ParseHex("06 10 04 20 00 15 04 04 00 00 29 00 BC E0 11 05 0A 03 01 00 81"),
                   Loopback(m_client->m_nDataPort));
    EXPECT_EQ(WaitForOutput(), "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n");
    EXPECT_EQ(m_client->m_strLog, "") << "printed output leaves the client's log";

    b.heartbeatStatus = 0x21;  // E_CONNECTION_ID: the gateway restarted
    MoveClock(10000);
    EXPECT_EQ(WaitForOutput(),
              "connection lost: the gateway answered the heartbeat with status 33; reconnecting in 1 s\n");

    // Nothing is open while waiting: the run ends at once, with nothing to disconnect.
    PostMessageA(m_monitor->Window(), CBusMonitor::WM_MONITOR_STOP, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return m_ended; }));
    EXPECT_EQ(gateway.CountOf(0x0209), 0u);
    EXPECT_EQ(NewOutput(), "");
}
