// The frames the client sends, byte for byte (those the client and program tests do not see whole).
#include <gtest/gtest.h>

#include <functional>

#include "knxnetip/FrameLayout.h"
#include "knxnetip/OutgoingFrames.h"
#include "platform/wsock.h"
#include "tests/support/Hex.h"

using namespace knxnetip;

TEST(OutgoingFrames, FixedFramesByteForByte)
{
    const std::pair<std::function<int(BYTE*)>, const char*> cases[] = {
        {[](BYTE* f) { return BuildSearchRequest(f, inet_addr("192.168.1.10")); },
         "06 10 02 01 00 0E 08 01 C0 A8 01 0A 0E 57"},
        // After a disconnect the client holds channel -1.
        {[](BYTE* f) { return BuildControlRequest(f, kConnStateRequest, -1, inet_addr("127.0.0.1"), 3672); },
         "06 10 02 07 00 10 FF 00 08 01 7F 00 00 01 0E 58"},
        // A read carries the APCI byte alone, all its bits 0.
        {[](BYTE* f) { return BuildGroupValueRead(f, 5, 0x107, 0x0A03); },
         "06 10 04 20 00 15 04 05 07 00 11 00 8C E0 00 00 0A 03 01 00 00"},
    };
    for (const auto& [build, expected] : cases) {
        BYTE frame[kLargestOutgoingFrame + 8];
        memset(frame, 0xAA, sizeof frame);
        EXPECT_EQ(HexOf(Bytes(frame, frame + build(frame))), expected);
    }
}

// Out-of-range values keep their low six bits and stay a write; only the sequence's low byte is sent.
TEST(OutgoingFrames, TunnellingRequestByEisType)
{
    std::tuple<int, int, int, const char*> cases[] = {{1, 0, 0x107, "07 01 00 80"}, {1, -1, 0, "00 01 00 BF"},
        {6, 257, 0, "00 02 00 80 01"}, {0, 1, 0, ""}, {5, 1, 0, ""}, {15, 1, 0, ""}};
    for (const auto& [eisType, value, sequence, expected] : cases) {
        BYTE f[kLargestOutgoingFrame];
        const int length = BuildTunnellingRequest(f, 5, sequence, 0x0A03, eisType, value);
        EXPECT_EQ(length ? HexOf({f[8]}) + " " + HexOf(Bytes(f + 18, f + length)) : "", expected)
            << "EIS" << eisType << " value " << value << " sequence " << sequence;
    }
}
