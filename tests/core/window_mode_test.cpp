// The client driven by window messages against a scripted gateway on loopback.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include "core/KnxClient.h"
#include "platform/clock.h"
#include "tests/support/ScriptedGateway.h"

static std::atomic<std::uint64_t> g_testNowMs{1000000};

// Dispatches queued messages until done() holds (without one, all of the time) or ms passed.
static bool PumpUntil(const std::function<bool()>& done, int ms = 2000)
{
    const auto dispatched = [&] {
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg);
        return done && done();
    };
    return WaitUntil(dispatched, ms);
}

// L_Data.ind from 1.1.5 to 1/2/3, one data byte in the APCI.
static Bytes TunnellingRequest(Byte channel, Byte sequence, Byte apci)
{
    return {6, 0x10, 4,    0x20, 0, 0x15, 4, channel, sequence, 0,   0x29,
            0, 0xBC, 0xE0, 0x11, 5, 0x0A, 3, 1,       0,        apci};
}

class WindowModeTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (m_client) m_client->DestroyWindow(), m_client.reset();
        SetClockSource(nullptr);
    }
    // A fresh client with its window and the output window, connected to the gateway.
    void Open(const std::string& address)
    {
        if (m_client) m_client->DestroyWindow();
        SetClockSource([] { return g_testNowMs.load(); });
        m_client.reset(new CKnxClient);
        ASSERT_TRUE(m_output.m_hWnd || m_output.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
        ASSERT_TRUE(m_client->CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr));
        m_client->Open("127.0.0.1", address.c_str());
        m_client->m_pOutputWnd = &m_output, m_client->m_nOutputMsg = WM_USER + 1;
        m_client->Connect();
        ASSERT_TRUE(PumpUntil([&] { return m_client->m_nChannelId != 1; }));
    }

    std::unique_ptr<CKnxClient> m_client;
    CWnd m_output;
};

// Cases in turn on one connection. Datagrams waiting together are each one frame; one that holds no frame
// costs nothing but itself. An acknowledgement is not answered, a repeat is acknowledged but not reported,
// and only our channel speaks for the gateway.
TEST_F(WindowModeTest, TunnelFramesAreReportedAndRequestsAcknowledged)
{
    const std::string line = "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : ";
    Bytes large = TunnellingRequest(5, 20, 0x80);  // longer than one read of the handler
    large[4] = 0x05, large[5] = 0x78, large.resize(1400, 0xAA);
    std::vector<Bytes> junkFirst;  // ten requests, each after a datagram that is no frame
    std::string tenLines;
    for (Byte sequence = 10; sequence <= 19; ++sequence, tenLines += line + "1\n")
        junkFirst.insert(junkFirst.end(),
                         {ParseHex("47 45 54 20 2F 20 48 54 54 50"), TunnellingRequest(5, sequence, 0x81)});
    // clang-format off
    const std::tuple<const char*, std::vector<Bytes>, Bytes, std::string, int> cases[] = {
        {"three waiting together",
         {TunnellingRequest(5, 7, 0x81), TunnellingAck(5, 0), TunnellingRequest(5, 8, 0x80)}, {7, 8}, line + "1\n" + line + "0\n", 8},
        {"a repeat of the last one taken", {TunnellingRequest(5, 8, 0x81)}, {8}, "", 8},
        {"another channel", {TunnellingRequest(6, 9, 0x81)}, {}, "", 8},
        {"each request after a datagram that is no frame", junkFirst, {10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, tenLines, 19},
        {"a request of 1400 bytes", {large}, {20}, line + "0\n", 20},
        {"a request too short for its header", {ParseHex("06 10 04 20 00 08 04 05")}, {}, "", 20},
        {"a request cut short of its total length", {ParseHex("06 10 04 20 00 15 04 05 15 00 29")}, {}, "", 20}};
    // clang-format on
    ScriptedGateway gateway("127.0.0.35", 3671, ScriptedGateway::Polite(5));
    Open("127.0.0.35");
    const sockaddr_in data = Loopback(m_client->m_dataEndpoint.m_nLocPort);
    for (const auto& [name, frames, acks, log, sequence] : cases) {
        SCOPED_TRACE(name);
        const size_t before = gateway.Received().size(), logBefore = m_client->m_strLog.str().size();
        DWORD bytes = 0;
        for (const Bytes& frame : frames) gateway.SendTo(frame, data), bytes += DWORD(frame.size());
        // Nothing is dispatched while waiting, so all of them wait together.
        WaitUntil([&] { return m_client->m_dataEndpoint.HasData() >= bytes; }, 2000);
        PumpUntil([&] { return gateway.Received().size() >= before + acks.size(); });
        PumpUntil({}, 50);
        const std::vector<Datagram> got = gateway.Received();
        ASSERT_EQ(got.size(), before + acks.size());
        for (size_t i = 0; i < acks.size(); ++i) EXPECT_EQ(got[before + i].bytes, TunnellingAck(5, acks[i]));
        EXPECT_EQ(m_client->m_strLog.str().substr(logBefore), log);
        EXPECT_EQ(m_client->m_nRecvSequence, sequence);
    }
}

// Ten heartbeat ticks, after a frame from the gateway or not: what the
// client then knows of the tunnel, and how many heartbeats it sent.
TEST_F(WindowModeTest, TunnelLossIsNoticed)
{
    const Bytes hpai = ParseHex("08 01 7F 00 00 09 0E 57");
    // clang-format off
    const std::tuple<int, Bytes, const char*, size_t> cases[] = {  // heartbeat status (-1: none), sent first
        {0, {}, "", 10}, {-1, {}, "no answer to 3 heartbeats", 3},
        {0x21, {}, "the gateway answered the heartbeat with status 33", 1},
        {0, ControlFrame(0x0209, 5, 0, hpai), "the gateway closed the connection", 0},
        {0, ControlFrame(0x0209, 6, 0, hpai), "", 10}, {0, ConnStateResponse(6, 0x21), "", 10}};
    // clang-format on
    int n = 50;
    for (const auto& [status, fromGateway, loss, heartbeats] : cases) {
        const std::string address = "127.0.0." + std::to_string(n++);
        SCOPED_TRACE(address);
        ScriptedGateway gateway(address, 3671, [status = status](const Bytes& request) {
            if (ServiceType(request) != 0x0207) return ScriptedGateway::Polite(5)(request);
            return status < 0 ? std::vector<Bytes>() : std::vector<Bytes>{ConnStateResponse(5, status)};
        });
        Open(address);
        if (!fromGateway.empty()) gateway.SendTo(fromGateway, Loopback(m_client->m_nControlPort));
        PumpUntil({}, 100);
        for (int tick = 0; tick < 10; ++tick) g_testNowMs += 10000, PumpUntil({}, 20);
        EXPECT_EQ(m_client->m_strTunnelLoss.str(), loss);
        EXPECT_EQ(m_client->m_nChannelId, *loss ? -1 : 5);
        EXPECT_EQ(gateway.CountOf(0x0207), heartbeats);
        const int port = m_client->m_nControlPort;
        const Bytes heartbeat = ControlFrame(0x0207, 5, 0, {8, 1, 127, 0, 0, 1, Byte(port >> 8), Byte(port)});
        EXPECT_EQ(heartbeats ? gateway.Received()[1].bytes : heartbeat, heartbeat);
        const Bytes answer = ControlFrame(0x020A, 5, 0);  // ours to the gateway's request
        EXPECT_EQ(!fromGateway.empty() && *loss ? gateway.Received().back().bytes : answer, answer);
        EXPECT_EQ(m_client->m_strLog.str().find("disconnect"), std::string::npos) << m_client->m_strLog;
    }
}
