// The bus monitor: a host that drives the client by window messages, shows
// every telegram on the bus, and keeps the tunnel open: the heartbeat holds
// it, and when the client finds it gone the monitor connects again.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/afxwnd.h"

class CKnxClient;

// The longest run that SECONDS may ask for: a year.
constexpr int kMaxMonitorSeconds = 31536000;

// SECONDS as given on the command line: a whole number from 1 to max in
// decimal digits; -1 for any other text.
int ParseSeconds(const char* text, int max);
// The monitor's SECONDS: from 1 to a year.
int ParseMonitorSeconds(const char* text);

// The monitor's side of the message loop. It owns a window of its own, where
// its timers, the client's output notices and the stop request arrive, and
// writes to out: the client's output (taken out of the client's log once
// written, so a long run does not grow) and its own lines about the tunnel.
// Main thread only; timers read the clock of platform/clock.h.
class CBusMonitor {
public:
    // Post it to Window() to end the run as Ctrl-C does.
    static constexpr UINT WM_MONITOR_STOP = WM_USER + 2;

    explicit CBusMonitor(FILE* out);
    ~CBusMonitor();
    CBusMonitor(const CBusMonitor&) = delete;
    CBusMonitor& operator=(const CBusMonitor&) = delete;

    // Makes the monitor's window; false when it cannot.
    bool Create();
    HWND Window() const { return m_window.m_hWnd; }
    // Takes over the output of client (opened, its window made) and connects;
    // the run ends after seconds when above 0. The client must outlive the run.
    void Begin(CKnxClient& client, int seconds);
    // Handles one message taken from the thread's queue, its own or another
    // window's; false once the run is over: the disconnect report came, its
    // grace second passed, or no tunnel was open when the run ended; all
    // output is written by then.
    bool OnMessage(const MSG& msg);

private:
    enum class Phase { Connecting, Open, Waiting, Stopping };

    // Writes what the client said since the last call, and takes it out of
    // the client's log.
    void PrintNew();
    bool OnOwnMessage(const MSG& msg);
    bool Watch();
    bool Stop();
    void Attempt();
    void AttemptFailed(const char* reason);
    void WaitToRetry();
    void ArmRunTimer();
    void Say(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CWnd m_window;
    FILE* m_out;
    CKnxClient* m_pClient = nullptr;
    Phase m_phase = Phase::Connecting;
    bool m_bReconnect = false;        // an attempt after the first
    int m_nRetrySeconds = 1;          // wait before the next attempt
    std::uint64_t m_nDeadlineMs = 0;  // end of the run on the clock; 0: none
};

// Reads the settings as the commands do, checks the gateway address, opens
// and connects, and runs the monitor on standard output until SIGINT or
// SIGTERM, or for seconds when above 0; returns the exit code 0.
// Main thread; SIGINT and SIGTERM are taken over while it runs.
int RunMonitor(int seconds);
