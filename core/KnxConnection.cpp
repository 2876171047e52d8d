// The connection operations of the client: open the endpoints, connect,
// write a group value, disconnect, and the console poll for responses.
#include <memory>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"
#include "platform/wsock.h"

namespace {

const DWORD kGatewayPort = 3671;
const int kPollPasses = 10;
const DWORD kPollStepMs = 20;

void StartEndpoint(CKnxClient* client, CUdpEndpoint& endpoint, UINT notifyMsg)
{
    endpoint.SetNotify(client, notifyMsg);
    endpoint.m_strLocIpAddr = client->m_strLocalIpAddress;
    endpoint.m_strDstIpAddr = client->m_strGatewayIpAddress;
    endpoint.Start(kGatewayPort, 0);
    endpoint.WaitRunning();
}

// Takes at most one queued window message and dispatches it, as one pass of
// a response poll does, so that a window-owning caller keeps its messages flowing.
void PumpOneMessage()
{
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

void CKnxClient::Open(CString localIpAddress, CString gatewayIpAddress)
{
    m_strLocalIpAddress = localIpAddress;
    m_strGatewayIpAddress = gatewayIpAddress;
    m_dwLocalAddress = inet_addr(localIpAddress);
    StartEndpoint(this, m_controlEndpoint, WM_KNX_CONTROL_DATA);
    StartEndpoint(this, m_dataEndpoint, WM_KNX_TUNNEL_DATA);
    m_bInitialized = 1;
}

void CKnxClient::Connect()
{
    if (m_bInitialized == 0) {
        Output("Ostrel is not initialized\n");
        return;
    }
    m_nControlPort = m_controlEndpoint.m_nLocPort;
    m_nDataPort = m_dataEndpoint.m_nLocPort;
    m_nConnectStatus = -1;
    SendConnectRequest(m_controlEndpoint, m_dwLocalAddress, m_nControlPort, m_nDataPort);
    if (m_pOutputWnd != nullptr) return;  // the window handler takes the answer
    WaitForControlResponse();
}

// When no window is notified, nothing else reads the data endpoint, so the
// send waits here, as a control poll does, for the gateway's first answer
// (its TUNNELLING_ACK). The request and the later DISCONNECT_REQUEST leave
// from two sockets; if the disconnect overtook the write, the gateway would
// drop the tunnel and the write with it. What arrives is not reported.
void CKnxClient::SendGroupValue(WORD groupAddress, int eisType, const EisData& value)
{
    m_nEisType = eisType;
    m_wGroupAddress = groupAddress;
    m_value = value;
    int sequenceBefore = m_nSendSequence;
    SendTunnellingRequest(m_dataEndpoint);
    bool frameWritten = m_nSendSequence != sequenceBefore;  // it advances only for a written frame
    if (frameWritten && m_dataEndpoint.m_pOwnerWnd == nullptr) PollForFrame(m_dataEndpoint, nullptr);
}

void CKnxClient::Disconnect()
{
    SendDisconnectRequest(m_controlEndpoint, m_dwLocalAddress, m_nControlPort);
    if (m_pOutputWnd != nullptr) return;
    WaitForControlResponse();
}

void CKnxClient::WaitForControlResponse() { PollForFrame(m_controlEndpoint, &CKnxClient::HandleResponse); }

// At most 10 passes of up to 20 ms: take one queued window message, then look
// at the endpoint; the first frame read ends the poll and goes to handler
// (when given). Bytes that make no frame are dropped and the poll goes on.
// A pass ends its wait early when bytes arrive, so an answer is taken as it
// comes rather than up to 20 ms later.
void CKnxClient::PollForFrame(CUdpEndpoint& endpoint, FrameStep handler)
{
    for (int pass = 0; pass < kPollPasses; ++pass) {
        PumpOneMessage();
        if (endpoint.HasData() > 0) {
            int serviceType = 0;
            std::unique_ptr<CRecvFrame> frame = ReadFirstFrame(endpoint, serviceType);
            if (frame) {
                if (handler) (this->*handler)(serviceType, frame.get());
                return;
            }
        }
        endpoint.WaitForData(kPollStepMs);
    }
}

// One datagram: the frame it holds, or null when it holds none.
std::unique_ptr<CRecvFrame> CKnxClient::ReadFirstFrame(CUdpEndpoint& endpoint, int& serviceType)
{
    BYTE buffer[knxnetip::kReceiveBufferSize];
    int received = endpoint.Read(buffer, sizeof buffer);
    serviceType = ClassifyFrame(buffer, received);
    return std::unique_ptr<CRecvFrame>(CreateFrame(buffer, received, serviceType));
}

// A CONNECT_RESPONSE starts a new tunnel: nothing of the old one counts.
void CKnxClient::HandleResponse(int serviceType, CRecvFrame* frame)
{
    if (serviceType == knxnetip::kConnectResponse) {
        m_nChannelId = frame->m_body[0];  // unsigned: 0 to 255
        m_nConnectStatus = frame->m_body[1];
        m_nUnansweredHeartbeats = 0;
        m_bRecvSequenceTaken = 0;
        m_strTunnelLoss.Empty();
    } else if (serviceType == knxnetip::kDisconnectResponse) {
        m_nChannelId = -1;
    }
}
