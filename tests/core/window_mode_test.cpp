// The client driven by window messages against a scripted gateway on loopback.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include <algorithm>

#include "core/KnxClient.h"
#include "core/TunnelSession.h"
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

// What the session told its host, one line per event.
class RecordingListener : public CTunnelListener {
public:
    void OnOpened(int channel) override { m_log += "opened " + std::to_string(channel) + "\n"; }
    void OnRefused(int status) override { m_log += "refused " + std::to_string(status) + "\n"; }
    void OnLost(const CString& reason) override { m_log += "lost " + std::string(reason) + "\n"; }
    void OnClosed() override { m_log += "closed\n"; }
    void OnTelegram(const CTunnelRequest& telegram) override { m_log += telegram.Line(); }
    void OnOutput(const CString& text) override { m_log += text; }
    std::string Take() { return std::exchange(m_log, std::string()); }

private:
    std::string m_log;
};

class WindowModeTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (m_client) {
            m_client->m_pListener = nullptr, m_client->DestroyWindow(), m_client.reset();
        }
        m_session.reset();
        SetClockSource(nullptr);
    }
    // A fresh client and session, the session connecting to the gateway; with open, until it is open.
    void Open(const std::string& address, bool open = true)
    {
        TearDown();
        SetClockSource([] { return g_testNowMs.load(); });
        m_client.reset(new CKnxClient);
        m_session.reset(new CTunnelSession(m_listener));
        ASSERT_TRUE(m_client->CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) && m_session->Create());
        m_client->Open("127.0.0.1", address.c_str());
        m_session->Attach(*m_client);
        m_session->Connect(false, true);
        ASSERT_TRUE(!open || PumpUntil([&] { return m_session->IsOpen(); }));
        m_listener.Take();
    }
    void MoveClock(std::uint64_t ms) { g_testNowMs += ms, PumpUntil({}, 30); }

    RecordingListener m_listener;
    std::unique_ptr<CKnxClient> m_client;
    std::unique_ptr<CTunnelSession> m_session;
};

// Cases in turn on one connection. Datagrams waiting together are each one frame; one that holds no frame
// costs nothing but itself. The expected number is taken, reported and acknowledged; the one before (a
// repeat) acknowledged again, not reported, and the connection checked at once; any other dropped
// unacknowledged. An acknowledgement is not answered, and only our channel speaks for the gateway.
TEST_F(WindowModeTest, TunnelFramesAreReportedAndRequestsAcknowledged)
{
    const std::string line = "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : ";
    Bytes large = TunnellingRequest(5, 13, 0x80);  // longer than one read of the handler
    large[4] = 0x05, large[5] = 0x78, large.resize(1400, 0xAA);
    std::vector<Bytes> junkFirst;  // ten requests, each after a datagram that is no frame
    std::string tenLines;
    for (Byte sequence = 3; sequence <= 12; ++sequence, tenLines += line + "1\n")
        junkFirst.insert(junkFirst.end(),
                         {ParseHex("47 45 54 20 2F 20 48 54 54 50"), TunnellingRequest(5, sequence, 0x81)});
    std::vector<Bytes> rule;  // 0, 1, 1, 3, 2, 2, 0, 5 and an acknowledgement
    for (Byte sequence : {0, 1, 1, 3, 2, 2, 0, 5}) rule.push_back(TunnellingRequest(5, sequence, 0x81));
    rule.insert(rule.begin() + 2, TunnellingAck(5, 0));
    // clang-format off
    const std::tuple<const char*, std::vector<Bytes>, Bytes, std::string> cases[] = {
        {"the sequence rule", rule, {0, 1, 1, 2, 2}, line + "1\n" + line + "1\n" + line + "1\n"},
        {"another channel", {TunnellingRequest(6, 3, 0x81)}, {}, ""},
        {"each request after a datagram that is no frame", junkFirst, {3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, tenLines},
        {"a request of 1400 bytes", {large}, {13}, line + "0\n"},
        {"a request too short for its header", {ParseHex("06 10 04 20 00 08 04 05")}, {}, ""},
        {"a request cut short of its total length", {ParseHex("06 10 04 20 00 15 04 05 0E 00 29")}, {}, ""}};
    // clang-format on
    ScriptedGateway gateway("127.0.0.35", 3671, ScriptedGateway::Polite(5));
    Open("127.0.0.35");
    const sockaddr_in data = Loopback(m_client->m_dataEndpoint.m_nLocPort);
    for (const auto& [name, frames, acks, log] : cases) {
        SCOPED_TRACE(name);
        const size_t before = gateway.Received().size() - gateway.CountOf(0x0207);
        DWORD bytes = 0;
        for (const Bytes& frame : frames) gateway.SendTo(frame, data), bytes += DWORD(frame.size());
        // Nothing is dispatched while waiting, so all of them wait together.
        WaitUntil([&] { return m_client->m_dataEndpoint.HasData() >= bytes; }, 2000);
        const auto acksNow = [&] { return gateway.Received().size() - gateway.CountOf(0x0207) - before; };
        PumpUntil([&] { return acksNow() >= 2 * acks.size(); });
        PumpUntil({}, 50);
        std::vector<Datagram> got = gateway.Received();
        got.erase(std::remove_if(got.begin(), got.end(), [](const Datagram& d) { return ServiceType(d.bytes) == 0x0207; }), got.end());
        ASSERT_EQ(got.size(), before + 2 * acks.size()) << "each acknowledgement twice";
        for (size_t i = 0; i < 2 * acks.size(); ++i)
            EXPECT_EQ(got[before + i].bytes, TunnellingAck(5, acks[i / 2]));
        EXPECT_EQ(m_listener.Take(), log);
        EXPECT_EQ(gateway.CountOf(0x0207), 1u) << "one check, from the first repeat on";
    }
}

// Ten heartbeat ticks and the checks' repeats, after a frame from the gateway or not: what the session
// told, how many checks it sent, and whether it asked the gateway to close a channel that may be open.
TEST_F(WindowModeTest, TunnelLossIsNoticed)
{
    const Bytes hpai = ParseHex("08 01 7F 00 00 09 0E 57");
    // clang-format off
    const std::tuple<int, Bytes, const char*, size_t, size_t> cases[] = {  // check status (-1: none), sent first
        {0, {}, "", 10, 0}, {-1, {}, "no answer to 3 heartbeats", 3, 1},
        {0x21, {}, "the gateway answered the heartbeat with status 33", 1, 0},
        {0, ControlFrame(0x0209, 5, 0, hpai), "the gateway closed the connection", 0, 0},
        {0, ControlFrame(0x0209, 6, 0, hpai), "", 10, 0}, {0, ConnStateResponse(6, 0x21), "", 10, 0}};
    // clang-format on
    int n = 50;
    for (const auto& [status, fromGateway, loss, checks, disconnects] : cases) {
        const std::string address = "127.0.0." + std::to_string(n++);
        SCOPED_TRACE(address);
        ScriptedGateway gateway(address, 3671, [status = status](const Bytes& request) {
            if (ServiceType(request) != 0x0207) return ScriptedGateway::Polite(5)(request);
            return status < 0 ? std::vector<Bytes>() : std::vector<Bytes>{ConnStateResponse(5, status)};
        });
        Open(address);
        if (!fromGateway.empty()) gateway.SendTo(fromGateway, Loopback(m_client->m_nControlPort));
        PumpUntil({}, 100);
        for (int tick = 0; tick < 10; ++tick) MoveClock(10000);
        for (int tick = 0; tick < 3; ++tick) MoveClock(1000);
        EXPECT_EQ(m_listener.Take(), *loss ? std::string("lost ") + loss + "\n" : "");
        EXPECT_EQ(m_client->m_nChannelId, *loss ? -1 : 5);
        EXPECT_EQ(gateway.CountOf(0x0207), checks);
        EXPECT_EQ(gateway.CountOf(0x0209), disconnects);
        const int port = m_client->m_nControlPort;
        const Bytes heartbeat = ControlFrame(0x0207, 5, 0, {8, 1, 127, 0, 0, 1, Byte(port >> 8), Byte(port)});
        EXPECT_EQ(checks ? gateway.Received()[1].bytes : heartbeat, heartbeat);
        const Bytes answer = ControlFrame(0x020A, 5, 0);  // ours to the gateway's request
        EXPECT_EQ(!fromGateway.empty() && *loss ? gateway.Received().back().bytes : answer, answer);
    }
}

// Connects whose answers the test gives itself: a grant for a repeated request, one after the connect was
// given up, and a refusal, after which nothing is sent: no request and no disconnect on any channel.
TEST_F(WindowModeTest, EveryGrantIsClosedAndNothingGoesOnARefusedOne)
{
    ScriptedGateway gateway("127.0.0.36", 3671, ScriptedGateway::Silent());
    const auto grant = [&](Byte channel, Byte status) {
        gateway.SendTo(ConnectResponse(channel, status), Loopback(m_client->m_nControlPort));
        PumpUntil({}, 100);
    };
    const auto disconnectsOf = [&](Byte channel) {
        size_t count = 0;
        for (const Datagram& d : gateway.Received()) count += ServiceType(d.bytes) == 0x0209 && d.bytes[6] == channel;
        return count;
    };
    Open("127.0.0.36", false);
    MoveClock(999);
    EXPECT_EQ(gateway.CountOf(0x0205), 1u) << "no repeat before a second";
    MoveClock(1);
    EXPECT_EQ(gateway.CountOf(0x0205), 2u);
    grant(7, 0), grant(8, 0);
    EXPECT_EQ(m_listener.Take(), "opened 7\n");
    EXPECT_EQ(std::make_pair(disconnectsOf(7), disconnectsOf(8)), std::make_pair(size_t(0), size_t(1)));

    Open("127.0.0.36", false);
    for (int attempt = 0; attempt < 5; ++attempt) MoveClock(1000);
    EXPECT_EQ(m_listener.Take(), "refused -1\n");
    grant(9, 0);
    EXPECT_EQ(m_listener.Take(), "") << "a late grant is neither reported nor taken";
    EXPECT_EQ(disconnectsOf(9), 1u);

    Open("127.0.0.36", false);
    ASSERT_TRUE(WaitUntil([&] { return gateway.CountOf(0x0205) == 8; }));
    const size_t before = gateway.Received().size();
    grant(0, 0x24);
    m_session->Stop();
    for (int tick = 0; tick < 3; ++tick) MoveClock(10000);
    EXPECT_EQ(m_listener.Take(), "refused 36\nclosed\n");
    EXPECT_EQ(gateway.Received().size(), before) << "nothing after the refusal";
}
