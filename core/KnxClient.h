// CKnxClient: the KNXnet/IP tunnelling client. Owns the search, control and
// data endpoints, the state of one tunnelling connection, and the output
// routine through which it and the reports of received frames speak.
// Every operation runs on the thread that created the client.
#pragma once

#include <memory>

#include "knx/EisTypes.h"
#include "knxnetip/RecvFrame.h"
#include "net/UdpEndpoint.h"
#include "platform/afxstring.h"
#include "platform/afxwnd.h"
#include "platform/wintypes.h"

// Notification messages that the endpoints post to the client's window.
enum : UINT {
    WM_KNX_SEARCH_DATA = 2025,
    WM_KNX_CONTROL_DATA = 2026,
    WM_KNX_TUNNEL_DATA = 2027,
};

// Takes the telegrams that the client would report, for a host that looks
// for one of them instead (kelvane-read waits for an answer). Main thread.
class CTelegramSink {
public:
    // A new telegram on the tunnel, decoded; the client acknowledges it
    // whatever the sink does with it.
    virtual void OnTelegram(const CTunnelRequest& telegram) = 0;

protected:
    ~CTelegramSink() = default;
};

class CKnxClient : public CWnd, public CFrameOutput {
public:
    CKnxClient();
    virtual ~CKnxClient();

    void SetDebugLevel(int level);
    void Output(CString text) override;
    void Open(CString localIpAddress, CString gatewayIpAddress);
    void Connect();
    void SendGroupValue(WORD groupAddress, int eisType, const EisData& value);
    void Disconnect();
    void HandleResponse(int serviceType, CRecvFrame* frame);
    void WaitForControlResponse();
    void Search();

    // Outgoing frames: each built whole and handed to one Write.
    void SendSearchRequest(CUdpEndpoint& endpoint, DWORD interfaceAddress);
    void SendConnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort, int dataPort);
    void SendConnectionStateRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort);
    void SendDisconnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort);
    void SendTunnellingRequest(CUdpEndpoint& endpoint);
    // A group-value read of groupAddress on m_nChannelId.
    void SendGroupValueRead(CUdpEndpoint& endpoint, WORD groupAddress);
    void SendTunnellingAck(CUdpEndpoint& endpoint);
    // Answers the gateway's DISCONNECT_REQUEST for m_nChannelId: E_NO_ERROR.
    void SendDisconnectResponse(CUdpEndpoint& endpoint);

    // Incoming frames (knxnetip's, with the client as the frame's owner).
    // received is the number of valid bytes in buffer; bytes beyond it read
    // as zero.
    int ClassifyFrame(const BYTE* buffer, int received);
    CRecvFrame* CreateFrame(const BYTE* buffer, int received, int serviceType);

    int m_bInitialized = 0;
    CUdpEndpoint m_searchEndpoint;
    CUdpEndpoint m_controlEndpoint;
    CUdpEndpoint m_dataEndpoint;
    int m_nChannelId = 1;
    int m_nRecvSequence = 0;
    int m_nSendSequence = 0;
    CString m_strLocalIpAddress;
    CString m_strGatewayIpAddress;
    DWORD m_dwLocalAddress = 0;
    int m_nDebugLevel = 0;
    int m_nControlPort = 0;
    int m_nDataPort = 0;
    UINT m_nTimerId = 0;
    CWnd* m_pOutputWnd = nullptr;
    UINT m_nOutputMsg = 0;
    CString m_strLog;
    WORD m_wGroupAddress = 0;
    int m_nEisType = 0;
    EisData m_value;  // encoded as m_nEisType

    // What the client knows of the tunnel besides the channel id, for a host
    // that keeps the tunnel open (window-message mode).
    int m_nConnectStatus = -1;        // status of the CONNECT_RESPONSE; -1 from Connect until it comes
    int m_nUnansweredHeartbeats = 0;  // CONNECTIONSTATE_REQUESTs sent since the last answer
    int m_bRecvSequenceTaken = 0;     // 1 once m_nRecvSequence is that of a request on this channel
    int m_bQuietConnect = 0;          // 1: a CONNECT_RESPONSE is handled but not reported
    CString m_strTunnelLoss;          // why the tunnel is gone; empty until it is found gone
    CTelegramSink* m_pTelegramSink = nullptr;  // takes the telegrams instead of their reports when set

    // Window-message mode: the heartbeat timer and the endpoints' notifications.
    enum : UINT { HEARTBEAT_TIMER_ID = 1, HEARTBEAT_INTERVAL_MS = 10000 };
    static constexpr int HEARTBEATS_BEFORE_LOSS = 3;
    void OnTimer(UINT timerId);
    int OnCreate(LPCREATESTRUCT createStruct);
    void OnDestroy();
    LRESULT OnSearchData(WPARAM wParam, LPARAM lParam);
    LRESULT OnControlData(WPARAM wParam, LPARAM lParam);
    LRESULT OnTunnelData(WPARAM wParam, LPARAM lParam);

private:
    typedef void (CKnxClient::*FrameStep)(int serviceType, CRecvFrame* frame);
    void PollForFrame(CUdpEndpoint& endpoint, FrameStep step);
    // One Read (one datagram) of the endpoint; the frame it holds, or null.
    std::unique_ptr<CRecvFrame> ReadFirstFrame(CUdpEndpoint& endpoint, int& serviceType);
    // The search's wait on one interface: the first answer's frame, or null.
    std::unique_ptr<CRecvFrame> WaitForAnswer();
    // Tells the search, control and data endpoint, in this order, to stop if running.
    void StopRunningEndpoints();
    void HandleEachFrame(CUdpEndpoint& endpoint, FrameStep step);
    void SearchFrameStep(int serviceType, CRecvFrame* frame);
    void ControlFrameStep(int serviceType, CRecvFrame* frame);
    void TunnelFrameStep(int serviceType, CRecvFrame* frame);
    void ReportTelegram(CRecvFrame* frame);
    void WatchTunnel(int serviceType, CRecvFrame* frame);
    // The tunnel is gone: records why and drops the channel (-1), which
    // stops the heartbeat and leaves requests on the old channel unanswered.
    void TunnelLost(const CString& reason);

    DECLARE_MESSAGE_MAP()
};

// The client of the command that runs now; null outside a command.
extern CKnxClient* g_pCurrentClient;

// The search command: a client of its own looks for KNXnet/IP gateways from
// every local address and reports the first answer on each. Main thread.
void SearchCommand();
