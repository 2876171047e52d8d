// The client driven by window messages against a scripted gateway on loopback:
// heartbeat on a moved test clock, reports and acknowledgements of what the
// gateway sends, and Connect/Disconnect that leave the answers to the handlers.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/KnxClient.h"
#include "platform/clock.h"
#include "tests/support/ScriptedGateway.h"

namespace {

std::atomic<std::uint64_t> g_testNowMs{1000000};
std::uint64_t TestNow() { return g_testNowMs.load(); }

const UINT kOutputMsg = WM_USER + 1;

// Dispatches queued messages until done() holds or about two seconds passed.
bool PumpUntil(const std::function<bool()>& done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

void PumpFor(int ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    PumpUntil([&] { return std::chrono::steady_clock::now() >= deadline; });
}

Bytes TunnellingRequest(std::uint8_t channel, std::uint8_t sequence, std::uint8_t apci)
{
    // L_Data.ind from 1.1.5 to 1/2/3, one data byte in the APCI.
    return {0x06, 0x10, 0x04, 0x20, 0x00, 0x15, 0x04, channel, sequence, 0x00, 0x29,
            0x00, 0xBC, 0xE0, 0x11, 0x05, 0x0A, 0x03, 0x01,    0x00,     apci};
}

class WindowModeTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetClockSource(&TestNow);
        ASSERT_TRUE(m_output.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
        NewClient();
    }
    void TearDown() override
    {
        m_client->DestroyWindow();
        m_client.reset();
        m_output.DestroyWindow();
        SetClockSource(nullptr);
    }

    // A fresh client with its window, as a host makes one before Open.
    void NewClient()
    {
        if (m_client) m_client->DestroyWindow();
        m_client.reset(new CKnxClient);
        ASSERT_TRUE(m_client->CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
    }

    // Opens against the gateway and, with the output window set, connects.
    void OpenAndConnect(ScriptedGateway& gateway, const char* address)
    {
        ASSERT_TRUE(gateway.ok());
        m_client->Open("127.0.0.1", address);
        m_client->m_pOutputWnd = &m_output;
        m_client->m_nOutputMsg = kOutputMsg;
        m_client->Connect();
        ASSERT_TRUE(PumpUntil([&] { return m_client->m_nChannelId != 1; }));
    }

    void MoveClock(int ms) { g_testNowMs += static_cast<std::uint64_t>(ms); }

    std::unique_ptr<CKnxClient> m_client;
    CWnd m_output;
};

}  // namespace

TEST_F(WindowModeTest, HeartbeatCarriesChannelOneBeforeAnyConnect)
{
    ScriptedGateway gateway("127.0.0.31", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(gateway.ok());
    m_client->Open("127.0.0.1", "127.0.0.31");
    MoveClock(9990);
    PumpFor(50);
    EXPECT_EQ(gateway.Received().size(), 0u) << "no tick before ten seconds";
    MoveClock(10);
    ASSERT_TRUE(PumpUntil([&] { return gateway.Received().size() == 1; }));
    char expected[64];
    snprintf(expected, sizeof expected, "06 10 02 07 00 10 01 00 08 01 7F 00 00 01 %02X %02X",
             m_client->m_nControlPort >> 8, m_client->m_nControlPort & 0xFF);
    EXPECT_EQ(HexOf(gateway.Received()[0].bytes), expected);
}

TEST_F(WindowModeTest, ConnectAndDisconnectReturnAtOnceAndWriteNothingToTheConsole)
{
    ScriptedGateway gateway("127.0.0.34", 3671, ScriptedGateway::Polite(5));
    ASSERT_TRUE(gateway.ok());
    m_client->Open("127.0.0.1", "127.0.0.34");
    m_client->m_pOutputWnd = &m_output;
    m_client->m_nOutputMsg = kOutputMsg;
    PostMessageA(m_output.m_hWnd, WM_USER + 7, 0, 0);
    testing::internal::CaptureStdout();
    m_client->Connect();
    m_client->Disconnect();
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_REMOVE))
        << "no poll ran, so the queued message is still there";
    bool disconnected = PumpUntil([&] { return m_client->m_nChannelId == -1; });
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_TRUE(disconnected) << m_client->m_nChannelId << " " << gateway.Received().size();
    EXPECT_NE(m_client->m_strLog.str().find("\nconnection ok:\nchannel       5 \n"), std::string::npos)
        << m_client->m_strLog;
    EXPECT_NE(m_client->m_strLog.str().find("disconnected\nchannel      5 \n\n"), std::string::npos);
}

// Cases run in turn on one connection. Datagrams waiting together are each
// handled as one frame; one that holds no frame costs nothing but itself.
// An acknowledgement is neither answered nor reported and leaves the receive
// sequence alone, and only the gateway's address speaks for the gateway.
TEST_F(WindowModeTest, TunnelFramesAreReportedAndRequestsAcknowledged)
{
    struct Case {
        const char* name;
        std::vector<Bytes> frames;
        std::vector<std::string> acks;
        std::string log;
        int sequence;
        bool fromStranger = false;
    };
    const std::string line = "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : ";
    std::vector<Case> cases = {
        {"one request", {TunnellingRequest(5, 4, 0x81)}, {"06 10 04 21 00 0A 04 05 04 00"}, line + "1\n", 4},
        {"an acknowledgement alone", {TunnellingAck(5, 3)}, {}, "", 4},
        {"three datagrams waiting together",
         {TunnellingRequest(5, 7, 0x81), TunnellingAck(5, 0), TunnellingRequest(5, 8, 0x80)},
         {"06 10 04 21 00 0A 04 05 07 00", "06 10 04 21 00 0A 04 05 08 00"},
         line + "1\n" + line + "0\n",
         8},
    };
    // Our acknowledgement of 8 was lost, so the gateway repeats it.
    cases.push_back({"a repeat of the last one taken",
                     {TunnellingRequest(5, 8, 0x81)},
                     {"06 10 04 21 00 0A 04 05 08 00"},
                     "",
                     8});
    cases.push_back({"a request on another channel", {TunnellingRequest(6, 9, 0x81)}, {}, "", 8});
    // 40 requests, each after a datagram that starts no frame.
    Case burst{"each request after a datagram that is no frame", {}, {}, "", 49};
    for (int sequence = 10; sequence <= 49; ++sequence) {
        burst.frames.push_back(ParseHex("47 45 54 20 2F 20 48 54 54 50"));
        burst.frames.push_back(TunnellingRequest(5, static_cast<std::uint8_t>(sequence), 0x81));
        char ack[40];
        snprintf(ack, sizeof ack, "06 10 04 21 00 0A 04 05 %02X 00", sequence);
        burst.acks.push_back(ack);
        burst.log += line + "1\n";
    }
    cases.push_back(burst);
    std::vector<Bytes> large;  // longer than one read of the handler
    for (std::uint8_t sequence : {50, 51}) {
        large.push_back(TunnellingRequest(5, sequence, 0x80));
        large.back()[4] = 0x05, large.back()[5] = 0x78;
        large.back().resize(1400, 0xAA);
    }
    cases.push_back({"requests of 1400 bytes",
                     large,
                     {"06 10 04 21 00 0A 04 05 32 00", "06 10 04 21 00 0A 04 05 33 00"},
                     line + "0\n" + line + "0\n",
                     51});
    cases.push_back({"a request from another host", {TunnellingRequest(5, 62, 0x81)}, {}, "", 51, true});
    ScriptedGateway gateway("127.0.0.35", 3671, ScriptedGateway::Polite(5));
    ScriptedGateway stranger("127.0.0.36", 3671, ScriptedGateway::Silent());
    ASSERT_TRUE(stranger.ok());
    OpenAndConnect(gateway, "127.0.0.35");
    sockaddr_in data = Loopback(m_client->m_dataEndpoint.m_nLocPort);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t before = gateway.Received().size();
        size_t logBefore = m_client->m_strLog.str().size();
        DWORD bytes = 0;
        for (const Bytes& frame : c.frames) {
            (c.fromStranger ? stranger : gateway).SendTo(frame, data);
            bytes += c.fromStranger ? 0 : static_cast<DWORD>(frame.size());
        }
        // Nothing is dispatched while waiting, so all of them wait together.
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(c.fromStranger ? 100 : 2000);
        while (m_client->m_dataEndpoint.HasData() < bytes + c.fromStranger &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(m_client->m_dataEndpoint.HasData(), bytes);
        ASSERT_TRUE(PumpUntil([&] {
            return gateway.Received().size() == before + c.acks.size() &&
                   m_client->m_dataEndpoint.HasData() == 0;
        }));
        PumpFor(50);
        std::vector<Datagram> got = gateway.Received();
        ASSERT_EQ(got.size(), before + c.acks.size());
        for (size_t i = 0; i < c.acks.size(); ++i) EXPECT_EQ(HexOf(got[before + i].bytes), c.acks[i]);
        EXPECT_EQ(m_client->m_strLog.str().substr(logBefore), c.log);
        EXPECT_EQ(m_client->m_nRecvSequence, c.sequence);
    }
}

namespace {

Bytes DisconnectRequest(std::uint8_t channel)
{
    return {0x06, 0x10, 0x02, 0x09, 0x00, 0x10, channel, 0x00, 0x08, 0x01, 127, 0, 0, 9, 0x0E, 0x57};
}

// Polite on channel 5, and answers heartbeats with status when it is 0 to 255.
ScriptedGateway::Script HeartbeatAnswer(int status)
{
    return [status](const Bytes& request) {
        if (ServiceType(request) == 0x0207)
            return status < 0 ? std::vector<Bytes>() : std::vector<Bytes>{ConnStateResponse(5, status)};
        return ScriptedGateway::Polite(5)(request);
    };
}

}  // namespace

// Ten heartbeat ticks, or a frame from the gateway: what the client then
// knows of the tunnel, and what it sent.
TEST_F(WindowModeTest, TunnelLossIsNoticed)
{
    struct Case {
        const char* name;
        int heartbeatStatus;  // -1: heartbeats unanswered
        Bytes fromGateway;    // sent to the control endpoint before the ticks
        const char* loss;
        size_t heartbeats;
        const char* lastSent;
    } cases[] = {
        {"answered heartbeats keep it", 0, {}, "", 10, nullptr},
        {"three heartbeats unanswered", -1, {}, "no answer to 3 heartbeats", 3, nullptr},
        {"heartbeat answered with E_CONNECTION_ID",
         0x21,
         {},
         "the gateway answered the heartbeat with status 33",
         1,
         nullptr},
        {"the gateway disconnects", 0, DisconnectRequest(5), "the gateway closed the connection", 0,
         "06 10 02 0A 00 08 05 00"},
        {"a disconnect for another channel", 0, DisconnectRequest(6), "", 10, nullptr},
        {"a heartbeat answer for another channel", 0, ConnStateResponse(6, 0x21), "", 10, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string address = "127.0.0." + std::to_string(50 + n++);
        ScriptedGateway gateway(address, 3671, HeartbeatAnswer(c.heartbeatStatus));
        NewClient();
        OpenAndConnect(gateway, address.c_str());
        ASSERT_EQ(m_client->m_nChannelId, 5);
        if (!c.fromGateway.empty()) {
            gateway.SendTo(c.fromGateway, Loopback(m_client->m_nControlPort));
            PumpFor(100);
        }
        for (int tick = 0; tick < 10; ++tick) {
            MoveClock(10000);
            PumpFor(20);
        }
        EXPECT_EQ(m_client->m_strTunnelLoss.str(), c.loss);
        EXPECT_EQ(m_client->m_nChannelId, *c.loss ? -1 : 5);
        EXPECT_EQ(gateway.CountOf(0x0207), c.heartbeats);
        if (c.lastSent) {
            EXPECT_EQ(HexOf(gateway.Received().back().bytes), c.lastSent);
        }
        EXPECT_EQ(m_client->m_strLog.str().find("disconnect"), std::string::npos) << m_client->m_strLog;
    }
}
