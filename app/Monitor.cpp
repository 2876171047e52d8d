#include "app/Monitor.h"

#include <atomic>
#include <cstdio>

#include "app/Dispatch.h"
#include "app/Settings.h"
#include "core/KnxClient.h"
#include "platform/console.h"

namespace {

const UINT kOutputMsg = WM_USER + 1;  // the client has written output
const UINT kStopMsg = WM_USER + 2;    // Ctrl-C (SIGINT) or the end of the session (SIGTERM) came
const UINT_PTR kRunTimer = 1;         // the monitor's time is up
const UINT_PTR kGraceTimer = 2;       // the disconnect report did not come in time
const UINT kGraceMs = 1000;

// The console's control events come on a thread of their own and are turned
// into a window message, so the message loop ends the monitor on the main
// thread. Made before any other thread starts (the signals' stand-in needs
// that).
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
        PostMessageA(s_target, kStopMsg, 0, 0);
        return TRUE;
    }
    static std::atomic<HWND> s_target;
};

std::atomic<HWND> SignalWatcher::s_target{nullptr};

// Writes what the client added to its log since the last call.
class LogPrinter {
public:
    explicit LogPrinter(const CKnxClient& client) : m_client(client) {}
    void PrintNew()
    {
        const std::string& log = m_client.m_strLog.str();
        if (log.size() <= m_printed) return;
        fwrite(log.data() + m_printed, 1, log.size() - m_printed, stdout);
        fflush(stdout);
        m_printed = log.size();
    }

private:
    const CKnxClient& m_client;
    size_t m_printed = 0;
};

// Runs the message loop until the monitor's end; returns once the disconnect
// report is out or the grace second has passed.
void RunLoop(CKnxClient& client, CWnd& output, LogPrinter& printer)
{
    bool stopping = false;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        bool forOutput = msg.hwnd == output.m_hWnd;
        if (forOutput && msg.message == kOutputMsg) {
            printer.PrintNew();
        } else if (forOutput && !stopping &&
                   (msg.message == kStopMsg || (msg.message == WM_TIMER && msg.wParam == kRunTimer))) {
            stopping = true;
            KillTimer(output.m_hWnd, kRunTimer);
            SetTimer(output.m_hWnd, kGraceTimer, kGraceMs, nullptr);
            client.Disconnect();
        } else if (forOutput && msg.message == WM_TIMER && msg.wParam == kGraceTimer) {
            return;
        } else {
            DispatchMessageA(&msg);
        }
        if (stopping && client.m_nChannelId == -1) return;
    }
}

}  // namespace

int RunMonitor(int seconds)
{
    if (!PrepareCommand()) return 0;
    CWnd output;
    if (!output.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr)) return 0;
    {
        SignalWatcher watcher(output.m_hWnd);
        g_pCurrentClient = new CKnxClient;
        CKnxClient& client = *g_pCurrentClient;
        LogPrinter printer(client);
        client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr);
        client.m_pOutputWnd = &output;
        client.m_nOutputMsg = kOutputMsg;
        client.SetDebugLevel(g_nDebugLevel);
        client.Open(g_strMyOwnIpAddress, g_strGatewayIpAddress);
        client.Connect();
        if (seconds > 0) SetTimer(output.m_hWnd, kRunTimer, static_cast<UINT>(seconds) * 1000u, nullptr);
        RunLoop(client, output, printer);
        printer.PrintNew();
        client.DestroyWindow();
        delete g_pCurrentClient;
        g_pCurrentClient = nullptr;
    }
    output.DestroyWindow();
    return 0;
}
