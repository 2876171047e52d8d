// libFuzzer target for received datagrams: each input as one, classified, created and reported from a
// buffer of its size; then as several through a real endpoint into the window-mode handlers and the session;
// and as a group value of each length, read as an EIS type and written back.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/KnxClient.h"
#include "core/TunnelSession.h"
#include "knx/EisTypes.h"
#include "knxnetip/RecvFrame.h"

namespace {

const int kFrameTypes[] = {0x0202, 0x0206, 0x0208, 0x0209, 0x020A, 0x0420, 0x0421};
const int kServices[] = {0x0201, 0x0202, 0x0206, 0x0208, 0x0209, 0x020A, 0x0310, 0x0421, 0x0530, 0x0999};
const char kGatewayAddress[] = "127.0.0.91";
const BYTE kChannel = 7;

[[noreturn]] void Fail(const char* what) { std::fprintf(stderr, "%s\n", what), std::abort(); }

void ReportOne(CKnxClient& client, const BYTE* bytes, int received, int type)
{
    std::unique_ptr<CRecvFrame> frame(client.CreateFrame(bytes, received, type));
    if (!frame) return;
    for (int i = received > 6 ? received - 6 : 0; i < static_cast<int>(sizeof frame->m_body); ++i)
        if (frame->m_body[i] != 0) Fail("bytes past the datagram in the body");
    frame->Report();
    client.m_strLog.clear();
}

void FuzzOneDatagram(const uint8_t* data, size_t size)
{
    static CKnxClient client;
    const std::vector<BYTE> bytes(data, data + std::min<size_t>(size, 1024));
    const int received = static_cast<int>(bytes.size()), type = knxnetip::ClassifyFrame(bytes.data(), received);
    ReportOne(client, bytes.data(), received, type);
    // Every frame class also meets bytes whose header did not say so.
    if (type == 0 && received > 0) ReportOne(client, bytes.data(), received, kFrameTypes[data[0] % 7]);
}

// Counts what the session reports: the telegrams, and whether the tunnel stays open.
struct CountingListener : CTunnelListener {
    void OnOpened(int) override {}
    void OnRefused(int) override { Fail("connect refused"); }
    void OnLost(const CString&) override { Fail("tunnel lost"); }
    void OnClosed() override { Fail("session closed"); }
    void OnTelegram(const CTunnelRequest&) override { ++telegrams; }
    void OnOutput(const CString&) override {}
    size_t telegrams = 0;
};

// The client with its window and endpoints, a session open on kChannel, and the gateway socket they talk to;
// made once.
struct WindowRig {
    CountingListener listener;
    CTunnelSession session{listener};
    CKnxClient client;
    int gateway = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in data{AF_INET, 0, {inet_addr("127.0.0.1")}, {}};
    sockaddr_in control{AF_INET, 0, {inet_addr("127.0.0.1")}, {}};

    WindowRig()
    {
        sockaddr_in local{AF_INET, htons(3671), {inet_addr(kGatewayAddress)}, {}};
        if (gateway < 0 || bind(gateway, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            Fail("no gateway socket");
        if (!client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) || !session.Create())
            Fail("no client or session window");
        client.Open("127.0.0.1", kGatewayAddress);
        data.sin_port = htons(static_cast<uint16_t>(client.m_dataEndpoint.m_nLocPort));
        control.sin_port = htons(static_cast<uint16_t>(client.m_controlEndpoint.m_nLocPort));
        session.Attach(client);
        session.Connect(false, true);
        const BYTE grant[] = {0x06, 0x10, 0x02, 0x06, 0x00, 0x14, kChannel, 0, 8, 1, 127, 0, 0, 9, 0x0E, 0x57,
                              4, 4, 0x11, 0xFA};
        Send(grant, sizeof grant, control);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (MSG msg; !session.IsOpen(); poll(nullptr, 0, 1)) {
            if (std::chrono::steady_clock::now() > deadline) Fail("no tunnel");
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        }
    }
    void Send(const BYTE* bytes, size_t size, const sockaddr_in& to)
    {
        sendto(gateway, bytes, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
};

// Input records: a length byte, a kind byte, then the bytes after the header, which gives the datagram's
// own size (so a frame never depends on how reads join datagrams). Each valid telegram must be judged by the
// sequence rule (the expected one reported once and acknowledged, the one before acknowledged again, any
// other dropped; each acknowledgement sent twice); a last one, surely new, shows when all is handled.
// Connection checks are answered.
void FuzzWindowMode(const uint8_t* data, size_t size)
{
    static WindowRig rig;
    rig.client.StartChannel(kChannel);
    rig.listener.telegrams = 0;
    std::vector<std::vector<BYTE>> datagrams;
    std::vector<int> expectedAcks, acks;
    size_t expectedReports = 1;  // one for the last telegram
    int expected = 0;
    for (size_t at = 0; at + 2 <= size && datagrams.size() < 16;) {
        const size_t bodySize = std::min<size_t>(data[at] % 40, size - at - 2), total = 6 + bodySize;
        const int kind = data[at + 1], service = kind & 0x80 ? 0x0420 : kServices[kind % 10];
        std::vector<BYTE> d = {0x06, 0x10, BYTE(service >> 8), BYTE(service), BYTE(total >> 8), BYTE(total)};
        d.insert(d.end(), data + at + 2, data + at + 2 + bodySize);
        at += 2 + bodySize;
        if ((kind & 0x40) && d.size() > 7) d[7] = kChannel;  // most requests are for the client's channel
        if ((kind & 0x20) && d.size() > 8) d[8] = BYTE(expected);  // and many carry the number expected
        datagrams.push_back(d);
        // A request too short for its cEMI makes no frame: neither acknowledged nor reported.
        std::unique_ptr<CRecvFrame> frame(rig.client.CreateFrame(d.data(), int(d.size()), service));
        if (!frame || d.size() < 10 || service != 0x0420 || d[7] != kChannel) continue;
        if (d[8] == expected) {
            expectedAcks.insert(expectedAcks.end(), 2, d[8]);
            expectedReports += d.size() > 10;  // a report needs bytes past the header
            expected = (expected + 1) & 0xFF;
        } else if (d[8] == ((expected - 1) & 0xFF)) {
            expectedAcks.insert(expectedAcks.end(), 2, d[8]);
        }
    }
    const BYTE next = static_cast<BYTE>(expected);
    datagrams.push_back({0x06, 0x10, 0x04, 0x20, 0x00, 0x15, 0x04, kChannel, next, 0x00, 0x29,
                         0x00, 0xBC, 0xE0, 0x11, 0x05, 0x0A, 0x03, 0x01,     0x00, 0x81});
    expectedAcks.insert(expectedAcks.end(), 2, next);
    for (const std::vector<BYTE>& d : datagrams) rig.Send(d.data(), d.size(), rig.data);
    // Pumps the messages and takes the sequence numbers of the acknowledgements; 2 s at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (MSG msg; acks.size() < expectedAcks.size();) {
        if (std::chrono::steady_clock::now() > deadline) Fail("acknowledgements missing");
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        pollfd p = {rig.gateway, POLLIN, 0};
        BYTE frame[64];
        if (poll(&p, 1, 1) <= 0 || recv(rig.gateway, frame, sizeof frame, 0) < 10) continue;
        if (frame[3] == 0x07) {  // a connection check: the tunnel is there
            const BYTE answer[] = {0x06, 0x10, 0x02, 0x08, 0x00, 0x08, kChannel, 0};
            rig.Send(answer, sizeof answer, rig.control);
            continue;
        }
        if (frame[3] != 0x21) continue;
        if (frame[7] != kChannel) Fail("acknowledgement on another channel");
        acks.push_back(frame[8]);
    }
    if (acks != expectedAcks) Fail("acknowledgements differ");
    if (rig.listener.telegrams != expectedReports) Fail("telegrams reported wrongly");
}

// The first byte picks the type. Whatever the read shows, send takes, and writes a value that reads the same.
void FuzzEisValue(const uint8_t* data, size_t size)
{
    if (size < 1) return;
    const int type = data[0] % kEisTypeCount + 1;
    EisData value, written;
    value.length = static_cast<int>(std::min<size_t>(size - 1, kLargestEisData));
    std::memcpy(value.bytes, data + 1, static_cast<size_t>(value.length));
    for (CString text, again; value.length >= 1; --value.length) {
        if (!DecodeEisValue(type, value, text)) continue;
        if (!EncodeEisValue(type, text, written) || !DecodeEisValue(type, written, again) || again != text)
            Fail("a value read is not written back as itself");
    }
}

}  // namespace

// Reports go to standard output; keep the fuzzer's console readable.
extern "C" int LLVMFuzzerInitialize(int*, char***) { return std::freopen("/dev/null", "w", stdout) ? 0 : 1; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzOneDatagram(data, size);
    FuzzWindowMode(data, size);
    FuzzEisValue(data, size);
    return 0;
}
