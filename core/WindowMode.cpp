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

void CKnxClient::OnTimer(UINT timerId)
{
    if (timerId == HEARTBEAT_TIMER_ID && m_nChannelId > 0)
        SendConnectionStateRequest(m_controlEndpoint, m_dwLocalAddress, m_nControlPort);
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
    frame->Report();
}

// Every tunnelling request is reported first, then acknowledged with its own
// sequence counter; nothing else on the tunnel is answered.
void CKnxClient::TunnelFrameStep(int serviceType, CRecvFrame* frame)
{
    frame->Report();
    if (serviceType != knxnetip::kTunnellingRequest) return;
    m_nRecvSequence = frame->m_body[knxnetip::kOffSequence - knxnetip::kHeaderSize];
    SendTunnellingAck(m_dataEndpoint);
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
