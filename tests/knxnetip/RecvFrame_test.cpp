#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "knxnetip/RecvFrame.h"
#include "tests/support/Hex.h"

namespace {

// A receive buffer as the callers have it: 1024 bytes, still holding an
// earlier datagram's bytes (0xAA) past the new one.
struct Received {
    explicit Received(const std::string& hex)
    {
        std::fill(std::begin(buffer), std::end(buffer), 0xAA);
        const std::vector<BYTE> bytes = ParseHex(hex);
        std::copy(bytes.begin(), bytes.end(), buffer);
        received = static_cast<int>(bytes.size());
    }
    Received(const std::string& hex, int count) : Received(hex) { received = count; }
    BYTE buffer[1024];
    int received;
};

// Collects what reports write, as the client's output routine would.
struct Log : CFrameOutput {
    void Output(CString text) override { text_ += text; }
    std::string text_;
};

// Classifies, creates and reports as the callers do; returns the text.
std::string ReportOf(const Received& in)
{
    const int type = knxnetip::ClassifyFrame(in.buffer, in.received);
    std::unique_ptr<CRecvFrame> frame(knxnetip::CreateFrame(in.buffer, in.received, type));
    if (!frame) return "<no frame>";
    Log log;
    frame->m_pClient = &log;
    frame->Report();
    return log.text_;
}

TEST(ClassifyFrame, AcceptsExactlyTheKnownServices)
{
    struct Case {
        const char* bytes;
        int received;
        int expected;
    };
    const Case cases[] = {
        {"06 10 02 01", 4, 0x0201},
        {"06 10 02 02", 4, 0x0202},
        {"06 10 02 03", 4, 0x0203},
        {"06 10 02 04", 4, 0x0204},
        {"06 10 02 05", 4, 0x0205},
        {"06 10 02 06 00 00", 6, 0x0206},
        {"06 10 02 07", 4, 0x0207},
        {"06 10 02 08", 4, 0x0208},
        {"06 10 02 09", 4, 0x0209},
        {"06 10 02 0A", 4, 0x020A},
        {"06 10 03 10", 4, 0x0310},
        {"06 10 03 11", 4, 0x0311},
        {"06 10 04 20", 4, 0x0420},
        {"06 10 04 21", 4, 0x0421},
        {"06 10 05 30", 4, 0x0530},
        {"06 10 02 0B", 4, 0},
        {"06 10 00 00", 4, 0},
        {"06 11 02 06", 4, 0},
        {"07 10 02 06", 4, 0},
        // Bytes past the received count do not count, even when the buffer holds them.
        {"06 10 02 06", 3, 0},
        {"06 10 02 06", 0, 0},
        {"06 10 02 06", -5, 0},
    };
    for (const Case& c : cases) {
        const Received in(c.bytes, c.received);
        EXPECT_EQ(knxnetip::ClassifyFrame(in.buffer, in.received), c.expected)
            << c.bytes << " received " << c.received;
    }
}

TEST(CreateFrame, BodyHoldsReceivedBytesAndZeroBeyond)
{
    // Total length claims more than arrived: kept as is, the rest reads zero.
    const Received shortFrame("06 10 02 06 01 00 15 24 08");
    std::unique_ptr<CRecvFrame> frame(knxnetip::CreateFrame(shortFrame.buffer, shortFrame.received, 0x0206));
    EXPECT_EQ(frame->m_nLength, 0x100u);
    EXPECT_EQ(HexOf({frame->m_body, frame->m_body + 5}), "15 24 08 00 00");
    EXPECT_TRUE(std::all_of(frame->m_body + 3, std::end(frame->m_body), [](BYTE b) { return b == 0; }));

    // A full buffer fills 1018 body bytes; a count beyond the buffer is cut.
    for (int received : {1024, 5000}) {
        const Received full("06 10 02 06 FF FF", received);
        frame.reset(knxnetip::CreateFrame(full.buffer, full.received, 0x0206));
        EXPECT_EQ(frame->m_body[1017], 0xAA) << received;
        EXPECT_EQ(frame->m_body[1018], 0) << received;
    }
}

TEST(FrameReport, TextsOfEachFrame)
{
    struct Case {
        const char* name;
        const char* bytes;
        const char* text;
    };
    const Case cases[] = {
        {"search response",
         "06 10 02 02 00 4E 08 01 C0 A8 01 0A 0E 57 36 01 02 00 11 05 00 00 "
         "00 01 02 03 04 05 00 00 00 00 00 0C DE AD BE EF",
         "received Search response:\nIP address    192 168 1 10  \nKNX Medium    2 \n"
         "EIB address   11 05  \nr.serial      00 01 02 03 04 05  \n"
         "r.MAC         00 0c de ad be ef  \n\n"},
        {"search response cut after its HPAI", "06 10 02 02 00 4E 08 01 C0 A8 01 0A 0E 57",
         "received Search response:\nIP address    192 168 1 10  \nKNX Medium    0 \n"
         "EIB address   00 00  \nr.serial      00 00 00 00 00 00  \n"
         "r.MAC         00 00 00 00 00 00  \n\n"},
        {"connect ok", "06 10 02 06 00 14 15 00 08 01 C0 A8 01 0A 0E 57 04 04 11 FF",
         "\nconnection ok:\nchannel       21 \nstatus        0 \nIP address    192 168 1 10  \n"
         "data          04 04 11 ff  \n\n"},
        {"connect failed", "06 10 02 06 00 08 00 24", "\nconnection failed:\n\n"},
        // The channel byte decides, not the status byte.
        {"connect failed with status 0", "06 10 02 06 00 08 00 00", "\nconnection failed:\n\n"},
        {"connect on a channel with a status", "06 10 02 06 00 14 15 24 08 01 C0 A8 01 0A 0E 57 04 04 11 FF",
         "\nconnection ok:\nchannel       21 \nstatus        36 \nIP address    192 168 1 10  \n"
         "data          04 04 11 ff  \n\n"},
        {"disconnect", "06 10 02 0A 00 08 C8 00", "disconnected\nchannel      200 \n\n"},
        // E_CONNECTION_ID: the gateway did not know the channel.
        {"disconnect refused", "06 10 02 0A 00 08 C8 21",
         "disconnect failed:\nchannel      200 \nstatus       33 \n\n"},
        {"disconnect request", "06 10 02 09 00 10 05 00 08 01 7F 00 00 01 0E 57", ""},
        {"connection state", "06 10 02 08 00 08 15 00", ""},
        {"tunnelling ack", "06 10 04 21 00 0A 04 15 00 00", ""},
        {"description request", "06 10 02 03 00 0E 08 01 C0 A8 01 0A 0E 57", "<no frame>"},
        {"routing indication", "06 10 05 30 00 11 29 00 BC E0 11 05 0A 03 01 00 81", "<no frame>"},
        {"unknown service", "06 10 02 0B 00 08 15 00", "<no frame>"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReportOf(Received(c.bytes)), c.text) << c.name;
}

TEST(FrameReport, GroupTelegramLine)
{
    // Header and connection header, then cEMI from the message code on.
    const std::string head = "06 10 04 20 00 15 04 05 00 00 ";
    struct Case {
        const char* name;
        std::string cemi;
        int cut;
        const char* text;
    };
    const Case cases[] = {
        {"length 0", "29 00 BC E0 11 05 0A 03 00 00", 0, "recv GA: L_DATA.ind  1.1.5  1/2/3  (0) : \n"},
        {"length 1", "29 00 BC E0 11 05 0A 03 01 00 81", 0, "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 1\n"},
        {"length 2", "11 00 BC E0 11 05 0A 03 02 00 80 C8", 0,
         "recv GA: L_DATA.req  1.1.5  1/2/3  (2) : 00 c8\n"},
        {"length 3", "2E 00 BC E0 11 05 0A 03 03 00 80 0C 33", 0,
         "recv GA: L_DATA.con  1.1.5  1/2/3  (3) : 21.5\n"},
        {"length 4", "29 00 BC E0 11 05 0A 03 04 00 80 01 02 03", 0,
         "recv GA: L_DATA.ind  1.1.5  1/2/3  (4) : \n"},
        {"length 200", "29 00 BC E0 11 05 0A 03 C8 00 " + std::string(200 * 3, '7'), 0,
         "recv GA: L_DATA.ind  1.1.5  1/2/3  (200) : ...\n"},
        {"unknown code", "2B 00 BC E0 11 05 0A 03 01 00 81", 0,
         "recv GA: unknown     1.1.5  1/2/3  (1) : 1\n"},
        // The APCI byte did not arrive; the stale 0xAA there must not show as 42.
        {"short frame", "29 00 BC E0 11 05 0A 03 01 00 81", 1,
         "recv GA: L_DATA.ind  1.1.5  1/2/3  (1) : 0\n"},
    };
    for (const Case& c : cases) {
        Received in(head + c.cemi);
        in.received -= c.cut;
        EXPECT_EQ(ReportOf(in), c.text) << c.name;
    }
    EXPECT_EQ(ReportOf(Received("06 10 04 20 00 0A 04 05 00 00 29 00 BC E0 11 05 0A 03 01 00 81")), "")
        << "total length 10";
}

// The group service comes from the TPCI byte's low bits as well: a frame
// with them set is another service, whatever its APCI byte says.
TEST(FrameReport, GroupServiceOfTelegram)
{
    struct Case {
        const char* tail;
        int service;
    };
    const Case cases[] = {
        {"01 00 00", knxnetip::kApciGroupValueRead},
        {"01 00 41", knxnetip::kApciGroupValueResponse},
        {"03 00 40 0C 33", knxnetip::kApciGroupValueResponse},
        {"01 00 81", knxnetip::kApciGroupValueWrite},
        {"01 01 40", 0x140},
        {"01 02 C0", 0x2C0},
        {"00 00", -1},
    };
    for (const Case& c : cases) {
        const Received in(std::string("06 10 04 20 00 16 04 05 00 00 29 00 BC E0 11 05 0A 03 ") + c.tail);
        std::unique_ptr<CRecvFrame> frame(knxnetip::CreateFrame(in.buffer, in.received, 0x0420));
        CTunnelRequest& telegram = dynamic_cast<CTunnelRequest&>(*frame);
        ASSERT_TRUE(telegram.Decode()) << c.tail;
        EXPECT_EQ(telegram.GroupService(), c.service) << c.tail;
    }
}

}  // namespace
