// CKnxClient: the KNXnet/IP tunnelling client. Owns the search, control and
// data endpoints, the state of one tunnelling connection, and the output
// routine through which it and the reports of received frames speak.
// Every operation runs on the thread that created the client.
#pragma once

#include <cstdint>
#include <functional>
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

// Takes the frames that arrive in window-message mode, and the client's
// output, for the object that keeps the tunnel (the tunnel session).
// Main thread.
class CFrameListener {
public:
    virtual void OnControlFrame(int serviceType, CRecvFrame& frame) = 0;
    virtual void OnTunnelFrame(int serviceType, CRecvFrame& frame) = 0;
    virtual void OnOutput(const CString& text) = 0;

protected:
    ~CFrameListener() = default;
};

// What became of a group-value write.
enum class WriteResult {
    Acknowledged,    // the gateway's TUNNELLING_ACK came
    Unacknowledged,  // sent and repeated; no acknowledgement came
    NotEncoded,      // the type cannot be sent: nothing was sent
    NoTunnel,        // no channel was granted: nothing was sent
};

// The intervals of every confirmed exchange (connect, write, connection
// check, disconnect), console or window mode: each request waits a second
// for its answer, long enough for a gateway 300 ms away, and is sent again
// up to its count, so that a silent gateway is given up within 10 s. The
// disconnect alone is never sent again once its wait began: a gateway that
// took it has freed the channel and may grant it to another client at once
// (knxd does), whose tunnel a late repeat would close. It goes twice at once
// instead, as the acknowledgements do.
namespace exchange {
constexpr DWORD kAnswerWaitMs = 1000;
constexpr int kConnectAttempts = 5;
constexpr int kWriteAttempts = 4;
constexpr int kStateAttempts = 3;
}  // namespace exchange

class CKnxClient : public CWnd, public CFrameOutput {
public:
    // Connect's result when no CONNECT_RESPONSE came.
    static constexpr int kNoAnswer = -1;

    CKnxClient();
    virtual ~CKnxClient();

    void SetDebugLevel(int level);
    // To the listener when one is set; otherwise to the log and standard output.
    void Output(CString text) override;
    // Starts the control and data endpoints for the two addresses. Once per client.
    void Open(CString localIpAddress, CString gatewayIpAddress);
    // Ends the endpoints' workers and starts them again, on new sockets and
    // ports (an address that could not be bound before may be there now).
    void Reopen();

    // Console mode (no window): each a confirmed exchange with repeats.
    // The CONNECT_RESPONSE's status (0: m_nChannelId is ours), or kNoAnswer;
    // without a grant m_nChannelId is -1 and nothing more is sent.
    int Connect();
    WriteResult SendGroupValue(WORD groupAddress, int eisType, const EisData& value);
    // Closes a granted channel (nothing without one), and every further
    // grant that an unanswered repeat of the connect brings.
    void Disconnect();
    void Search();

    // Outgoing frames: each built whole and handed to one Write.
    void SendSearchRequest(CUdpEndpoint& endpoint, DWORD interfaceAddress);
    void SendConnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort, int dataPort);
    void SendConnectionStateRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort);
    void SendDisconnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort);
    // A DISCONNECT_REQUEST for channel (one granted that we do not keep).
    void SendDisconnectFor(int channel);
    // Builds the group-value write of m_wGroupAddress, m_nEisType and
    // m_value on m_nChannelId into frame and takes the next sequence number;
    // 0, with the line "EIS-Type not supported" and the counter kept, for a
    // type that cannot be sent.
    int BuildGroupWrite(BYTE* frame);
    // A group-value read of groupAddress on m_nChannelId, built into frame;
    // takes the next send sequence number, as a write does.
    int BuildGroupRead(BYTE* frame, WORD groupAddress);
    // Sends the acknowledgement of the last request taken, twice.
    void SendTunnellingAck(CUdpEndpoint& endpoint);
    // Answers the gateway's DISCONNECT_REQUEST for m_nChannelId: E_NO_ERROR.
    void SendDisconnectResponse(CUdpEndpoint& endpoint);

    // The tunnelling rule for a received request's sequence number: the
    // expected one is taken (and the next expected), the one before it is a
    // repeat; both are to be acknowledged (m_nRecvSequence is set for the
    // acknowledgement). Any other is dropped without acknowledgement.
    enum class Sequence { Taken, Repeat, Other };
    Sequence JudgeSequence(int sequence);
    // A new channel: the next request expected is number 0, the next sent too.
    void StartChannel(int channel);

    // The one way to wait for the next frame: the first datagram on
    // endpoint, waiting at most timeoutMs, that makes a frame (serviceType
    // set); null when none came. Datagrams that make no frame are dropped.
    std::unique_ptr<CRecvFrame> NextFrame(CUdpEndpoint& endpoint, DWORD timeoutMs, int& serviceType);

    // Incoming frames (knxnetip's, with the client as the frame's owner).
    // received is the number of valid bytes in buffer; bytes beyond it read
    // as zero.
    CRecvFrame* CreateFrame(const BYTE* buffer, int received, int serviceType);

    int m_bInitialized = 0;
    CUdpEndpoint m_searchEndpoint;
    CUdpEndpoint m_controlEndpoint;
    CUdpEndpoint m_dataEndpoint;
    int m_nChannelId = -1;       // the channel granted to us; -1: none
    int m_nRecvSequence = 0;     // of the last request acknowledged
    int m_nExpectedSequence = 0; // of the next request to take
    int m_nSendSequence = 0;
    CString m_strLocalIpAddress;
    CString m_strGatewayIpAddress;
    DWORD m_dwLocalAddress = 0;
    int m_nDebugLevel = 0;
    int m_nControlPort = 0;
    int m_nDataPort = 0;
    WORD m_wGroupAddress = 0;
    int m_nEisType = 0;
    EisData m_value;  // encoded as m_nEisType
    CFrameListener* m_pListener = nullptr;  // window mode: takes frames and output when set
    // Console mode: each request's wait for its answer. After a connect that
    // needed repeats, Disconnect waits up to twice this from the last request
    // for the grants of the others (each is closed at once).
    DWORD m_dwAnswerWaitMs = exchange::kAnswerWaitMs;

    // Window-message mode: the endpoints' notifications.
    int OnCreate(LPCREATESTRUCT createStruct);
    void OnDestroy();
    LRESULT OnSearchData(WPARAM wParam, LPARAM lParam);
    LRESULT OnControlData(WPARAM wParam, LPARAM lParam);
    LRESULT OnTunnelData(WPARAM wParam, LPARAM lParam);

private:
    typedef void (CFrameListener::*FrameStep)(int serviceType, CRecvFrame& frame);
    // Writes frame up to attempts times, each followed by a wait of
    // kAnswerWaitMs for a frame that isAnswer takes; that frame, or null.
    // Frames it does not take go to Stray. *attemptsUsed: the requests sent.
    std::unique_ptr<CRecvFrame> Exchange(CUdpEndpoint& endpoint, const BYTE* frame, int length, int attempts,
                                         const std::function<bool(int, CRecvFrame&)>& isAnswer,
                                         int* attemptsUsed = nullptr);
    // What arrives beside the answer awaited: a grant we do not keep is
    // closed, a request from the gateway acknowledged by the rule.
    void Stray(int serviceType, CRecvFrame& frame);
    // Asks the search, control and data endpoints' workers to stop; returns at once.
    void StopEndpoints();
    void HandleEachFrame(CUdpEndpoint& endpoint, FrameStep step);

    int m_nUnansweredConnects = 0;  // connect requests sent beyond the one answered
    std::uint64_t m_nLastConnectMs = 0;  // when the last connect request went out
    std::uint64_t m_nLastWriteMs = 0;    // when the last exchange's request went out

    DECLARE_MESSAGE_MAP()
};

// The client of the command that runs now; null outside a command.
extern CKnxClient* g_pCurrentClient;

// The search command: a client of its own looks for KNXnet/IP gateways from
// every local address and reports the first answer on each. Main thread.
void SearchCommand();
