// The frames the client sends, byte for byte from the builders.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "knxnetip/FrameLayout.h"
#include "knxnetip/OutgoingFrames.h"
#include "tests/support/Hex.h"

namespace {

using namespace knxnetip;

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
    const DWORD loopback = NetAddress(127, 0, 0, 1);
    struct Case {
        const char* name;
        std::function<int(BYTE*)> build;
        const char* frame;
    };
    const Case cases[] = {
        {"search", [](BYTE* f) { return BuildSearchRequest(f, NetAddress(192, 168, 1, 10)); },
         "06 10 02 01 00 0E 08 01 C0 A8 01 0A 0E 57"},
        {"connect", [](BYTE* f) { return BuildConnectRequest(f, NetAddress(10, 0, 0, 2), 50000, 0x1234); },
         "06 10 02 05 00 1A 08 01 0A 00 00 02 C3 50 08 01 0A 00 00 02 12 34 04 04 02 00"},
        {"state", [&](BYTE* f) { return BuildControlRequest(f, kConnStateRequest, 5, loopback, 3672); },
         "06 10 02 07 00 10 05 00 08 01 7F 00 00 01 0E 58"},
        {"disconnect", [&](BYTE* f) { return BuildControlRequest(f, kDisconnectRequest, 5, loopback, 3672); },
         "06 10 02 09 00 10 05 00 08 01 7F 00 00 01 0E 58"},
        // After a disconnect the client holds channel -1.
        {"state after disconnect",
         [&](BYTE* f) { return BuildControlRequest(f, kConnStateRequest, -1, loopback, 3672); },
         "06 10 02 07 00 10 FF 00 08 01 7F 00 00 01 0E 58"},
        {"disconnect response", [](BYTE* f) { return BuildDisconnectResponse(f, 5); },
         "06 10 02 0A 00 08 05 00"},
        {"ack", [](BYTE* f) { return BuildTunnellingAck(f, 7, 0x12A); }, "06 10 04 21 00 0A 04 07 2A 00"},
        // A read carries the APCI byte alone, all its bits 0.
        {"group read", [](BYTE* f) { return BuildGroupValueRead(f, 5, 0x107, 0x0A03); },
         "06 10 04 20 00 15 04 05 07 00 11 00 8C E0 00 00 0A 03 01 00 00"},
    };
    for (const Case& c : cases) {
        BYTE frame[kLargestOutgoingFrame + 8];
        memset(frame, 0xAA, sizeof frame);
        const int length = c.build(frame);
        EXPECT_EQ(HexOf(Bytes(frame, frame + length)), c.frame) << c.name;
    }
}

TEST(OutgoingFrames, TunnellingRequestByEisType)
{
    struct Case {
        int eisType;
        int value;
        int sequence;
        const char* tail;
    };
    const Case cases[] = {
        {1, 1, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 81"},
        {1, 0, 7, "00 15 04 05 07 00 11 00 8C E0 00 00 0A 03 01 00 80"},
        {1, 63, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF"},
        // Out-of-range values keep their low six bits and stay a write.
        {1, 200, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 88"},
        {1, -1, 0, "00 15 04 05 00 00 11 00 8C E0 00 00 0A 03 01 00 BF"},
        {6, 200, 0, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 C8"},
        {6, 256, 0, "00 16 04 05 00 00 11 00 8C E0 00 00 0A 03 02 00 80 00"},
        // Only the sequence counter's low byte reaches the frame.
        {6, 1, 257, "00 16 04 05 01 00 11 00 8C E0 00 00 0A 03 02 00 80 01"},
        {0, 1, 0, nullptr},
        {5, 1, 0, nullptr},
        {15, 1, 0, nullptr},
    };
    for (const Case& c : cases) {
        BYTE frame[kLargestOutgoingFrame];
        const int length = BuildTunnellingRequest(frame, 5, c.sequence, 0x0A03, c.eisType, c.value);
        EXPECT_EQ(HexOf(Bytes(frame, frame + length)), c.tail ? std::string("06 10 04 20 ") + c.tail : "")
            << "EIS" << c.eisType << " value " << c.value << " sequence " << c.sequence;
    }
}

}  // namespace
