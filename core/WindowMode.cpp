// Window-message mode: the client's message map, the heartbeat, and the
// handlers of the endpoints' notifications.
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

void CKnxClient::SearchFrameStep(int, CRecvFrame* frame) { frame->Report(); }

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
    if (!m_bRecvSequenceTaken || sequence != m_nRecvSequence) ReportTelegram(frame);
    m_nRecvSequence = sequence;
    m_bRecvSequenceTaken = 1;
    SendTunnellingAck(m_dataEndpoint);
}

void CKnxClient::ReportTelegram(CRecvFrame* frame)
{
    CTunnelRequest* telegram = dynamic_cast<CTunnelRequest*>(frame);
    if (m_pTelegramSink == nullptr || telegram == nullptr) {
        frame->Report();
        return;
    }
    if (telegram->Decode()) m_pTelegramSink->OnTelegram(*telegram);
}

// Each datagram is one frame, and each posted its own notification; a
// notification handles every datagram waiting (a poll may have taken the
// one it was posted for), at most a bounded number so that a flood does not
// hold up the message loop: what is left has notifications of its own.
void CKnxClient::HandleEachFrame(CUdpEndpoint& endpoint, FrameStep step)
{
    const int kMostPerNotification = 64;
    for (int n = 0; n < kMostPerNotification && endpoint.HasData() > 0; ++n) {
        int serviceType = 0;
        std::unique_ptr<CRecvFrame> frame = ReadFirstFrame(endpoint, serviceType);
        if (frame) (this->*step)(serviceType, frame.get());
    }
}
