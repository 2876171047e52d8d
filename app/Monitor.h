// The bus monitor: a host of a tunnel session that shows every telegram on
// the bus and keeps the tunnel open: when the session finds it gone, the
// monitor connects again at once, and waits between failed attempts.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/TunnelSession.h"
#include "platform/afxwnd.h"

// The longest run that SECONDS may ask for: a year.
constexpr int kMaxMonitorSeconds = 31536000;

// The monitor's SECONDS: from 1 to a year.
int ParseMonitorSeconds(const char* text);

// The monitor's side of the message loop. It owns a window of its own, where
// its timers arrive, and writes to out the client's reports, the telegrams
// and its own lines about the tunnel; to err the line of a run that ended
// before any gateway answered. Main thread only; timers read the clock of
// platform/clock.h.
class CBusMonitor : public CTunnelListener {
public:
    CBusMonitor(FILE* out, FILE* err);
    ~CBusMonitor();
    CBusMonitor(const CBusMonitor&) = delete;
    CBusMonitor& operator=(const CBusMonitor&) = delete;

    // Makes the monitor's window; false when it cannot.
    bool Create();
    // Connects through session (its client attached); the run ends after
    // seconds when above 0. The session must outlive the run.
    void Begin(CTunnelSession& session, int seconds);
    // Handles one message taken from the thread's queue, its own or another
    // window's; false once the run is over: the session is closed (the
    // tunnel disconnected, or none open); all output is written by then.
    bool OnMessage(const MSG& msg);

    void OnOpened(int channel) override;
    void OnRefused(int status) override;
    void OnLost(const CString& reason) override;
    void OnClosed() override;
    void OnTelegram(const CTunnelRequest& telegram) override;
    void OnOutput(const CString& text) override;

private:
    void OnOwnMessage(const MSG& msg);
    void Stop();
    void Attempt();
    void WaitToRetry();
    void ArmRunTimer();
    void Say(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CWnd m_window;
    FILE* m_out;
    FILE* m_err;
    CTunnelSession* m_pSession = nullptr;
    bool m_bReconnect = false;        // an attempt after the first
    bool m_bOver = false;
    int m_nRetrySeconds = 1;          // wait before the next attempt
    std::uint64_t m_nDeadlineMs = 0;  // end of the run on the clock; 0: none
};

// Reads the settings as the commands do, checks the gateway address, opens
// and connects, and runs the monitor on standard output until SIGINT or
// SIGTERM, or for seconds when above 0; returns the exit code 0.
// Main thread; SIGINT and SIGTERM are taken over while it runs.
int RunMonitor(int seconds);
