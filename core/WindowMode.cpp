// Window-message mode: the client's message map, the heartbeat, and the
// handlers of the endpoints' notifications.
#include <cstring>
#include <memory>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"

BEGIN_MESSAGE_MAP(CKnxClient, CWnd)
    ON_WM_TIMER()
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_KNX_SEARCH_DATA, OnSearchData)
    ON_MESSAGE(WM_KNX_CONTROL_DATA, OnControlData)
    ON_MESSAGE(WM_KNX_TUNNEL_DATA, OnTunnelData)
END_MESSAGE_MAP()

int CKnxClient::OnCreate(LPCREATESTRUCT)
{
    if (Default() == -1) return -1;
    m_nTimerId = static_cast<UINT>(SetTimer(m_hWnd, HEARTBEAT_TIMER_ID, HEARTBEAT_INTERVAL_MS, nullptr));
    return 0;
}

void CKnxClient::OnDestroy()
{
    KillTimer(m_hWnd, m_nTimerId);
    StopRunningEndpoints();
    CWnd::OnDestroy();
}

// Each tick sends a heartbeat while there is a channel; a tick that finds the
// last three unanswered takes the tunnel for lost instead.
void CKnxClient::OnTimer(UINT timerId)
{
    if (timerId != HEARTBEAT_TIMER_ID || m_nChannelId <= 0) return;
    if (m_nUnansweredHeartbeats >= HEARTBEATS_BEFORE_LOSS) {
        CString reason;
        reason.Format("no answer to %d heartbeats", HEARTBEATS_BEFORE_LOSS);
        TunnelLost(reason);
        return;
    }
    SendConnectionStateRequest(m_controlEndpoint, m_dwLocalAddress, m_nControlPort);
    ++m_nUnansweredHeartbeats;
}

LRESULT CKnxClient::OnSearchData(WPARAM, LPARAM)
{
    HandleEachFrame(m_searchEndpoint, &CKnxClient::SearchFrameStep);
    return 0;
}

LRESULT CKnxClient::OnControlData(WPARAM, LPARAM)
{
    HandleEachFrame(m_controlEndpoint, &CKnxClient::ControlFrameStep);
    return 0;
}

LRESULT CKnxClient::OnTunnelData(WPARAM, LPARAM)
{
    HandleEachFrame(m_dataEndpoint, &CKnxClient::TunnelFrameStep);
    return 0;
}

void CKnxClient::SearchFrameStep(int, CRecvFrame* frame)
{
    frame->Report();
}

// The channel is taken before the report, so the report shows the new state.
void CKnxClient::ControlFrameStep(int serviceType, CRecvFrame* frame)
{
    HandleResponse(serviceType, frame);
    WatchTunnel(serviceType, frame);
    if (serviceType == knxnetip::kConnectResponse && m_bQuietConnect) return;
    frame->Report();
}

// What a control frame for our channel says of the tunnel: an answered
// heartbeat keeps it; an error status in that answer, or the gateway's
// DISCONNECT_REQUEST (which wants its DISCONNECT_RESPONSE), ends it.
void CKnxClient::WatchTunnel(int serviceType, CRecvFrame* frame)
{
    using namespace knxnetip;
    if (m_nChannelId <= 0 || frame->m_body[kOffControlChannelId - kHeaderSize] != m_nChannelId) return;
    if (serviceType == kConnStateResponse) {
        const int status = frame->m_body[kOffResponseStatus - kHeaderSize];
        if (status == kNoError) {
            m_nUnansweredHeartbeats = 0;
            return;
        }
        CString reason;
        reason.Format("the gateway answered the heartbeat with status %d", status);
        TunnelLost(reason);
    } else if (serviceType == kDisconnectRequest) {
        SendDisconnectResponse(m_controlEndpoint);
        TunnelLost("the gateway closed the connection");
    }
}

void CKnxClient::TunnelLost(const CString& reason)
{
    m_strTunnelLoss = reason;
    m_nChannelId = -1;
}

// A request on another channel is not ours: neither reported nor answered.
// One that repeats the sequence counter of the last one taken comes again
// because our acknowledgement was lost: it is acknowledged again but not
// reported again. Each request is reported before it is acknowledged.
void CKnxClient::TunnelFrameStep(int serviceType, CRecvFrame* frame)
{
    using namespace knxnetip;
    if (serviceType != kTunnellingRequest) {
        frame->Report();
        return;
    }
    if (frame->m_body[kOffChannelId - kHeaderSize] != m_nChannelId) return;
    if (frame->m_nLength < static_cast<DWORD>(kHeaderSize + kConnHeaderSize)) return;
    const int sequence = frame->m_body[kOffSequence - kHeaderSize];
    if (!m_bRecvSequenceTaken || sequence != m_nRecvSequence) frame->Report();
    m_nRecvSequence = sequence;
    m_bRecvSequenceTaken = 1;
    SendTunnellingAck(m_dataEndpoint);
}

namespace {

// Length of the complete frame at the start of bytes, 0 when the bytes hold
// only its beginning, -1 when they do not start a KNXnet/IP frame (or one
// that could never fit the receive buffer).
int CompleteFrameLength(const BYTE* bytes, int count)
{
    using namespace knxnetip;
    if (count >= 1 && bytes[kOffHeaderLength] != kHeaderLength) return -1;
    if (count >= 2 && bytes[kOffVersion] != kProtocolVersion) return -1;
    if (count < kHeaderSize) return 0;
    int total = bytes[kOffTotalLength] << 8 | bytes[kOffTotalLength + 1];
    if (total < kHeaderSize || total > kReceiveBufferSize) return -1;
    return total <= count ? total : 0;
}

}  // namespace

// The receive pipe carries bytes, not datagrams: one read may hold several
// frames (a gateway sends its TUNNELLING_ACK and the confirmation back to
// back; a busy bus sends bursts), and a later notification then finds
// nothing left. So every complete frame read is handled, in order, each with
// the handler's own step. A frame cut off by the end of a read is completed
// from the pipe when more bytes wait there. Bytes that do not start a frame
// end the walk and are dropped.
void CKnxClient::HandleEachFrame(CUdpEndpoint& endpoint, FrameStep step)
{
    BYTE buffer[knxnetip::kReceiveBufferSize];
    int count = endpoint.Read(buffer, sizeof buffer);
    int start = 0;
    while (count > start) {
        int length = CompleteFrameLength(buffer + start, count - start);
        if (length < 0) return;
        if (length == 0) {
            if (endpoint.HasData() == 0) return;
            count -= start;
            memmove(buffer, buffer + start, static_cast<size_t>(count));
            start = 0;
            int more = endpoint.Read(buffer + count, static_cast<DWORD>(sizeof buffer - count));
            if (more <= 0) return;
            count += more;
            continue;
        }
        int serviceType = ClassifyFrame(buffer + start, length);
        std::unique_ptr<CRecvFrame> frame(CreateFrame(buffer + start, length, serviceType));
        if (frame) (this->*step)(serviceType, frame.get());
        start += length;
    }
}
