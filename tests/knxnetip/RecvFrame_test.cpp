#include <gtest/gtest.h>

#include "knxnetip/RecvFrame.h"
#include "tests/support/Hex.h"

namespace {

// The cEMI from the control field to the group address, and a whole tunnelling request around a cEMI.
const std::string ga = "BC E0 FF FE FF FF ";
std::string Tunnel(const std::string& cemi)
{
    const unsigned total = unsigned(10 + ParseHex(cemi).size());
    char head[40];
    std::snprintf(head, sizeof head, "06 10 04 20 %02X %02X 04 05 00 00 ", total >> 8, total & 0xFF);
    return head + cemi;
}
std::string Repeat(const std::string& hex, int n) { return n > 0 ? hex + Repeat(hex, n - 1) : ""; }

// A receive buffer as the callers have it: 1024 bytes, an earlier datagram's (0xAA) past the new one.
struct Received : CFrameOutput {
    Received(const std::string& hex, int cut = 0) : bytes(ParseHex(hex)), count(int(bytes.size()) - cut)
    {
        bytes.resize(1024, 0xAA);
    }
    int Type() const { return knxnetip::ClassifyFrame(bytes.data(), count); }
    CRecvFrame* Frame(int type) const { return knxnetip::CreateFrame(bytes.data(), count, type); }
    std::string Report()  // classified, created and reported as the callers do
    {
        std::unique_ptr<CRecvFrame> frame(Frame(Type()));
        if (!frame) return "<no frame>";
        frame->m_pClient = this;
        frame->Report();
        return text;
    }
    void Output(CString line) override { text += line; }
    Bytes bytes;
    int count;
    std::string text;
};

// A wrong header, or bytes past the received count (even when the buffer holds them).
TEST(ClassifyFrame, WrongHeaderOrShortCountIsNoFrame)
{
    for (const char* hex : {"06 11 02 06", "07 10 02 06"}) EXPECT_EQ(Received(hex).Type(), 0) << hex;
    for (int cut : {1, 4, 9}) EXPECT_EQ(Received("06 10 02 06", cut).Type(), 0) << cut;
}

TEST(FrameReport, TextsOfEachFrame)
{
    const std::string line = "recv GA: L_DATA.ind  15.15.254  31/7/255  ";
    const std::pair<std::string, std::string> cases[] = {
        {"06 10 02 06 00 08 00 00", "\nconnection failed:\n\n"},  // the channel decides, not the status
        {"06 10 02 0A 00 08 C8 00", "disconnected\nchannel      200 \n\n"},
        {"06 10 02 0A 00 08 C8 21", "disconnect failed:\nchannel      200 \nstatus       33 \n\n"},
        {"06 10 02 09 00 10 05 00 08 01 7F 00 00 01 0E 57", ""}, {"06 10 05 30", "<no frame>"},
        {Tunnel("29 00 " + ga + "00 00"), line + "(0) : \n"},
        {Tunnel("29 00 " + ga + "04 00 80 01 02 03"), line + "(4) : \n"},
        {Tunnel("29 00 " + ga + "C8 00 " + Repeat("77 ", 200)), line + "(200) : ...\n"},
        {Tunnel("11 00 " + ga + "02 00 80 C8"), "recv GA: L_DATA.req  15.15.254  31/7/255  (2) : 00 c8\n"},
        {Tunnel("2E 00 " + ga + "03 00 80 0C 33"), "recv GA: L_DATA.con  15.15.254  31/7/255  (3) : 21.5\n"},
        // The float's scale is the single-precision 0.01: the largest value is 670760.945..., not 670760.96.
        {Tunnel("29 00 " + ga + "03 00 80 7F FF"), line + "(3) : 670760.9\n"},
        {Tunnel("29 00 " + ga + "03 00 80 F8 00"), line + "(3) : -671088.6\n"},
        {Tunnel("2B 00 " + ga + "01 00 81"), "recv GA: unknown     15.15.254  31/7/255  (1) : 1\n"},
        // Additional information comes before the control field.
        {Tunnel("29 FF " + Repeat("01 ", 255) + ga + "01 00 81"), line + "(1) : 1\n"},
        // Cut short of the total length or the data length: no telegram, so no acknowledgement either.
        {"06 10 04 20 00 15 04 05 00", "<no frame>"},
        {"06 10 04 20 00 0A 04 05 00 00 29 00 " + ga + "01 00 81", "<no frame>"},  // total length 10
        {Tunnel("29 04 04 00 01 E2 " + ga + "01 00"), "<no frame>"}};
    for (const auto& c : cases) EXPECT_EQ(Received(c.first).Report(), c.second) << c.first;
}

// The group service comes from the TPCI byte's low bits as well: with them set, whatever the APCI says.
TEST(FrameReport, GroupServiceOfTelegram)
{
    // Additional information first (its length byte and bytes), then what follows the group address.
    const std::tuple<const char*, const char*, int> cases[] = {{"00 ", "01 00 7F", 0x40},
        {"00 ", "01 01 40", 0x140}, {"00 ", "01 02 C0", 0x2C0}, {"00 ", "00 00", -1},
        {"02 03 03 ", "01 00 41", 0x40}};
    for (const auto& [addInfo, tail, service] : cases) {
        const std::string request = Tunnel("29 " + std::string(addInfo) + ga + tail);
        std::unique_ptr<CRecvFrame> frame(Received(request).Frame(0x0420));
        ASSERT_TRUE(frame) << tail;
        auto& telegram = dynamic_cast<CTunnelRequest&>(*frame);
        EXPECT_EQ(telegram.Decode() ? telegram.GroupService() : -2, service) << tail;
    }
}

}  // namespace
