// kelvane-read: reads one group value. A host that drives the client by
// window messages, sends a GroupValueRead and waits for the
// GroupValueResponse from that group address; every other telegram is
// acknowledged by the client and passed over.
#pragma once

#include <cstdio>

#include "core/TunnelSession.h"
#include "platform/afxwnd.h"
#include "platform/wintypes.h"

constexpr int kDefaultReadSeconds = 2;
constexpr int kMaxReadSeconds = 60;

// Exit codes of kelvane-read.
enum : int {
    READ_ANSWERED = 0,   // the answer was printed
    READ_NO_ANSWER = 1,  // none came within the time, or it was no value of the type asked for
    READ_FAILED = 2,     // usage, settings or operands wrong, or no tunnel to read through
};

// The reader's side of the message loop, a host of a tunnel session. It owns
// a window of its own, where its timer arrives; the client's reports are
// dropped. The answer line goes to out, every other line to err.
// Main thread only; timers read the clock of platform/clock.h.
class CGroupReader : public CTunnelListener {
public:
    CGroupReader(FILE* out, FILE* err);
    ~CGroupReader();
    CGroupReader(const CGroupReader&) = delete;
    CGroupReader& operator=(const CGroupReader&) = delete;

    // Makes the reader's window; false when it cannot.
    bool Create();
    // Connects through session (its client attached); once connected, reads
    // groupAddress and waits seconds for the answer. With an EIS type (not 0)
    // the answer is shown as its value alone; an answer that is none goes to
    // err as a misfit. The session must outlive the run.
    void Begin(CTunnelSession& session, WORD groupAddress, int eisType, int seconds);
    // Handles one message taken from the thread's queue, its own or another
    // window's; false once the run is over (ExitCode then tells how).
    bool OnMessage(const MSG& msg);
    int ExitCode() const { return m_nExitCode; }

    void OnOpened(int channel) override;
    void OnRefused(int status) override;
    void OnLost(const CString& reason) override;
    void OnClosed() override { m_bOver = true; }
    void OnTelegram(const CTunnelRequest& telegram) override;
    void OnOutput(const CString&) override {}

private:
    // One line on err (none for a null format), then the session is stopped
    // and the run ends with exitCode once it is closed.
    void Finish(int exitCode, const char* format, ...) __attribute__((format(printf, 3, 4)));

    CWnd m_window;
    FILE* m_out;
    FILE* m_err;
    CTunnelSession* m_pSession = nullptr;
    WORD m_wGroupAddress = 0;
    int m_nEisType = 0;  // 0: the answer's telegram line
    int m_nSeconds = kDefaultReadSeconds;
    bool m_bFinished = false;  // the outcome is known; the session is stopping
    bool m_bOver = false;
    int m_nExitCode = READ_NO_ANSWER;  // also when a signal ends the read
};

// The operands after GA, count of them: at most one EIS type name (a word
// that begins with "EIS" in any case) and at most one SECONDS, in either
// order. False for anything else; eisType 0 and the default time when not
// given.
bool ParseReadOperands(int count, char* const operands[], int& eisType, int& seconds);

// Reads the settings as the other programs do (their lines on standard
// error), checks the group address text and the gateway, reads the group
// value and waits up to seconds for the answer, shown as eisType's value
// (0: as the telegram's line); returns the exit code.
// Main thread; SIGINT and SIGTERM are taken over while it runs.
int RunRead(const char* groupAddress, int eisType, int seconds);
