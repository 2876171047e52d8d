// The client driven by window messages against a scripted gateway on loopback.
#include "platform/wsock.h"
#include <gtest/gtest.h>

#include "core/KnxClient.h"
#include "core/TunnelSession.h"
#include "tests/support/MessagePump.h"

// The session's host: what the session told, one line per event.
class WindowModeTest : public testing::Test, public CTunnelListener, public MessagePump {
protected:
    void OnOpened(int channel) override { m_log += "opened " + std::to_string(channel) + "\n"; }
    void OnRefused(int status) override { m_log += "refused " + std::to_string(status) + "\n"; }
    void OnLost(const CString& reason) override { m_log += "lost " + std::string(reason) + "\n"; }
    void OnClosed() override { m_log += "closed\n"; }
    void OnTelegram(const CTunnelRequest& telegram) override { m_log += telegram.Line(); }
    void OnOutput(const CString& text) override { m_log += text; }
    std::string Take() { return std::exchange(m_log, std::string()); }
    // A fresh client and session, the session connecting to the gateway; with open, until it is open.
    void Open(const std::string& address, bool open = true)
    {
        m_client.reset(new CKnxClient);
        m_session.reset(new CTunnelSession(*this));
        ASSERT_TRUE(m_client->CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) && m_session->Create());
        m_client->Open("127.0.0.1", address.c_str());
        m_session->Attach(*m_client);
        m_session->Connect(false, true);
        ASSERT_TRUE(!open || PumpUntil([&] { return m_session->IsOpen(); }));
        Take();
    }

    std::string m_log;
    std::unique_ptr<CKnxClient> m_client;
    std::unique_ptr<CTunnelSession> m_session;
};

// Requests waiting together. The expected number is taken, reported and acknowledged (twice); the one
// before (a repeat) acknowledged again, not reported, and the connection checked at once; any other
// dropped unacknowledged. An acknowledgement is not answered, and only our channel speaks for the gateway.
TEST_F(WindowModeTest, TunnelFramesAreReportedAndRequestsAcknowledged)
{
    const std::string line = "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n";
    Bytes large = TunnellingRequest(5, 3);  // longer than one read of the handler
    large[4] = 0x05, large[5] = 0x78, large.resize(1400, 0xAA);
    std::vector<Bytes> frames;  // 0, 1, an acknowledgement, 1, 3, 2, 2, 0, 3 on channel 6, 3 in 1400 bytes
    for (Byte sequence : {0, 1, 1, 3, 2, 2, 0}) frames.push_back(TunnellingRequest(5, sequence));
    frames.insert(frames.begin() + 2, TunnellingAck(5, 0));
    frames.insert(frames.end(), {TunnellingRequest(6, 3), large});
    ScriptedGateway gateway("127.0.0.35", 3671, ScriptedGateway::Polite(5));
    Open("127.0.0.35");
    const auto answers = [&] {  // all the gateway received but the connection checks
        std::vector<std::string> hex;
        for (const Datagram& d : gateway.Received())
            if (ServiceType(d.bytes) != 0x0207) hex.push_back(HexOf(d.bytes));
        return hex;
    };
    std::vector<std::string> expected = answers();
    DWORD bytes = 0;
    for (const Bytes& frame : frames)
        gateway.SendTo(frame, Loopback(m_client->m_nDataPort)), bytes += DWORD(frame.size());
    // Nothing is dispatched while waiting, so all of them wait together.
    WaitUntil([&] { return m_client->m_dataEndpoint.HasData() >= bytes; }, 2000);
    for (Byte seq : {0, 1, 1, 2, 2, 3}) expected.insert(expected.end(), 2, HexOf(TunnellingAck(5, seq)));
    PumpUntil([&] { return answers().size() >= expected.size(); });
    PumpUntil({}, 50);
    EXPECT_EQ(answers(), expected);
    EXPECT_EQ(Take(), line + line + line + line);
    EXPECT_EQ(gateway.CountOf(0x0207), 1u) << "one check, from the first repeat on";
}

// Ten heartbeat ticks and the checks' repeats, after a frame from the gateway or not: what the session
// told, how many checks it sent, and whether it asked the gateway to close a channel that may be open.
TEST_F(WindowModeTest, TunnelLossIsNoticed)
{
    const Bytes hpai = ParseHex("08 01 7F 00 00 09 0E 57");
    const std::tuple<int, Bytes, const char*, size_t, size_t> cases[] = {  // check status (-1: none), sent first
        {-1, {}, "no answer to 3 heartbeats", 3, 1},
        {0, ControlFrame(0x0209, 5, 0, hpai), "the gateway closed the connection", 0, 0},
        {0, ControlFrame(0x0209, 6, 0, hpai), "", 10, 0}, {0, ConnStateResponse(6, 0x21), "", 10, 0}};
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
        EXPECT_EQ(Take(), *loss ? std::string("lost ") + loss + "\n" : "");
        EXPECT_EQ(gateway.CountOf(0x0207), checks);
        EXPECT_EQ(gateway.CountOf(0x0209), disconnects);
        const Byte port[] = {Byte(m_client->m_nControlPort >> 8), Byte(m_client->m_nControlPort)};
        const Bytes check = ControlFrame(0x0207, 5, 0, {8, 1, 127, 0, 0, 1, port[0], port[1]});
        EXPECT_EQ(checks ? gateway.Received()[1].bytes : check, check);
        const Bytes answer = ControlFrame(0x020A, 5, 0);  // ours to the gateway's request
        EXPECT_EQ(!fromGateway.empty() && *loss ? gateway.Received().back().bytes : answer, answer);
    }
}

// Grants the test sends itself: one for a repeated connect, and one after the connect was given up.
TEST_F(WindowModeTest, EveryGrantIsClosed)
{
    ScriptedGateway gateway("127.0.0.36", 3671, nullptr);
    const auto grant = [&](Byte channel, Byte status) {
        gateway.SendTo(ConnectResponse(channel, status), Loopback(m_client->m_nControlPort));
        PumpUntil({}, 100);
    };
    Open("127.0.0.36", false);
    MoveClock(999);
    EXPECT_EQ(gateway.CountOf(0x0205), 1u) << "no repeat before a second";
    MoveClock(1);  // the repeat
    grant(7, 0), grant(8, 0);
    EXPECT_EQ(Take(), "opened 7\n");
    EXPECT_TRUE(gateway.CountOf(0x0209, 7) == 0 && gateway.CountOf(0x0209, 8) == 1) << "the repeat's grant closed";

    Open("127.0.0.36", false);
    for (int attempt = 0; attempt < 5; ++attempt) MoveClock(1000);
    EXPECT_EQ(Take(), "refused -1\n");
    grant(20, 0);
    EXPECT_EQ(Take(), "") << "a late grant is neither reported nor taken";
    EXPECT_EQ(gateway.CountOf(0x0209, 20), 1u);
}
