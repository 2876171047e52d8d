#include "app/Monitor.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>

#include "app/Dispatch.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "app/WindowHost.h"
#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "platform/clock.h"
#include "platform/winbase.h"

namespace {

const UINT kOutputMsg = WM_USER + 1;  // the client has written output
const UINT_PTR kRunTimer = 1;         // look whether the monitor's time is up
const UINT_PTR kGraceTimer = 2;       // the disconnect report did not come in time
const UINT_PTR kRetryTimer = 3;       // the wait before the next connect is over
const UINT_PTR kAnswerTimer = 4;      // the CONNECT_RESPONSE did not come
const UINT kGraceMs = 1000;
const UINT kConnectAnswerMs = 10000;
const int kLongestRetrySeconds = 30;
// SetTimer takes 32 bits of milliseconds, less than a year: a long run is
// looked at daily and ends at the first look past its deadline.
const std::uint64_t kLongestRunTimerMs = 24u * 3600u * 1000u;

// The console's control events (Ctrl-C; SIGINT or SIGTERM here) come on a
// thread of their own and are turned into a window message, so the message
// loop ends the monitor on the main thread. Made before any other thread
// starts (the signals' stand-in needs that).
class SignalWatcher {
public:
    explicit SignalWatcher(HWND target)
    {
        s_target = target;
        SetConsoleCtrlHandler(&OnControl, TRUE);
    }
    ~SignalWatcher()
    {
        SetConsoleCtrlHandler(&OnControl, FALSE);
        s_target = nullptr;
    }

private:
    static BOOL WINAPI OnControl(DWORD)
    {
        PostMessageA(s_target, CBusMonitor::WM_MONITOR_STOP, 0, 0);
        return TRUE;
    }
    static std::atomic<HWND> s_target;
};

std::atomic<HWND> SignalWatcher::s_target{nullptr};

}  // namespace

int ParseSeconds(const char* text, int max)
{
    if (!std::isdigit(static_cast<unsigned char>(text[0]))) return -1;
    char* end = nullptr;
    errno = 0;
    const long seconds = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || seconds < 1 || seconds > max) return -1;
    return static_cast<int>(seconds);
}

int ParseMonitorSeconds(const char* text) { return ParseSeconds(text, kMaxMonitorSeconds); }

CBusMonitor::CBusMonitor(FILE* out) : m_out(out) {}

CBusMonitor::~CBusMonitor() { m_window.DestroyWindow(); }

bool CBusMonitor::Create() { return m_window.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CBusMonitor::Begin(CKnxClient& client, int seconds)
{
    m_pClient = &client;
    client.m_pOutputWnd = &m_window;
    client.m_nOutputMsg = kOutputMsg;
    if (seconds > 0) {
        m_nDeadlineMs = ClockNowMs() + static_cast<std::uint64_t>(seconds) * 1000u;
        ArmRunTimer();
    }
    m_phase = Phase::Connecting;
    client.Connect();
    SetTimer(m_window.m_hWnd, kAnswerTimer, kConnectAnswerMs, nullptr);
}

bool CBusMonitor::OnMessage(const MSG& msg)
{
    bool running = true;
    if (msg.hwnd != m_window.m_hWnd) DispatchMessageA(&msg);
    else running = OnOwnMessage(msg);
    running = running && Watch();
    if (!running) PrintNew();  // the disconnect report's notice is still queued
    return running;
}

void CBusMonitor::PrintNew()
{
    CString& log = m_pClient->m_strLog;
    if (log.IsEmpty()) return;
    fwrite(log.data(), 1, log.size(), m_out);
    fflush(m_out);
    log.Empty();
}

bool CBusMonitor::OnOwnMessage(const MSG& msg)
{
    if (msg.message == kOutputMsg) {
        PrintNew();
        return true;
    }
    if (msg.message == WM_MONITOR_STOP) return Stop();
    if (msg.message != WM_TIMER) return true;
    switch (msg.wParam) {
    case kRunTimer:
        if (ClockNowMs() >= m_nDeadlineMs) return Stop();
        ArmRunTimer();
        return true;
    case kGraceTimer:
        return false;
    case kAnswerTimer:
        if (m_phase == Phase::Connecting) AttemptFailed("no answer");
        return true;
    case kRetryTimer:
        KillTimer(m_window.m_hWnd, kRetryTimer);
        Attempt();
        return true;
    default:
        return true;
    }
}

// After every message: what became of the tunnel, as the client now knows it.
bool CBusMonitor::Watch()
{
    CKnxClient& client = *m_pClient;
    switch (m_phase) {
    case Phase::Connecting: {
        if (client.m_nConnectStatus < 0) return true;
        KillTimer(m_window.m_hWnd, kAnswerTimer);
        if (client.m_nChannelId <= 0 || client.m_nConnectStatus != knxnetip::kNoError) {
            CString reason;
            reason.Format("refused with status %d", client.m_nConnectStatus);
            AttemptFailed(reason);
            return true;
        }
        m_phase = Phase::Open;
        m_nRetrySeconds = 1;
        if (m_bReconnect) Say("reconnected: channel %d", client.m_nChannelId);
        return true;
    }
    case Phase::Open:
        if (!client.m_strTunnelLoss.IsEmpty()) {
            Say("connection lost: %s; reconnecting in %d s", static_cast<const char*>(client.m_strTunnelLoss),
                m_nRetrySeconds);
            WaitToRetry();
        }
        return true;
    case Phase::Stopping:
        return client.m_nChannelId != -1;
    case Phase::Waiting:
        return true;
    }
    return true;
}

// An open tunnel is disconnected and its report awaited, for at most the
// grace second; without one there is nothing to disconnect, and the run ends.
bool CBusMonitor::Stop()
{
    if (m_phase == Phase::Stopping) return true;
    for (UINT_PTR timer : {kRunTimer, kRetryTimer, kAnswerTimer}) KillTimer(m_window.m_hWnd, timer);
    if (m_phase != Phase::Open) return false;
    m_phase = Phase::Stopping;
    SetTimer(m_window.m_hWnd, kGraceTimer, kGraceMs, nullptr);
    m_pClient->Disconnect();
    return true;
}

// Attempts after the first report their outcome in one line of the monitor's
// own, so the client keeps its connect report to itself.
void CBusMonitor::Attempt()
{
    m_phase = Phase::Connecting;
    m_bReconnect = true;
    m_pClient->m_bQuietConnect = 1;
    m_pClient->Connect();
    SetTimer(m_window.m_hWnd, kAnswerTimer, kConnectAnswerMs, nullptr);
}

void CBusMonitor::AttemptFailed(const char* reason)
{
    KillTimer(m_window.m_hWnd, kAnswerTimer);
    Say("%s failed: %s; next try in %d s", m_bReconnect ? "reconnect" : "connect", reason, m_nRetrySeconds);
    WaitToRetry();
}

// Waits m_nRetrySeconds, and twice as long before the attempt after, up to 30 s.
void CBusMonitor::WaitToRetry()
{
    m_phase = Phase::Waiting;
    SetTimer(m_window.m_hWnd, kRetryTimer, static_cast<UINT>(m_nRetrySeconds) * 1000u, nullptr);
    m_nRetrySeconds = std::min(2 * m_nRetrySeconds, kLongestRetrySeconds);
}

void CBusMonitor::ArmRunTimer()
{
    const std::uint64_t now = ClockNowMs();
    const std::uint64_t left = m_nDeadlineMs > now ? m_nDeadlineMs - now : 0;
    SetTimer(m_window.m_hWnd, kRunTimer, static_cast<UINT>(std::min(left, kLongestRunTimerMs)), nullptr);
}

// One line of the monitor's own, after what the client said before it.
void CBusMonitor::Say(const char* format, ...)
{
    PrintNew();
    va_list args;
    va_start(args, format);
    vfprintf(m_out, format, args);
    va_end(args);
    fputc('\n', m_out);
    fflush(m_out);
}

int RunMonitor(int seconds)
{
    if (!PrepareCommand() || !CheckGatewayAddress()) return 0;
    CBusMonitor monitor(stdout);
    if (!monitor.Create()) return 0;
    SignalWatcher watcher(monitor.Window());
    RunWithClient(
        g_nDebugLevel, [&](CKnxClient& client) { monitor.Begin(client, seconds); },
        [&](const MSG& msg) { return monitor.OnMessage(msg); });
    return 0;
}
