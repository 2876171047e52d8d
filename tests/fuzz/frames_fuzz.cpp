// libFuzzer target for the received-datagram path, in two ways on each input.
// First as one datagram: classify, create and report, as the client's
// callers do; the datagram sits in a buffer of exactly its size, so any read
// past the received count is caught by AddressSanitizer. Then as a sequence
// of datagrams that a gateway socket sends through the client's real data
// endpoint into its window-mode handlers: each valid telegram must be
// reported once and acknowledged with its own sequence number.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/KnxClient.h"
#include "knxnetip/RecvFrame.h"

namespace {

const int kFrameTypes[] = {0x0202, 0x0206, 0x0208, 0x0209, 0x020A, 0x0420, 0x0421};

void ReportOne(CKnxClient& client, const BYTE* bytes, int received, int type)
{
    std::unique_ptr<CRecvFrame> frame(client.CreateFrame(bytes, received, type));
    if (!frame) return;
    // Nothing past the datagram may show up in the body.
    for (int i = received > 6 ? received - 6 : 0; i < static_cast<int>(sizeof frame->m_body); ++i)
        if (frame->m_body[i] != 0) std::abort();
    frame->Report();
    client.m_strLog.clear();
}

void FuzzOneDatagram(const uint8_t* data, size_t size)
{
    static CKnxClient client;
    const int received = static_cast<int>(size < 1024 ? size : 1024);
    std::vector<BYTE> bytes(data, data + received);
    const BYTE* buffer = bytes.empty() ? nullptr : bytes.data();

    const int type = client.ClassifyFrame(buffer, received);
    ReportOne(client, buffer, received, type);
    // Every frame class also meets bytes whose header did not say so.
    if (type == 0 && received > 0)
        ReportOne(client, buffer, received,
                  kFrameTypes[data[0] % (sizeof kFrameTypes / sizeof kFrameTypes[0])]);
}

const char kGatewayAddress[] = "127.0.0.91";
const BYTE kChannel = 7;
const int kMaxDatagrams = 16;
const int kServices[] = {0x0201, 0x0202, 0x0206, 0x0208, 0x0209, 0x020A, 0x0310, 0x0421, 0x0530, 0x0999};

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "window-mode path: %s\n", what);
    std::abort();
}

// A client with its window and open endpoints, and the gateway socket that
// its endpoints talk to. Made once; each input starts from the same state.
struct WindowRig {
    CKnxClient client;
    int gateway = -1;
    sockaddr_in data{};

    WindowRig()
    {
        gateway = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(3671);
        local.sin_addr.s_addr = inet_addr(kGatewayAddress);
        if (gateway < 0 || bind(gateway, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            Fail("no gateway socket");
        if (!client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr)) Fail("no client window");
        KillTimer(client.m_hWnd, client.m_nTimerId);  // no heartbeats: nothing answers them here
        client.Open("127.0.0.1", kGatewayAddress);
        if (client.m_dataEndpoint.m_bRunning != 1) Fail("data endpoint not running");
        data.sin_family = AF_INET;
        data.sin_port = htons(static_cast<uint16_t>(client.m_dataEndpoint.m_nLocPort));
        data.sin_addr.s_addr = inet_addr("127.0.0.1");
    }
};

// Records of the input: a length byte, a kind byte, then the bytes after the
// header. Every datagram starts with a header whose total length is its own
// size, so what makes one frame never depends on how reads join datagrams.
std::vector<std::vector<BYTE>> Datagrams(const uint8_t* data, size_t size)
{
    std::vector<std::vector<BYTE>> datagrams;
    size_t at = 0;
    while (at + 2 <= size && datagrams.size() < kMaxDatagrams) {
        const size_t bodySize = std::min<size_t>(data[at] % 40, size - at - 2);
        const BYTE kind = data[at + 1];
        at += 2;
        std::vector<BYTE> d(6 + bodySize);
        std::memcpy(d.data() + 6, data + at, bodySize);
        at += bodySize;
        const int service = kind & 0x80 ? 0x0420 : kServices[kind % (sizeof kServices / sizeof kServices[0])];
        d[0] = 0x06;
        d[1] = 0x10;
        d[2] = static_cast<BYTE>(service >> 8);
        d[3] = static_cast<BYTE>(service);
        d[4] = static_cast<BYTE>(d.size() >> 8);
        d[5] = static_cast<BYTE>(d.size());
        if ((kind & 0x40) && d.size() > 7) d[7] = kChannel;  // most requests are for the client's channel
        datagrams.push_back(d);
    }
    return datagrams;
}

bool IsOurRequest(const std::vector<BYTE>& d)
{
    return d.size() >= 10 && d[2] == 0x04 && d[3] == 0x20 && d[7] == kChannel;
}

size_t CountOf(const std::string& text, const char* part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Pumps the client's messages and collects the acknowledgements (their
// sequence numbers) the gateway gets, until count came; two seconds at most.
std::vector<int> CollectAcks(WindowRig& rig, size_t count)
{
    std::vector<int> acks;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (acks.size() < count) {
        if (std::chrono::steady_clock::now() > deadline) Fail("acknowledgements missing");
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        pollfd p = {rig.gateway, POLLIN, 0};
        if (poll(&p, 1, 1) <= 0) continue;
        BYTE frame[64];
        const ssize_t n = recv(rig.gateway, frame, sizeof frame, 0);
        if (n != 10 || frame[2] != 0x04 || frame[3] != 0x21) continue;
        if (frame[7] != kChannel) Fail("acknowledgement on another channel");
        acks.push_back(frame[8]);
    }
    return acks;
}

void FuzzWindowMode(const uint8_t* data, size_t size)
{
    static WindowRig rig;
    CKnxClient& client = rig.client;
    client.m_nChannelId = kChannel;
    client.m_bRecvSequenceTaken = 0;
    client.m_strLog.Empty();

    std::vector<std::vector<BYTE>> datagrams = Datagrams(data, size);
    std::vector<int> expectedAcks;
    size_t expectedReports = 0;
    int last = -1;
    for (const std::vector<BYTE>& d : datagrams) {
        if (!IsOurRequest(d)) continue;
        expectedAcks.push_back(d[8]);
        if (d[8] != last && d.size() > 10) ++expectedReports;  // a report needs bytes past the header
        last = d[8];
    }
    // A last telegram that is surely new: once it is acknowledged, all is handled.
    const BYTE next = static_cast<BYTE>(last + 1);
    datagrams.push_back({0x06, 0x10, 0x04, 0x20, 0x00, 0x15, 0x04, kChannel, next, 0x00, 0x29,
                         0x00, 0xBC, 0xE0, 0x11, 0x05, 0x0A, 0x03, 0x01,     0x00, 0x81});
    expectedAcks.push_back(next);
    ++expectedReports;

    for (const std::vector<BYTE>& d : datagrams)
        sendto(rig.gateway, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&rig.data),
               sizeof rig.data);
    if (CollectAcks(rig, expectedAcks.size()) != expectedAcks) Fail("acknowledgements differ");
    if (CountOf(client.m_strLog.str(), "recv GA: ") != expectedReports) Fail("telegrams reported wrongly");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Reports go to standard output; keep the fuzzer's console readable.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzOneDatagram(data, size);
    FuzzWindowMode(data, size);
    return 0;
}
