// The frames the client sends, byte for byte (those the client and program tests do not see whole).
#include <gtest/gtest.h>

#include "knxnetip/FrameLayout.h"
#include "knxnetip/OutgoingFrames.h"
#include "platform/wsock.h"
#include "tests/support/Hex.h"

using namespace knxnetip;

// The search request, and a read: its APCI byte alone, all its bits 0 (bytes not written would show 0xAA).
TEST(OutgoingFrames, FixedFramesByteForByte)
{
    BYTE f[2][kLargestOutgoingFrame];
    memset(f, 0xAA, sizeof f);
    EXPECT_EQ(HexOf(Bytes(f[0], f[0] + BuildSearchRequest(f[0], inet_addr("192.168.1.10")))),
              "06 10 02 01 00 0E 08 01 C0 A8 01 0A 0E 57");
    EXPECT_EQ(HexOf(Bytes(f[1], f[1] + BuildGroupValueRead(f[1], 5, 0x107, 0x0A03))),
              "06 10 04 20 00 15 04 05 07 00 11 00 8C E0 00 00 0A 03 01 00 00");
}

// The total length, the sequence byte and the cEMI from its data length on: bits above the six beside the
// APCI dropped (a write stays a write), the sequence's low byte, the longest value; no value, no frame.
TEST(OutgoingFrames, TunnellingRequestByValue)
{
    const std::tuple<EisData, int, const char*> cases[] = {{{1, {0}}, 0x107, "15 07 01 00 80"},
        {{1, {0xFF}}, 0, "15 00 01 00 BF"}, {{2, {0xFF, 0xC8}}, 0, "16 00 02 00 80 C8"},
        {{15, {0, 'H', 'i'}}, 0, "23 00 0F 00 80 48 69 00 00 00 00 00 00 00 00 00 00 00 00"}, {{0, {}}, 0, ""},
        {{16, {}}, 0, ""}};
    for (const auto& [value, sequence, expected] : cases) {
        BYTE f[kLargestOutgoingFrame];
        const int length = BuildTunnellingRequest(f, 5, sequence, 0x0A03, value);
        EXPECT_EQ(length ? HexOf({f[5], f[8]}) + " " + HexOf(Bytes(f + 18, f + length)) : "", expected)
            << "length " << value.length << " sequence " << sequence;
    }
}
