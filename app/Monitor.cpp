#include "app/Monitor.h"

#include <algorithm>
#include <cstdarg>
#include <iostream>

#include "app/Dispatch.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "app/WindowHost.h"
#include "core/KnxClient.h"
#include "platform/clock.h"
#include "platform/winbase.h"

namespace {

const UINT_PTR kRunTimer = 1;    // look whether the monitor's time is up
const UINT_PTR kRetryTimer = 2;  // the wait before the next connect is over
const int kLongestRetrySeconds = 30;
// SetTimer takes 32 bits of milliseconds, less than a year: a long run is
// looked at daily and ends at the first look past its deadline.
const std::uint64_t kLongestRunTimerMs = 24u * 3600u * 1000u;

}  // namespace

int ParseMonitorSeconds(const char* text) { return ParseSeconds(text, kMaxMonitorSeconds); }

CBusMonitor::CBusMonitor(FILE* out, FILE* err) : m_out(out), m_err(err) {}

CBusMonitor::~CBusMonitor() { m_window.DestroyWindow(); }

bool CBusMonitor::Create() { return m_window.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CBusMonitor::Begin(CTunnelSession& session, int seconds)
{
    m_pSession = &session;
    if (seconds > 0) {
        m_nDeadlineMs = ClockNowMs() + static_cast<std::uint64_t>(seconds) * 1000u;
        ArmRunTimer();
    }
    session.Connect(false, false);
}

bool CBusMonitor::OnMessage(const MSG& msg)
{
    if (msg.hwnd != m_window.m_hWnd) DispatchMessageA(&msg);
    else OnOwnMessage(msg);
    return !m_bOver;
}

void CBusMonitor::OnOwnMessage(const MSG& msg)
{
    if (msg.message != WM_TIMER) return;
    if (msg.wParam == kRunTimer) {
        if (ClockNowMs() >= m_nDeadlineMs) Stop();
        else ArmRunTimer();
    } else if (msg.wParam == kRetryTimer) {
        KillTimer(m_window.m_hWnd, kRetryTimer);
        Attempt();
    }
}

void CBusMonitor::Stop()
{
    for (UINT_PTR timer : {kRunTimer, kRetryTimer}) KillTimer(m_window.m_hWnd, timer);
    m_pSession->Stop();
}

void CBusMonitor::OnOpened(int channel)
{
    m_nRetrySeconds = 1;
    if (m_bReconnect) Say("reconnected: channel %d", channel);
}

void CBusMonitor::OnRefused(int status)
{
    CString reason = "no answer";
    if (status != CKnxClient::kNoAnswer) reason.Format("refused with status %d", status);
    Say("%s failed: %s; next try in %d s", m_bReconnect ? "reconnect" : "connect", static_cast<const char*>(reason),
        m_nRetrySeconds);
    WaitToRetry();
}

// A lost tunnel is connected again at once: the wait is only for failed attempts.
void CBusMonitor::OnLost(const CString& reason)
{
    Say("connection lost: %s; reconnecting", static_cast<const char*>(reason));
    Attempt();
}

void CBusMonitor::OnClosed()
{
    for (UINT_PTR timer : {kRunTimer, kRetryTimer}) KillTimer(m_window.m_hWnd, timer);
    if (!m_pSession->GatewayAnswered()) {
        std::fputs("no gateway answered\n", m_err);
        std::fflush(m_err);
    }
    m_bOver = true;
}

void CBusMonitor::OnTelegram(const CTunnelRequest& telegram) { OnOutput(telegram.Line()); }

void CBusMonitor::OnOutput(const CString& text)
{
    std::fputs(text, m_out);
    std::fflush(m_out);
}

// Attempts after the first report their outcome in one line of the monitor's
// own, so the connect report stays quiet; each opens the endpoints afresh (a
// local address missing before may be there now).
void CBusMonitor::Attempt()
{
    m_bReconnect = true;
    m_pSession->Connect(true, true);
}

// Waits m_nRetrySeconds, and twice as long before the attempt after, up to 30 s.
void CBusMonitor::WaitToRetry()
{
    SetTimer(m_window.m_hWnd, kRetryTimer, static_cast<UINT>(m_nRetrySeconds) * 1000u, nullptr);
    m_nRetrySeconds = std::min(2 * m_nRetrySeconds, kLongestRetrySeconds);
}

void CBusMonitor::ArmRunTimer()
{
    const std::uint64_t now = ClockNowMs();
    const std::uint64_t left = m_nDeadlineMs > now ? m_nDeadlineMs - now : 0;
    SetTimer(m_window.m_hWnd, kRunTimer, static_cast<UINT>(std::min(left, kLongestRunTimerMs)), nullptr);
}

// One line of the monitor's own.
void CBusMonitor::Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(m_out, format, args);
    va_end(args);
    fputc('\n', m_out);
    fflush(m_out);
}

int RunMonitor(int seconds)
{
    if (PrepareCommand(std::cout) != Prepared::kReady || !CheckGatewayAddress(std::cout)) return 0;
    CBusMonitor monitor(stdout, stderr);
    if (!monitor.Create()) return 0;
    RunSession(
        g_nDebugLevel, monitor, [&](CTunnelSession& session, CKnxClient&) { monitor.Begin(session, seconds); },
        [&](const MSG& msg) { return monitor.OnMessage(msg); });
    return 0;
}
