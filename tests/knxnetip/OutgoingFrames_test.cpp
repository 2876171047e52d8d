#include <gtest/gtest.h>

#include <cstring>

#include "core/KnxClient.h"
#include "tests/support/SendPipe.h"

namespace {

// The address as inet_addr gives it: octets in dotted order in memory.
DWORD NetAddress(BYTE a, BYTE b, BYTE c, BYTE d)
{
    const BYTE octets[4] = {a, b, c, d};
    DWORD address;
    std::memcpy(&address, octets, 4);
    return address;
}

std::string Sent(CUdpEndpoint& endpoint) { return BytesToHex(TakeSentBytes(endpoint)); }

TEST(OutgoingFrames, SearchRequestCarriesInterfaceAndKnxPort)
{
    CKnxClient client;
    CUdpEndpoint endpoint;
    client.SendSearchRequest(endpoint, NetAddress(192, 168, 1, 10));
    EXPECT_EQ(Sent(endpoint), "06 10 02 01 00 0E 08 01 C0 A8 01 0A 0E 57");
}

TEST(OutgoingFrames, ConnectRequestHasBothEndpointsAndTunnelCri)
{
    CKnxClient client;
    CUdpEndpoint endpoint;
    client.SendConnectRequest(endpoint, NetAddress(10, 0, 0, 2), 50000, 0x1234);
    EXPECT_EQ(Sent(endpoint), "06 10 02 05 00 1A 08 01 0A 00 00 02 C3 50 "
                              "08 01 0A 00 00 02 12 34 04 04 02 00");
}

TEST(OutgoingFrames, ControlRequestsCarryChannelLowByte)
{
    struct Case { int channel; const char* state; const char* disconnect; };
    const Case cases[] = {
        {5, "06 10 02 07 00 10 05 00 08 01 7F 00 00 01 0E 58",
            "06 10 02 09 00 10 05 00 08 01 7F 00 00 01 0E 58"},
        // After a disconnect the client holds -1.
        {-1, "06 10 02 07 00 10 FF 00 08 01 7F 00 00 01 0E 58",
             "06 10 02 09 00 10 FF 00 08 01 7F 00 00 01 0E 58"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel);
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nChannelId = c.channel;
        client.SendConnectionStateRequest(endpoint, NetAddress(127, 0, 0, 1), 3672);
        EXPECT_EQ(Sent(endpoint), c.state);
        client.SendDisconnectRequest(endpoint, NetAddress(127, 0, 0, 1), 3672);
        EXPECT_EQ(Sent(endpoint), c.disconnect);
    }
}

TEST(OutgoingFrames, TunnellingAckEchoesReceivedSequence)
{
    CKnxClient client;
    CUdpEndpoint endpoint;
    client.m_nChannelId = 7;
    client.m_nRecvSequence = 0x12A;  // only the low byte travels
    client.SendTunnellingAck(endpoint);
    EXPECT_EQ(Sent(endpoint), "06 10 04 21 00 0A 04 07 2A 00");
}

TEST(OutgoingFrames, TunnellingRequestEncodesValueByEisType)
{
    struct Case { int eisType; int value; const char* frame; };
    const char* head = "06 10 04 20 ";
    const Case cases[] = {
        {1, 1, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 81"},
        {1, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 80"},
        {1, 2, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 82"},
        {1, 63, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF"},
        // Out-of-range values keep their low six bits and stay a write.
        {1, 200, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 88"},
        {1, -1, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF"},
        {6, 200, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8"},
        {6, 256, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "EIS" << c.eisType << " value " << c.value);
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nChannelId = 5;
        client.m_wGroupAddress = 0x0A03;
        client.m_nEisType = c.eisType;
        client.m_nValue = c.value;
        client.SendTunnellingRequest(endpoint);
        EXPECT_EQ(Sent(endpoint), std::string(head) + c.frame);
        EXPECT_EQ(client.m_nSendSequence, 1);
    }
}

TEST(OutgoingFrames, SequenceByteWrapsWhileCounterGoesOn)
{
    CKnxClient client;
    CUdpEndpoint endpoint;
    client.m_nEisType = 1;
    for (int i = 0; i < 257; ++i) {
        client.SendTunnellingRequest(endpoint);
        const std::vector<BYTE> frame = TakeSentBytes(endpoint);
        ASSERT_EQ(frame.size(), 21u) << "request " << i;
        ASSERT_EQ(frame[8], i & 0xFF) << "request " << i;
    }
    EXPECT_EQ(client.m_nSendSequence, 257);
}

TEST(OutgoingFrames, UnsupportedEisTypeSendsNothingAndKeepsSequence)
{
    for (int eisType : {0, 2, 5, 15}) {
        SCOPED_TRACE(eisType);
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nEisType = eisType;
        client.m_nDebugLevel = 2;
        testing::internal::CaptureStdout();
        client.SendTunnellingRequest(endpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "EIS-Type not supported\n");
        EXPECT_EQ(Sent(endpoint), "");
        EXPECT_EQ(client.m_strLog, "");
        // The gateway drops a request whose sequence skips a number.
        client.m_nEisType = 1;
        client.m_nDebugLevel = 0;
        client.SendTunnellingRequest(endpoint);
        const std::vector<BYTE> frame = TakeSentBytes(endpoint);
        ASSERT_EQ(frame.size(), 21u);
        EXPECT_EQ(frame[8], 0);
    }
}

TEST(OutgoingFrames, TraceLineOnlyFromLevelTwoAndNotLogged)
{
    struct Case { int level; const char* stdoutText; };
    const Case cases[] = {{1, ""}, {2, "SendGA ch=5 seq=1 value=1\n"}, {3, "SendGA ch=5 seq=1 value=1\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nDebugLevel = c.level;
        client.m_nChannelId = 5;
        client.m_nEisType = 1;
        client.m_nValue = 1;
        testing::internal::CaptureStdout();
        client.SendTunnellingRequest(endpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.stdoutText);
        EXPECT_EQ(client.m_strLog, "");
        EXPECT_EQ(TakeSentBytes(endpoint).size(), 21u);
    }
}

}  // namespace
