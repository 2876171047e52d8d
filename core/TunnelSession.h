// CTunnelSession: one tunnelling connection kept by window messages, for a
// host that stays connected (the bus monitor, the read). It owns the life
// cycle: connect with repeats, the heartbeat and the connection check, the
// sequence rule for received requests, a request of the host's confirmed by
// its acknowledgement, and the disconnect at the end; it tells its host what
// happened through one listener. Main thread only; its timers read the clock
// of platform/clock.h.
#pragma once

#include "core/KnxClient.h"
#include "platform/afxwnd.h"
#include "platform/winbase.h"

// What the session tells its host, on the main thread.
class CTunnelListener {
public:
    // A channel was granted: the tunnel is open.
    virtual void OnOpened(int channel) = 0;
    // A connect attempt failed: the gateway's status, or CKnxClient::kNoAnswer
    // when its repeats went unanswered. Nothing is open.
    virtual void OnRefused(int status) = 0;
    // The open tunnel is gone (reason in words); nothing is open.
    virtual void OnLost(const CString& reason) = 0;
    // After Stop: the tunnel is closed (or nothing was open). Comes once.
    virtual void OnClosed() = 0;
    // A new telegram on the tunnel, decoded and acknowledged.
    virtual void OnTelegram(const CTunnelRequest& telegram) = 0;
    // The client's reports (connect, disconnect), as they come.
    virtual void OnOutput(const CString& text) = 0;

protected:
    ~CTunnelListener() = default;
};

class CTunnelSession : public CWnd, public CFrameListener {
public:
    // Post it to Window() to stop as Stop does (the console's control events do).
    static constexpr UINT WM_SESSION_STOP = WM_USER + 20;
    // The heartbeat: a connection check this often while the tunnel is open.
    static constexpr UINT kHeartbeatMs = 10000;

    explicit CTunnelSession(CTunnelListener& listener);
    ~CTunnelSession() override;
    CTunnelSession(const CTunnelSession&) = delete;
    CTunnelSession& operator=(const CTunnelSession&) = delete;

    // Makes the session's window; false when it cannot. No thread is started.
    bool Create();
    // Takes client (its window made, opened): its frames and output come
    // here from now on, until its m_pListener is set null (before the
    // session or the client goes).
    void Attach(CKnxClient& client);
    // One connect, its request repeated until answered or its attempts are
    // used up: OnOpened or OnRefused follows. reopen: the client's endpoints
    // are opened afresh first. quiet: the connect response is not reported.
    void Connect(bool reopen, bool quiet);
    // Sends a group-value read on the open tunnel, repeated with the same
    // sequence number until acknowledged; unacknowledged, the tunnel is lost.
    void SendGroupRead(WORD groupAddress);
    // Ends the session: an open tunnel is disconnected (the request repeated
    // until answered or its attempts are used up), a connect on its way is
    // waited for (a grant is then closed at once); OnClosed follows.
    void Stop();
    bool IsOpen() const { return m_state == State::Open; }
    bool IsClosed() const { return m_state == State::Closed; }
    // True once a connect of this session was answered, granted or refused.
    bool GatewayAnswered() const { return m_bAnswered; }
    // Set once the session is closed (and when it is destroyed); any thread may wait for it.
    HANDLE ClosedEvent() const { return m_hClosed; }

    void OnControlFrame(int serviceType, CRecvFrame& frame) override;
    void OnTunnelFrame(int serviceType, CRecvFrame& frame) override;
    void OnOutput(const CString& text) override { m_listener.OnOutput(text); }

    void OnTimer(UINT timerId);
    LRESULT OnStopMessage(WPARAM wParam, LPARAM lParam);

private:
    enum class State { Idle, Connecting, Open, Stopping, Closed };
    enum : UINT { kConnectTimer = 1, kHeartbeatTimer, kStateTimer, kRequestTimer, kDisconnectTimer, kQuietTimer };

    void SendConnect();
    void StartCheck();
    void SendCheck();
    void SendRequest();
    void BeginDisconnect();
    void OnConnectResponse(CRecvFrame& frame);
    void OnTunnelRequest(CRecvFrame& frame);
    // The tunnel is gone; mayBeOpen: the gateway may still hold the channel,
    // so it is told to close it (once, without waiting).
    void Lost(const CString& reason, bool mayBeOpen);
    void Close();
    void Arm(UINT timer, UINT ms);
    void Disarm(UINT timer);

    CTunnelListener& m_listener;
    CKnxClient* m_pClient = nullptr;
    State m_state = State::Idle;
    bool m_bQuiet = false;        // the pending connect response is not reported
    bool m_bStopPending = false;  // Stop came while connecting
    bool m_bChecking = false;     // a connection check waits for its answer
    bool m_bRequestPending = false;
    bool m_bAnswered = false;
    int m_nConnectSent = 0, m_nStateSent = 0, m_nRequestSent = 0;
    int m_nRequestSequence = 0;
    BYTE m_request[32] = {};
    int m_nRequestLength = 0;
    HANDLE m_hClosed = nullptr;

    DECLARE_MESSAGE_MAP()
};

// While it lives, Ctrl-C, SIGINT and SIGTERM (on Windows also the closing of
// the console window) stop session as Stop does. Closing the window ends the
// process once the handler returns, so the handler waits there for the
// session to close (at most a few seconds). Make it before any other thread
// starts (the signals' stand-in needs that); one at a time.
class CSessionSignals {
public:
    explicit CSessionSignals(CTunnelSession& session);
    ~CSessionSignals();
    CSessionSignals(const CSessionSignals&) = delete;
    CSessionSignals& operator=(const CSessionSignals&) = delete;
};
