// libFuzzer target for received datagrams: each input as one, classified, created and reported from a
// buffer of its size; then as several through a real endpoint into the window-mode handlers; and as a
// group value of each length, read as an EIS type and written back.
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
    const int received = static_cast<int>(bytes.size()), type = client.ClassifyFrame(bytes.data(), received);
    ReportOne(client, bytes.data(), received, type);
    // Every frame class also meets bytes whose header did not say so.
    if (type == 0 && received > 0) ReportOne(client, bytes.data(), received, kFrameTypes[data[0] % 7]);
}

// The client with its window and endpoints, and the gateway socket they talk to; made once.
struct WindowRig {
    CKnxClient client;
    int gateway = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in data{AF_INET, 0, {inet_addr("127.0.0.1")}, {}};

    WindowRig()
    {
        sockaddr_in local{AF_INET, htons(3671), {inet_addr(kGatewayAddress)}, {}};
        if (gateway < 0 || bind(gateway, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            Fail("no gateway socket");
        if (!client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr)) Fail("no client window");
        KillTimer(client.m_hWnd, client.m_nTimerId);  // no heartbeats: nothing answers them here
        client.Open("127.0.0.1", kGatewayAddress);
        data.sin_port = htons(static_cast<uint16_t>(client.m_dataEndpoint.m_nLocPort));
    }
};

// Input records: a length byte, a kind byte, then the bytes after the header, which gives the datagram's
// own size (so a frame never depends on how reads join datagrams). Each valid telegram must be reported
// once and acknowledged with its own sequence; a last one, surely new, shows when all is handled.
void FuzzWindowMode(const uint8_t* data, size_t size)
{
    static WindowRig rig;
    rig.client.m_nChannelId = kChannel, rig.client.m_bRecvSequenceTaken = 0, rig.client.m_strLog.Empty();
    std::vector<std::vector<BYTE>> datagrams;
    std::vector<int> expectedAcks, acks;
    size_t expectedReports = 1, reports = 0;  // one for the last telegram
    int last = -1;
    for (size_t at = 0; at + 2 <= size && datagrams.size() < 16;) {
        const size_t bodySize = std::min<size_t>(data[at] % 40, size - at - 2), total = 6 + bodySize;
        const int kind = data[at + 1], service = kind & 0x80 ? 0x0420 : kServices[kind % 10];
        std::vector<BYTE> d = {0x06, 0x10, BYTE(service >> 8), BYTE(service), BYTE(total >> 8), BYTE(total)};
        d.insert(d.end(), data + at + 2, data + at + 2 + bodySize);
        at += 2 + bodySize;
        if ((kind & 0x40) && d.size() > 7) d[7] = kChannel;  // most requests are for the client's channel
        datagrams.push_back(d);
        if (d.size() < 10 || service != 0x0420 || d[7] != kChannel) continue;
        expectedAcks.push_back(d[8]);
        expectedReports += d[8] != last && d.size() > 10;  // a report needs bytes past the header
        last = d[8];
    }
    const BYTE next = static_cast<BYTE>(last + 1);
    datagrams.push_back({0x06, 0x10, 0x04, 0x20, 0x00, 0x15, 0x04, kChannel, next, 0x00, 0x29,
                         0x00, 0xBC, 0xE0, 0x11, 0x05, 0x0A, 0x03, 0x01,     0x00, 0x81});
    expectedAcks.push_back(next);
    for (const std::vector<BYTE>& d : datagrams)
        sendto(rig.gateway, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&rig.data),
               sizeof rig.data);
    // Pumps the client's messages and takes the sequence numbers of the acknowledgements; 2 s at most.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (MSG msg; acks.size() < expectedAcks.size();) {
        if (std::chrono::steady_clock::now() > deadline) Fail("acknowledgements missing");
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        pollfd p = {rig.gateway, POLLIN, 0};
        BYTE frame[64];
        if (poll(&p, 1, 1) <= 0 || recv(rig.gateway, frame, sizeof frame, 0) != 10 || frame[3] != 0x21)
            continue;
        if (frame[7] != kChannel) Fail("acknowledgement on another channel");
        acks.push_back(frame[8]);
    }
    if (acks != expectedAcks) Fail("acknowledgements differ");
    const std::string log = rig.client.m_strLog.str();
    for (size_t at = log.find("recv GA: "); at != std::string::npos; at = log.find("recv GA: ", at + 1))
        ++reports;
    if (reports != expectedReports) Fail("telegrams reported wrongly");
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
