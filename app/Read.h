// kelvane-read: reads one group value. A host that drives the client by
// window messages, sends a GroupValueRead and waits for the
// GroupValueResponse from that group address; every other telegram is
// acknowledged by the client and passed over.
#pragma once

#include <cstdio>

#include "core/KnxClient.h"
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

// The reader's side of the message loop. It owns a window of its own, where
// its timers and the client's output notices arrive; the client's reports are
// dropped. The answer line goes to out, every other line to err.
// Main thread only; timers read the clock of platform/clock.h.
class CGroupReader : public CTelegramSink {
public:
    CGroupReader(FILE* out, FILE* err);
    ~CGroupReader();
    CGroupReader(const CGroupReader&) = delete;
    CGroupReader& operator=(const CGroupReader&) = delete;

    // Makes the reader's window; false when it cannot.
    bool Create();
    // Takes over the output and the telegrams of client (opened, its window
    // made) and connects; once connected, reads groupAddress and waits
    // seconds for the answer. With an EIS type (not 0) the answer is shown
    // as its value alone; an answer that is none goes to err as a misfit.
    // The client must outlive the run.
    void Begin(CKnxClient& client, WORD groupAddress, int eisType, int seconds);
    // Handles one message taken from the thread's queue, its own or another
    // window's; false once the run is over (ExitCode then tells how).
    bool OnMessage(const MSG& msg);
    int ExitCode() const { return m_nExitCode; }

    void OnTelegram(const CTunnelRequest& telegram) override;

private:
    enum class Phase { Connecting, Reading, Stopping, Over };

    void OnOwnMessage(const MSG& msg);
    void Watch();
    void Stop(int exitCode);
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CWnd m_window;
    FILE* m_out;
    FILE* m_err;
    CKnxClient* m_pClient = nullptr;
    Phase m_phase = Phase::Connecting;
    WORD m_wGroupAddress = 0;
    int m_nEisType = 0;  // 0: the answer's telegram line
    int m_nSeconds = kDefaultReadSeconds;
    CString m_strAnswer;        // the answer's line; empty until it came
    bool m_bAnswerFits = true;  // false: m_strAnswer says why it is no value of the type
    int m_nExitCode = READ_FAILED;
};

// The operands after GA, count of them: at most one EIS type name (a word
// that begins with "EIS" in any case) and at most one SECONDS, in either
// order. False for anything else; eisType 0 and the default time when not
// given.
bool ParseReadOperands(int count, char* const operands[], int& eisType, int& seconds);

// Reads the settings as the other programs do (their lines on standard
// error), checks the group address text and the gateway, reads the group
// value and waits up to seconds for the answer, shown as eisType's value
// (0: as the telegram's line); returns the exit code. Main thread.
int RunRead(const char* groupAddress, int eisType, int seconds);
