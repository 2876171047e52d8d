// The tunnel session: the state of one kept tunnel, driven by the client's
// frames and the session's own timers.
#include "core/TunnelSession.h"

#include <atomic>
#include <cstring>

#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"

using namespace knxnetip;

namespace {

// How long the handler of the console window's closing waits for the session
// to close: the disconnect's wait and a little more. Windows allows 5 s.
const DWORD kCloseWaitMs = exchange::kAnswerWaitMs + 500;
// A gateway gives up on a repeated request a second after sending it.
const UINT kRecheckMs = exchange::kAnswerWaitMs + 500;
// A telegram and its repeat both lost on the way to us leave no trace but
// silence, after which the gateway drops the tunnel: once telegrams stop for
// this long, the connection is checked (the heartbeat keeps its own beat).
const UINT kQuietCheckMs = 2 * exchange::kAnswerWaitMs + 500;

}  // namespace

BEGIN_MESSAGE_MAP(CTunnelSession, CWnd)
    ON_WM_TIMER()
    ON_MESSAGE(CTunnelSession::WM_SESSION_STOP, OnStopMessage)
END_MESSAGE_MAP()

CTunnelSession::CTunnelSession(CTunnelListener& listener)
    : m_listener(listener), m_hClosed(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

CTunnelSession::~CTunnelSession()
{
    DestroyWindow();
    if (m_hClosed) {
        SetEvent(m_hClosed);
        CloseHandle(m_hClosed);
    }
}

bool CTunnelSession::Create() { return CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CTunnelSession::Attach(CKnxClient& client)
{
    m_pClient = &client;
    client.m_pListener = this;
}

void CTunnelSession::Arm(UINT timer, UINT ms) { SetTimer(m_hWnd, timer, ms, nullptr); }

void CTunnelSession::Disarm(UINT timer) { KillTimer(m_hWnd, timer); }

void CTunnelSession::Connect(bool reopen, bool quiet)
{
    if (m_state == State::Stopping || m_state == State::Closed) return;
    if (reopen) m_pClient->Reopen();
    m_pClient->m_nChannelId = -1;
    m_state = State::Connecting;
    m_bQuiet = quiet;
    m_nConnectSent = 0;
    SendConnect();
}

void CTunnelSession::SendConnect()
{
    CKnxClient& client = *m_pClient;
    client.SendConnectRequest(client.m_controlEndpoint, client.m_dwLocalAddress, client.m_nControlPort,
                              client.m_nDataPort);
    ++m_nConnectSent;
    Arm(kConnectTimer, exchange::kAnswerWaitMs);
}

void CTunnelSession::SendGroupRead(WORD groupAddress)
{
    if (m_state != State::Open) return;
    m_nRequestSequence = m_pClient->m_nSendSequence & 0xFF;
    m_nRequestLength = m_pClient->BuildGroupRead(m_request, groupAddress);
    m_bRequestPending = true;
    m_nRequestSent = 0;
    SendRequest();
}

void CTunnelSession::SendRequest()
{
    m_pClient->m_dataEndpoint.Write(m_request, static_cast<DWORD>(m_nRequestLength));
    ++m_nRequestSent;
    Arm(kRequestTimer, exchange::kAnswerWaitMs);
}

void CTunnelSession::StartCheck()
{
    if (m_bChecking) return;
    m_bChecking = true;
    m_nStateSent = 0;
    SendCheck();
}

void CTunnelSession::SendCheck()
{
    CKnxClient& client = *m_pClient;
    client.SendConnectionStateRequest(client.m_controlEndpoint, client.m_dwLocalAddress, client.m_nControlPort);
    ++m_nStateSent;
    Arm(kStateTimer, exchange::kAnswerWaitMs);
}

void CTunnelSession::Stop()
{
    switch (m_state) {
    case State::Idle:
        Close();
        return;
    case State::Connecting:
        m_bStopPending = true;  // the current attempt's wait still runs; no repeat follows
        return;
    case State::Open:
        BeginDisconnect();
        return;
    case State::Stopping:
    case State::Closed:
        return;
    }
}

LRESULT CTunnelSession::OnStopMessage(WPARAM, LPARAM)
{
    Stop();
    return 0;
}

void CTunnelSession::BeginDisconnect()
{
    for (UINT timer : {kHeartbeatTimer, kStateTimer, kRequestTimer, kQuietTimer}) Disarm(timer);
    m_bChecking = m_bRequestPending = false;
    m_state = State::Stopping;
    CKnxClient& client = *m_pClient;
    for (int copy = 0; copy < 2; ++copy)
        client.SendDisconnectRequest(client.m_controlEndpoint, client.m_dwLocalAddress, client.m_nControlPort);
    Arm(kDisconnectTimer, exchange::kAnswerWaitMs);
}

void CTunnelSession::Close()
{
    for (UINT timer : {kConnectTimer, kHeartbeatTimer, kStateTimer, kRequestTimer, kDisconnectTimer, kQuietTimer})
        Disarm(timer);
    m_state = State::Closed;
    if (m_pClient) m_pClient->m_nChannelId = -1;
    if (m_hClosed) SetEvent(m_hClosed);
    m_listener.OnClosed();
}

void CTunnelSession::Lost(const CString& reason, bool mayBeOpen)
{
    for (UINT timer : {kHeartbeatTimer, kStateTimer, kRequestTimer, kQuietTimer}) Disarm(timer);
    m_bChecking = m_bRequestPending = false;
    if (mayBeOpen) m_pClient->SendDisconnectFor(m_pClient->m_nChannelId);
    m_pClient->m_nChannelId = -1;
    m_state = State::Idle;
    m_listener.OnLost(reason);
}

// Each timer is the wait for one exchange's answer (or the heartbeat's next
// check): the request goes again until its attempts are used up.
void CTunnelSession::OnTimer(UINT timerId)
{
    switch (timerId) {
    case kConnectTimer:
        if (m_state != State::Connecting) break;
        if (!m_bStopPending && m_nConnectSent < exchange::kConnectAttempts) {
            SendConnect();
            return;
        }
        Disarm(kConnectTimer);
        if (m_bStopPending) {
            Close();
            return;
        }
        m_state = State::Idle;
        m_listener.OnRefused(CKnxClient::kNoAnswer);
        return;
    case kQuietTimer:
        Disarm(kQuietTimer);
        if (m_state == State::Open) StartCheck();
        return;
    case kHeartbeatTimer:
        if (m_state != State::Open) break;
        StartCheck();
        Arm(kHeartbeatTimer, kHeartbeatMs);  // the normal beat again after a recheck
        return;
    case kStateTimer:
        if (m_state != State::Open || !m_bChecking) break;
        if (m_nStateSent < exchange::kStateAttempts) {
            SendCheck();
            return;
        }
        {
            CString reason;
            reason.Format("no answer to %d heartbeats", exchange::kStateAttempts);
            Lost(reason, true);
        }
        return;
    case kRequestTimer:
        if (m_state != State::Open || !m_bRequestPending) break;
        if (m_nRequestSent < exchange::kWriteAttempts) {
            SendRequest();
            return;
        }
        Lost("no acknowledgement of the request", true);
        return;
    case kDisconnectTimer:
        if (m_state != State::Stopping) break;
        Close();
        return;
    default:
        break;
    }
    Disarm(timerId);
}

// What a control frame says of the tunnel. An answered check keeps it; an
// error status in that answer, or the gateway's DISCONNECT_REQUEST (which
// wants its DISCONNECT_RESPONSE), ends it.
void CTunnelSession::OnControlFrame(int serviceType, CRecvFrame& frame)
{
    if (serviceType == kConnectResponse) {
        OnConnectResponse(frame);
        return;
    }
    const int channel = m_pClient->m_nChannelId;
    const bool ours = channel >= 0 && frame.FrameByte(kOffControlChannelId) == channel;
    if (!ours || (m_state != State::Open && m_state != State::Stopping)) return;
    if (serviceType == kConnStateResponse && m_state == State::Open) {
        const int status = frame.FrameByte(kOffResponseStatus);
        if (status == kNoError) {
            Disarm(kStateTimer);
            m_bChecking = false;
            return;
        }
        CString reason;
        reason.Format("the gateway answered the heartbeat with status %d", status);
        Lost(reason, false);
    } else if (serviceType == kDisconnectRequest) {
        m_pClient->SendDisconnectResponse(m_pClient->m_controlEndpoint);
        if (m_state == State::Stopping) Close();
        else Lost("the gateway closed the connection", false);
    } else if (serviceType == kDisconnectResponse && m_state == State::Stopping) {
        frame.Report();
        Close();
    }
}

// The answer to the connect on its way is taken (and reported unless quiet);
// any other grant (late, or for a repeated request) is closed at once, unreported.
void CTunnelSession::OnConnectResponse(CRecvFrame& frame)
{
    const int status = frame.FrameByte(kOffResponseStatus), channel = frame.FrameByte(kOffResponseChannelId);
    if (m_state != State::Connecting) {
        if (status == kNoError && channel != m_pClient->m_nChannelId) m_pClient->SendDisconnectFor(channel);
        return;
    }
    Disarm(kConnectTimer);
    m_bAnswered = true;
    if (!m_bQuiet) frame.Report();
    if (status != kNoError) {
        if (m_bStopPending) {
            Close();
            return;
        }
        m_state = State::Idle;
        m_listener.OnRefused(status);
        return;
    }
    m_pClient->StartChannel(channel);
    m_state = State::Open;
    m_bChecking = m_bRequestPending = false;
    if (m_bStopPending) {
        BeginDisconnect();
        return;
    }
    Arm(kHeartbeatTimer, kHeartbeatMs);
    m_listener.OnOpened(channel);
}

void CTunnelSession::OnTunnelFrame(int serviceType, CRecvFrame& frame)
{
    if (serviceType == kTunnellingRequest) {
        OnTunnelRequest(frame);
        return;
    }
    if (serviceType == kTunnellingAck) {
        if (m_bRequestPending && frame.FrameByte(kOffChannelId) == m_pClient->m_nChannelId &&
            frame.FrameByte(kOffSequence) == m_nRequestSequence &&
            frame.FrameByte(kOffConnStatus) == kNoError) {
            m_bRequestPending = false;
            Disarm(kRequestTimer);
        }
        return;
    }
    frame.Report();
}

// A request on another channel is not ours: neither reported nor answered.
// By the sequence rule the expected one is acknowledged and reported; a
// repeat of the one before comes because our acknowledgement was lost: it is
// acknowledged again, and since a gateway drops a tunnel whose request goes
// twice unacknowledged, the connection is checked at once. Any other number
// is dropped unacknowledged (the gateway repeats it).
void CTunnelSession::OnTunnelRequest(CRecvFrame& frame)
{
    if (m_state != State::Open && m_state != State::Stopping) return;
    if (m_pClient->m_nChannelId < 0 || frame.FrameByte(kOffChannelId) != m_pClient->m_nChannelId) return;
    if (frame.m_nLength < static_cast<DWORD>(kHeaderSize + kConnHeaderSize)) return;
    switch (m_pClient->JudgeSequence(frame.FrameByte(kOffSequence))) {
    case CKnxClient::Sequence::Taken: {
        // Acknowledged first: the host may end the session on what it hears.
        m_pClient->SendTunnellingAck(m_pClient->m_dataEndpoint);
        if (m_state == State::Open) Arm(kQuietTimer, kQuietCheckMs);
        CTunnelRequest* telegram = dynamic_cast<CTunnelRequest*>(&frame);
        if (telegram != nullptr && telegram->Decode()) m_listener.OnTelegram(*telegram);
        return;
    }
    case CKnxClient::Sequence::Repeat:
        m_pClient->SendTunnellingAck(m_pClient->m_dataEndpoint);
        if (m_state != State::Open) return;
        // At once, and again once the gateway's own wait for this
        // acknowledgement is over: until then it still answers for a tunnel
        // that it is about to drop.
        StartCheck();
        Arm(kHeartbeatTimer, kRecheckMs);
        return;
    case CKnxClient::Sequence::Other:
        return;
    }
}

namespace {

std::atomic<CTunnelSession*> g_signalledSession{nullptr};

BOOL WINAPI OnConsoleControl(DWORD controlType)
{
    CTunnelSession* session = g_signalledSession;
    if (session == nullptr) return FALSE;
    PostMessageA(session->m_hWnd, CTunnelSession::WM_SESSION_STOP, 0, 0);
    if (controlType == CTRL_CLOSE_EVENT) WaitForSingleObject(session->ClosedEvent(), kCloseWaitMs);
    return TRUE;
}

}  // namespace

CSessionSignals::CSessionSignals(CTunnelSession& session)
{
    g_signalledSession = &session;
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

CSessionSignals::~CSessionSignals()
{
    SetConsoleCtrlHandler(&OnConsoleControl, FALSE);
    g_signalledSession = nullptr;
}
