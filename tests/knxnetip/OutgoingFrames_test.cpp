#include <gtest/gtest.h>

#include <cstring>
#include <functional>

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

TEST(OutgoingFrames, FixedFramesByteForByte)
{
    using Build = std::function<void(CKnxClient&, CUdpEndpoint&)>;
    const DWORD loopback = NetAddress(127, 0, 0, 1);
    struct Case { const char* name; int channel; Build build; const char* frame; };
    const Case cases[] = {
        {"search", 1, [](CKnxClient& k, CUdpEndpoint& e) { k.SendSearchRequest(e, NetAddress(192, 168, 1, 10)); },
         "06 10 02 01 00 0E 08 01 C0 A8 01 0A 0E 57"},
        {"connect", 1, [](CKnxClient& k, CUdpEndpoint& e) { k.SendConnectRequest(e, NetAddress(10, 0, 0, 2), 50000, 0x1234); },
         "06 10 02 05 00 1A 08 01 0A 00 00 02 C3 50 08 01 0A 00 00 02 12 34 04 04 02 00"},
        {"state", 5, [&](CKnxClient& k, CUdpEndpoint& e) { k.SendConnectionStateRequest(e, loopback, 3672); },
         "06 10 02 07 00 10 05 00 08 01 7F 00 00 01 0E 58"},
        {"disconnect", 5, [&](CKnxClient& k, CUdpEndpoint& e) { k.SendDisconnectRequest(e, loopback, 3672); },
         "06 10 02 09 00 10 05 00 08 01 7F 00 00 01 0E 58"},
        // After a disconnect the client holds channel -1.
        {"state after disconnect", -1, [&](CKnxClient& k, CUdpEndpoint& e) { k.SendConnectionStateRequest(e, loopback, 3672); },
         "06 10 02 07 00 10 FF 00 08 01 7F 00 00 01 0E 58"},
        {"disconnect response", 5, [](CKnxClient& k, CUdpEndpoint& e) { k.SendDisconnectResponse(e); },
         "06 10 02 0A 00 08 05 00"},
        {"ack", 7, [](CKnxClient& k, CUdpEndpoint& e) { k.m_nRecvSequence = 0x12A; k.SendTunnellingAck(e); },
         "06 10 04 21 00 0A 04 07 2A 00"},
    };
    for (const Case& c : cases) {
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nChannelId = c.channel;
        c.build(client, endpoint);
        EXPECT_EQ(BytesToHex(TakeSentBytes(endpoint)), c.frame) << c.name;
    }
}

TEST(OutgoingFrames, TunnellingRequestByEisTypeAndLevel)
{
    struct Case { int eisType; int value; int level; const char* tail; const char* console; };
    const Case cases[] = {
        {1, 1, 1, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 81", ""},
        {1, 0, 2, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 80", "SendGA ch=5 seq=1 value=0\n"},
        {1, 63, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF", ""},
        // Out-of-range values keep their low six bits and stay a write.
        {1, 200, 3, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 88", "SendGA ch=5 seq=1 value=200\n"},
        {1, -1, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF", ""},
        {6, 200, 0, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8", ""},
        {6, 256, 0, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 00", ""},
        // Nothing is sent, and the counter stays: the gateway would drop
        // the next request if its sequence skipped a number.
        {0, 1, 2, nullptr, "EIS-Type not supported\n"},
        {5, 1, 2, nullptr, "EIS-Type not supported\n"},
        {15, 1, 0, nullptr, "EIS-Type not supported\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "EIS" << c.eisType << " value " << c.value << " level " << c.level);
        CKnxClient client;
        CUdpEndpoint endpoint;
        client.m_nChannelId = 5;
        client.m_wGroupAddress = 0x0A03;
        client.m_nEisType = c.eisType;
        client.m_nValue = c.value;
        client.m_nDebugLevel = c.level;
        testing::internal::CaptureStdout();
        client.SendTunnellingRequest(endpoint);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.console);
        EXPECT_EQ(client.m_strLog, "");
        EXPECT_EQ(BytesToHex(TakeSentBytes(endpoint)), c.tail ? std::string("06 10 04 20 ") + c.tail : "");
        EXPECT_EQ(client.m_nSendSequence, c.tail ? 1 : 0);
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

}  // namespace
