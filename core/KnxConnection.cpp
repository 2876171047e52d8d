// The connection operations of the client: open the endpoints, and the
// console's confirmed exchanges (connect, write, disconnect), each request
// repeated until its answer comes or its attempts are used up.
#include <chrono>
#include <memory>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/OutgoingFrames.h"
#include "knxnetip/RecvFrame.h"
#include "platform/wsock.h"

using namespace knxnetip;

namespace {

std::uint64_t NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void CKnxClient::Open(CString localIpAddress, CString gatewayIpAddress)
{
    m_strLocalIpAddress = localIpAddress;
    m_strGatewayIpAddress = gatewayIpAddress;
    m_dwLocalAddress = inet_addr(localIpAddress);
    m_controlEndpoint.SetNotify(this, WM_KNX_CONTROL_DATA);
    m_dataEndpoint.SetNotify(this, WM_KNX_TUNNEL_DATA);
    Reopen();
}

void CKnxClient::Reopen()
{
    for (CUdpEndpoint* endpoint : {&m_controlEndpoint, &m_dataEndpoint}) {
        endpoint->Start(m_strLocalIpAddress, m_strGatewayIpAddress, kKnxNetIpPort, 0);
        endpoint->WaitRunning();
    }
    m_nControlPort = m_controlEndpoint.m_nLocPort;
    m_nDataPort = m_dataEndpoint.m_nLocPort;
    m_bInitialized = 1;
}

void CKnxClient::StartChannel(int channel)
{
    m_nChannelId = channel;
    m_nExpectedSequence = 0;
    m_nRecvSequence = 0;
    m_nSendSequence = 0;
}

CKnxClient::Sequence CKnxClient::JudgeSequence(int sequence)
{
    if (sequence == m_nExpectedSequence) {
        m_nRecvSequence = sequence;
        m_nExpectedSequence = (sequence + 1) & 0xFF;
        return Sequence::Taken;
    }
    if (sequence == ((m_nExpectedSequence - 1) & 0xFF)) {
        m_nRecvSequence = sequence;
        return Sequence::Repeat;
    }
    return Sequence::Other;
}

int CKnxClient::Connect()
{
    if (m_bInitialized == 0) {
        Output("Ostrel is not initialized\n");
        return kNoAnswer;
    }
    m_nChannelId = -1;
    BYTE frame[kLargestOutgoingFrame];
    const int length = BuildConnectRequest(frame, m_dwLocalAddress, m_nControlPort, m_nDataPort);
    int attempts = 0;
    std::unique_ptr<CRecvFrame> answer = Exchange(
        m_controlEndpoint, frame, length, exchange::kConnectAttempts,
        [](int serviceType, CRecvFrame&) { return serviceType == kConnectResponse; }, &attempts);
    // Each request but the one answered may still bring a grant of its own.
    m_nUnansweredConnects = answer ? attempts - 1 : attempts;
    m_nLastConnectMs = m_nLastWriteMs;
    if (!answer) return kNoAnswer;
    const int status = answer->FrameByte(kOffResponseStatus);
    if (status == kNoError) StartChannel(answer->FrameByte(kOffResponseChannelId));
    return status;
}

// The write is built once: a repeat carries the same sequence number, which
// the gateway acknowledges again and does not pass on twice. The request and
// the later DISCONNECT_REQUEST leave from two sockets; waiting for the
// acknowledgement also keeps the disconnect from overtaking the write.
WriteResult CKnxClient::SendGroupValue(WORD groupAddress, int eisType, const EisData& value)
{
    m_nEisType = eisType;
    m_wGroupAddress = groupAddress;
    m_value = value;
    if (m_nChannelId < 0) return WriteResult::NoTunnel;
    BYTE frame[kLargestOutgoingFrame];
    const int length = BuildGroupWrite(frame);
    if (length == 0) return WriteResult::NotEncoded;
    const int channel = m_nChannelId, sequence = frame[kOffSequence];
    std::unique_ptr<CRecvFrame> ack = Exchange(
        m_dataEndpoint, frame, length, exchange::kWriteAttempts, [&](int serviceType, CRecvFrame& f) {
            return serviceType == kTunnellingAck && f.FrameByte(kOffChannelId) == channel &&
                   f.FrameByte(kOffSequence) == sequence && f.FrameByte(kOffConnStatus) == kNoError;
        });
    return ack ? WriteResult::Acknowledged : WriteResult::Unacknowledged;
}

void CKnxClient::Disconnect()
{
    if (m_nChannelId >= 0) {
        BYTE frame[kLargestOutgoingFrame];
        const int length =
            BuildControlRequest(frame, kDisconnectRequest, m_nChannelId, m_dwLocalAddress, m_nControlPort);
        const int channel = m_nChannelId;
        m_controlEndpoint.Write(frame, static_cast<DWORD>(length));  // the first of two copies
        Exchange(m_controlEndpoint, frame, length, 1,
                 [&](int serviceType, CRecvFrame& f) {
                     return serviceType == kDisconnectResponse &&
                            f.FrameByte(kOffResponseChannelId) == channel;
                 });
        m_nChannelId = -1;
    }
    // A grant for a request that was repeated may still be on its way.
    while (m_nUnansweredConnects > 0) {
        const std::uint64_t end = m_nLastConnectMs + 2 * m_dwAnswerWaitMs, now = NowMs();
        if (now >= end) break;
        int serviceType = 0;
        std::unique_ptr<CRecvFrame> frame = NextFrame(m_controlEndpoint, static_cast<DWORD>(end - now), serviceType);
        if (frame) Stray(serviceType, *frame);
    }
}

std::unique_ptr<CRecvFrame> CKnxClient::Exchange(CUdpEndpoint& endpoint, const BYTE* frame, int length,
                                                 int attempts,
                                                 const std::function<bool(int, CRecvFrame&)>& isAnswer,
                                                 int* attemptsUsed)
{
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (attemptsUsed) *attemptsUsed = attempt;
        endpoint.Write(frame, static_cast<DWORD>(length));
        m_nLastWriteMs = NowMs();
        const std::uint64_t end = m_nLastWriteMs + m_dwAnswerWaitMs;
        for (std::uint64_t now = NowMs(); now < end; now = NowMs()) {
            int serviceType = 0;
            std::unique_ptr<CRecvFrame> got = NextFrame(endpoint, static_cast<DWORD>(end - now), serviceType);
            if (!got) continue;
            if (isAnswer(serviceType, *got)) return got;
            Stray(serviceType, *got);
        }
    }
    return nullptr;
}

void CKnxClient::Stray(int serviceType, CRecvFrame& frame)
{
    if (serviceType == kConnectResponse) {
        if (m_nUnansweredConnects > 0) --m_nUnansweredConnects;
        const int channel = frame.FrameByte(kOffResponseChannelId);
        if (frame.FrameByte(kOffResponseStatus) == kNoError && channel != m_nChannelId)
            SendDisconnectFor(channel);
    } else if (serviceType == kTunnellingRequest && m_nChannelId >= 0 &&
               frame.FrameByte(kOffChannelId) == m_nChannelId &&
               frame.m_nLength >= static_cast<DWORD>(kHeaderSize + kConnHeaderSize)) {
        if (JudgeSequence(frame.FrameByte(kOffSequence)) != Sequence::Other)
            SendTunnellingAck(m_dataEndpoint);
    }
}

std::unique_ptr<CRecvFrame> CKnxClient::NextFrame(CUdpEndpoint& endpoint, DWORD timeoutMs, int& serviceType)
{
    const std::uint64_t end = NowMs() + timeoutMs;
    for (;;) {
        if (endpoint.HasData() > 0) {
            BYTE buffer[kReceiveBufferSize];
            const int received = endpoint.Read(buffer, sizeof buffer);
            serviceType = ClassifyFrame(buffer, received);
            std::unique_ptr<CRecvFrame> frame(CreateFrame(buffer, received, serviceType));
            if (frame) return frame;
            continue;
        }
        const std::uint64_t now = NowMs();
        if (now >= end) return nullptr;
        endpoint.WaitForData(static_cast<DWORD>(end - now));
        if (endpoint.HasData() == 0 && NowMs() >= end) return nullptr;
    }
}
