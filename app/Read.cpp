#include "app/Read.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <iostream>

#include "app/Dispatch.h"
#include "app/Monitor.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "app/WindowHost.h"
#include "knx/EisTypes.h"
#include "knx/Notation.h"
#include "knxnetip/FrameLayout.h"

namespace {

const UINT kOutputMsg = WM_USER + 1;  // the client has written output
const UINT_PTR kAnswerTimer = 1;      // the CONNECT_RESPONSE did not come
const UINT_PTR kReadTimer = 2;        // the read's time is up
const UINT_PTR kGraceTimer = 3;       // the disconnect report did not come in time
const UINT kConnectAnswerMs = 3000;
const UINT kGraceMs = 1000;

// The answer's value in the form send takes it, or, when its data are no
// value of eisType, the line that says so (false then); each with a line end.
bool TypedAnswer(const CTunnelRequest& telegram, int eisType, CString& text)
{
    EisData data;
    data.length = std::min(telegram.m_nDataLength, kLargestEisData + 1);  // one more fits none
    std::memcpy(data.bytes, telegram.m_data, static_cast<size_t>(std::min(data.length, kLargestEisData)));
    if (DecodeEisValue(eisType, data, text)) {
        text += "\n";
        return true;
    }
    CString bytes =
        BytesToHexText(telegram.m_data, std::min(telegram.m_nDataLength, int(sizeof telegram.m_data)));
    if (!bytes.IsEmpty()) bytes.pop_back();  // the dump's trailing blank
    text.Format("answer from %s does not fit EIS%d: %s\n", GroupAddressText(telegram.m_wDestination), eisType,
                bytes.c_str());
    return false;
}

// Standard output carries the answer alone, so that a script can take it as
// the value: the lines that the shared checks write to cout go to cerr while
// this lives.
class CoutToCerr {
public:
    CoutToCerr() : m_previous(std::cout.rdbuf(std::cerr.rdbuf())) {}
    ~CoutToCerr() { std::cout.rdbuf(m_previous); }
    CoutToCerr(const CoutToCerr&) = delete;
    CoutToCerr& operator=(const CoutToCerr&) = delete;

private:
    std::streambuf* m_previous;
};

}  // namespace

CGroupReader::CGroupReader(FILE* out, FILE* err) : m_out(out), m_err(err) {}

CGroupReader::~CGroupReader() { m_window.DestroyWindow(); }

bool CGroupReader::Create() { return m_window.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CGroupReader::Begin(CKnxClient& client, WORD groupAddress, int eisType, int seconds)
{
    m_pClient = &client;
    m_wGroupAddress = groupAddress;
    m_nEisType = eisType;
    m_nSeconds = seconds;
    client.m_pOutputWnd = &m_window;
    client.m_nOutputMsg = kOutputMsg;
    client.m_pTelegramSink = this;
    m_phase = Phase::Connecting;
    client.Connect();
    SetTimer(m_window.m_hWnd, kAnswerTimer, kConnectAnswerMs, nullptr);
}

bool CGroupReader::OnMessage(const MSG& msg)
{
    if (msg.hwnd != m_window.m_hWnd) DispatchMessageA(&msg);
    else OnOwnMessage(msg);
    Watch();
    return m_phase != Phase::Over;
}

// Only the answer counts: a response (not the confirmation of our own read,
// not a write) to the group address read, once the read is out.
void CGroupReader::OnTelegram(const CTunnelRequest& telegram)
{
    if (m_phase != Phase::Reading || !m_strAnswer.IsEmpty()) return;
    if (telegram.m_wDestination != m_wGroupAddress) return;
    if (telegram.GroupService() != knxnetip::kApciGroupValueResponse) return;
    if (m_nEisType == 0) m_strAnswer = telegram.Line();
    else m_bAnswerFits = TypedAnswer(telegram, m_nEisType, m_strAnswer);
}

// The client's reports (connect, disconnect) are not this program's output;
// they are dropped as they come, so the log does not grow.
void CGroupReader::OnOwnMessage(const MSG& msg)
{
    if (msg.message == kOutputMsg) {
        m_pClient->m_strLog.Empty();
        return;
    }
    if (msg.message != WM_TIMER) return;
    if (msg.wParam == kAnswerTimer && m_phase == Phase::Connecting) {
        Fail("connect failed: no answer from the gateway");
    } else if (msg.wParam == kReadTimer && m_phase == Phase::Reading) {
        std::fprintf(m_err, "no answer from %s within %d s\n", GroupAddressText(m_wGroupAddress), m_nSeconds);
        Stop(READ_NO_ANSWER);
    } else if (msg.wParam == kGraceTimer) {
        m_phase = Phase::Over;
    }
}

// After every message: what became of the connection and the read.
void CGroupReader::Watch()
{
    CKnxClient& client = *m_pClient;
    switch (m_phase) {
    case Phase::Connecting:
        if (client.m_nConnectStatus < 0) return;
        KillTimer(m_window.m_hWnd, kAnswerTimer);
        if (client.m_nChannelId <= 0 || client.m_nConnectStatus != knxnetip::kNoError) {
            Fail("connect failed: refused with status %d", client.m_nConnectStatus);
            return;
        }
        m_phase = Phase::Reading;
        client.SendGroupValueRead(client.m_dataEndpoint, m_wGroupAddress);
        SetTimer(m_window.m_hWnd, kReadTimer, static_cast<UINT>(m_nSeconds) * 1000u, nullptr);
        return;
    case Phase::Reading:
        if (!m_strAnswer.IsEmpty()) {
            FILE* stream = m_bAnswerFits ? m_out : m_err;
            std::fputs(m_strAnswer, stream);
            std::fflush(stream);
            Stop(m_bAnswerFits ? READ_ANSWERED : READ_NO_ANSWER);
        } else if (!client.m_strTunnelLoss.IsEmpty()) {
            // The channel is gone already: nothing left to disconnect.
            Fail("connection lost: %s", static_cast<const char*>(client.m_strTunnelLoss));
        }
        return;
    case Phase::Stopping:
        if (client.m_nChannelId == -1) m_phase = Phase::Over;
        return;
    case Phase::Over:
        return;
    }
}

// Disconnects and waits for the report, for at most the grace second.
void CGroupReader::Stop(int exitCode)
{
    m_nExitCode = exitCode;
    KillTimer(m_window.m_hWnd, kReadTimer);
    m_phase = Phase::Stopping;
    SetTimer(m_window.m_hWnd, kGraceTimer, kGraceMs, nullptr);
    m_pClient->Disconnect();
}

// One line on err; the run is over with READ_FAILED, nothing to disconnect.
void CGroupReader::Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(m_err, format, args);
    va_end(args);
    std::fputc('\n', m_err);
    std::fflush(m_err);
    m_nExitCode = READ_FAILED;
    m_phase = Phase::Over;
}

bool ParseReadOperands(int count, char* const operands[], int& eisType, int& seconds)
{
    eisType = 0;
    seconds = 0;
    for (int i = 0; i < count; ++i) {
        CString word(operands[i]);
        word.MakeUpper();
        const bool isType = word.compare(0, 3, "EIS") == 0;
        int& operand = isType ? eisType : seconds;
        if (operand != 0) return false;  // given twice
        operand = isType ? ParseEisType(word) : ParseSeconds(operands[i], kMaxReadSeconds);
        if (operand <= 0) return false;
    }
    if (seconds == 0) seconds = kDefaultReadSeconds;
    return true;
}

int RunRead(const char* groupAddress, int eisType, int seconds)
{
    {
        CoutToCerr redirect;
        if (!PrepareCommand() || !CheckGroupAddress(groupAddress) || !CheckGatewayAddress())
            return READ_FAILED;
    }
    CGroupReader reader(stdout, stderr);
    if (!reader.Create()) return READ_FAILED;
    // Level 0 whatever the settings say: the client's trace would go to
    // standard output, which carries the answer alone.
    RunWithClient(
        0,
        [&](CKnxClient& client) { reader.Begin(client, ParseGroupAddress(groupAddress), eisType, seconds); },
        [&](const MSG& msg) { return reader.OnMessage(msg); });
    return reader.ExitCode();
}
