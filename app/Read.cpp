#include "app/Read.h"

#include <cstdarg>
#include <iostream>

#include "app/Dispatch.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "app/WindowHost.h"
#include "knx/Notation.h"
#include "knxnetip/FrameLayout.h"

namespace {

const UINT_PTR kReadTimer = 1;  // the read's time is up

}  // namespace

CGroupReader::CGroupReader(FILE* out, FILE* err) : m_out(out), m_err(err) {}

CGroupReader::~CGroupReader() { m_window.DestroyWindow(); }

bool CGroupReader::Create() { return m_window.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr) != FALSE; }

void CGroupReader::Begin(CTunnelSession& session, WORD groupAddress, int seconds)
{
    m_pSession = &session;
    m_wGroupAddress = groupAddress;
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
    std::fputs(telegram.Line(), m_out);
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

int RunRead(const char* groupAddress, int seconds)
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
            reader.Begin(session, ParseGroupAddress(groupAddress), seconds);
        },
        [&](const MSG& msg) { return reader.OnMessage(msg); });
    return reader.ExitCode();
}
