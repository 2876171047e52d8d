#include "app/Read.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <iostream>

#include "app/Dispatch.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "app/WindowHost.h"
#include "knx/EisTypes.h"
#include "knx/Notation.h"
#include "knxnetip/FrameLayout.h"

namespace {

const UINT_PTR kReadTimer = 1;  // the read's time is up

// The answer's value in the form send takes it, or, when its data are no
// value of eisType, the line that says so (false then); each without a line end.
bool TypedAnswer(const CTunnelRequest& telegram, int eisType, CString& text)
{
    EisData data;
    data.length = std::min(telegram.m_nDataLength, kLargestEisData + 1);  // one more fits none
    std::memcpy(data.bytes, telegram.m_data, static_cast<size_t>(std::min(data.length, kLargestEisData)));
    if (DecodeEisValue(eisType, data, text)) return true;
    CString bytes =
        BytesToHexText(telegram.m_data, std::min(telegram.m_nDataLength, int(sizeof telegram.m_data)));
    if (!bytes.IsEmpty()) bytes.pop_back();  // the dump's trailing blank
    text.Format("answer from %s does not fit EIS%d: %s", GroupAddressText(telegram.m_wDestination), eisType,
                bytes.c_str());
    return false;
}

}  // namespace

CGroupReader::CGroupReader(FILE* out, FILE* err) : m_out(out), m_err(err) {}

CGroupReader::~CGroupReader() { m_window.DestroyWindow(); }

bool CGroupReader::Create() { return m_window.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CGroupReader::Begin(CTunnelSession& session, WORD groupAddress, int eisType, int seconds)
{
    m_pSession = &session;
    m_wGroupAddress = groupAddress;
    m_nEisType = eisType;
    m_nSeconds = seconds;
    session.Connect(false, true);
}

bool CGroupReader::OnMessage(const MSG& msg)
{
    if (msg.hwnd != m_window.m_hWnd) DispatchMessageA(&msg);
    else if (msg.message == WM_TIMER && msg.wParam == kReadTimer && !m_bFinished)
        Finish(READ_NO_ANSWER, "no answer from %s within %d s", GroupAddressText(m_wGroupAddress), m_nSeconds);
    return !m_bOver;
}

void CGroupReader::OnOpened(int)
{
    m_pSession->SendGroupRead(m_wGroupAddress);
    SetTimer(m_window.m_hWnd, kReadTimer, static_cast<UINT>(m_nSeconds) * 1000u, nullptr);
}

void CGroupReader::OnRefused(int status)
{
    if (status == CKnxClient::kNoAnswer) Finish(READ_FAILED, "connect failed: no answer from the gateway");
    else Finish(READ_FAILED, "connect failed: refused with status %d", status);
}

void CGroupReader::OnLost(const CString& reason)
{
    Finish(READ_FAILED, "connection lost: %s", static_cast<const char*>(reason));
}

// Only the answer counts: a response (not the confirmation of our own read,
// not a write) to the group address read, once the read is out.
void CGroupReader::OnTelegram(const CTunnelRequest& telegram)
{
    if (m_bFinished || telegram.m_wDestination != m_wGroupAddress) return;
    if (telegram.GroupService() != knxnetip::kApciGroupValueResponse) return;
    CString value;
    if (m_nEisType != 0 && !TypedAnswer(telegram, m_nEisType, value)) {
        Finish(READ_NO_ANSWER, "%s", static_cast<const char*>(value));
        return;
    }
    if (m_nEisType == 0) value = telegram.Line();
    else value += "\n";
    std::fputs(value, m_out);
    std::fflush(m_out);
    Finish(READ_ANSWERED, nullptr);
}

void CGroupReader::Finish(int exitCode, const char* format, ...)
{
    m_bFinished = true;
    m_nExitCode = exitCode;
    KillTimer(m_window.m_hWnd, kReadTimer);
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vfprintf(m_err, format, args);
        va_end(args);
        std::fputc('\n', m_err);
        std::fflush(m_err);
    }
    m_pSession->Stop();
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
    if (PrepareCommand(std::cerr) != Prepared::kReady || !CheckGroupAddress(groupAddress, std::cerr) ||
        !CheckGatewayAddress(std::cerr))
        return READ_FAILED;
    CGroupReader reader(stdout, stderr);
    if (!reader.Create()) return READ_FAILED;
    // Level 0 whatever the settings say: the client's trace would go to
    // standard output, which carries the answer alone.
    RunSession(
        0, reader,
        [&](CTunnelSession& session, CKnxClient&) {
            reader.Begin(session, ParseGroupAddress(groupAddress), eisType, seconds);
        },
        [&](const MSG& msg) { return reader.OnMessage(msg); });
    return reader.ExitCode();
}
