// Window-message mode: the client's message map and the handlers of the
// endpoints' notifications, which hand each frame to the listener (the
// tunnel session); without one, a frame is reported.
#include <memory>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"

BEGIN_MESSAGE_MAP(CKnxClient, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_KNX_SEARCH_DATA, OnSearchData)
    ON_MESSAGE(WM_KNX_CONTROL_DATA, OnControlData)
    ON_MESSAGE(WM_KNX_TUNNEL_DATA, OnTunnelData)
END_MESSAGE_MAP()

int CKnxClient::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }

void CKnxClient::OnDestroy()
{
    StopEndpoints();
    CWnd::OnDestroy();
}

LRESULT CKnxClient::OnSearchData(WPARAM, LPARAM)
{
    HandleEachFrame(m_searchEndpoint, nullptr);
    return 0;
}

LRESULT CKnxClient::OnControlData(WPARAM, LPARAM)
{
    HandleEachFrame(m_controlEndpoint, &CFrameListener::OnControlFrame);
    return 0;
}

LRESULT CKnxClient::OnTunnelData(WPARAM, LPARAM)
{
    HandleEachFrame(m_dataEndpoint, &CFrameListener::OnTunnelFrame);
    return 0;
}

// Each datagram is one frame, and each posted its own notification; a
// notification handles every datagram waiting (an earlier one may have taken
// the one it was posted for), at most a bounded number so that a flood does
// not hold up the message loop: what is left has notifications of its own.
void CKnxClient::HandleEachFrame(CUdpEndpoint& endpoint, FrameStep step)
{
    const int kMostPerNotification = 64;
    for (int n = 0; n < kMostPerNotification && endpoint.HasData() > 0; ++n) {
        int serviceType = 0;
        std::unique_ptr<CRecvFrame> frame = NextFrame(endpoint, 0, serviceType);
        if (!frame) continue;
        if (m_pListener != nullptr && step != nullptr) (m_pListener->*step)(serviceType, *frame);
        else frame->Report();
    }
}
