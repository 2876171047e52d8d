// The UDP endpoint: pipes made once per endpoint, a worker per run that owns
// the socket and moves bytes between the pipes and the network.
#include "net/UdpEndpoint.h"

#include <cstdint>
#include <cstdio>

#include "net/SocketErrorText.h"
#include "platform/afxapp.h"
#include "platform/winbase.h"
#include "platform/wsock.h"

namespace {

const DWORD kSendChunk = 1500;       // largest datagram sent
const int kReceiveLimit = 4096;      // largest datagram passed on
const int kWaitMs = 200;             // longest wait of one worker pass
const DWORD kStartPollMs = 100;      // WaitRunning's step
const DWORD kFailedWaitPauseMs = 10; // keeps a failing wait from spinning
const DWORD kEndPollMs = 50;         // EndWorker's step while it empties the receive pipe

void ClosePipeEnd(HANDLE& pipe) {
    if (pipe) CloseHandle(pipe);
    pipe = nullptr;
}

}  // namespace

CUdpEndpoint::CUdpEndpoint() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        AfxMessageBox("CLIENT cannot initialize WinSock", MB_OK, 0);
        return;
    }
    m_bSocketsStarted = 1;
    CreatePipe(&m_hRxPipeRead, &m_hRxPipeWrite, nullptr, 0);
    CreatePipe(&m_hTxPipeRead, &m_hTxPipeWrite, nullptr, 0);
    CreatePipe(&m_hWakeRead, &m_hWakeWrite, nullptr, 0);
}

CUdpEndpoint::~CUdpEndpoint() {
    EndWorker(true);
    if (m_bSocketsStarted) WSACleanup();
    ClosePipeEnd(m_hRxPipeWrite);
    ClosePipeEnd(m_hRxPipeRead);
    ClosePipeEnd(m_hTxPipeWrite);
    ClosePipeEnd(m_hTxPipeRead);
    ClosePipeEnd(m_hWakeWrite);
    ClosePipeEnd(m_hWakeRead);
}

DWORD CUdpEndpoint::Start(DWORD remotePort, DWORD localPort) {
    // Two workers must never share the pipes, and the ports below are read
    // by a running worker: the earlier one ends first.
    EndWorker(false);
    m_nDstPort = static_cast<int>(remotePort);
    m_nLocPort = static_cast<int>(localPort);
    if (m_strLocIpAddr.IsEmpty()) {
        printf("UTC error: no LocIpAddr\n");
        return 0;
    }
    if (m_strDstIpAddr.IsEmpty()) {
        printf("UTC error: no DstIpAddr\n");
        return 0;
    }
    // Without the socket library there are no pipes to serve.
    if (!m_hTxPipeRead || !m_hRxPipeWrite) return 0;
    m_bRunning.store(0, std::memory_order_release);
    m_bStop.store(0, std::memory_order_release);
    m_hThread = CreateThread(nullptr, 0, WorkerThread, this, 0, &m_dwThreadId);
    return m_hThread ? 1 : 0;
}

DWORD CUdpEndpoint::WaitRunning() {
    for (;;) {
        if (m_bRunning.load(std::memory_order_acquire) == 1) return 1;
        if (!m_hThread) return 0;
        // The step doubles as the check for a worker that ended without
        // ever running (no socket, bind refused).
        if (WaitForSingleObject(m_hThread, kStartPollMs) == WAIT_OBJECT_0) {
            return m_bRunning.load(std::memory_order_acquire) == 1 ? 1 : 0;
        }
    }
}

void CUdpEndpoint::Stop() { m_bStop.store(1, std::memory_order_release); }

void CUdpEndpoint::SetNotify(CWnd* owner, DWORD messageId) {
    if (owner && owner->m_hWnd) m_pOwnerWnd = owner;
    m_nNotifyMsg = messageId;
}

void CUdpEndpoint::OnReceive() {
    if (m_pOwnerWnd) PostMessageA(m_pOwnerWnd->m_hWnd, m_nNotifyMsg, 0, 0);
}

DWORD CUdpEndpoint::HasData() {
    DWORD waiting = 0;
    if (!m_hRxPipeRead || !PeekNamedPipe(m_hRxPipeRead, nullptr, 0, nullptr, &waiting, nullptr)) return 0;
    return waiting;
}

DWORD CUdpEndpoint::WaitForData(DWORD timeoutMs) {
    if (!m_hRxPipeRead) {
        Sleep(timeoutMs);
        return 0;
    }
    pollfd wait = {PipeDescriptor(m_hRxPipeRead), POLLIN, 0};
    poll(&wait, 1, static_cast<int>(timeoutMs));
    return HasData();
}

int CUdpEndpoint::Read(BYTE* buffer, DWORD max) {
    if (HasData() == 0) return 0;
    DWORD got = 0;
    ReadFile(m_hRxPipeRead, buffer, max, &got, nullptr);
    return static_cast<int>(got);
}

int CUdpEndpoint::Write(const BYTE* buffer, DWORD length) {
    if (!m_hTxPipeWrite || length == 0) return 0;
    DWORD written = 0;
    if (!WriteFile(m_hTxPipeWrite, &length, sizeof length, &written, nullptr) || written != sizeof length)
        return 0;
    WriteFile(m_hTxPipeWrite, buffer, length, &written, nullptr);
    return static_cast<int>(written);
}

DWORD CUdpEndpoint::WorkerThread(LPVOID endpoint) {
    CUdpEndpoint* self = static_cast<CUdpEndpoint*>(endpoint);
    const SOCKET s = self->OpenSocket();
    if (s == INVALID_SOCKET) return 0;
    self->m_bRunning.store(1, std::memory_order_release);
    self->RunLoop(s);
    self->m_bRunning.store(0, std::memory_order_release);
    closesocket(s);
    return 0;
}

// A plain Stop is seen when the worker's wait runs out; here the owner waits
// for the end, so the wait is cut short: destroying a client or restarting
// an endpoint then costs no idle wait of up to 200 ms.
void CUdpEndpoint::EndWorker(bool discardReceived) {
    if (!m_hThread) return;
    m_bStop.store(1, std::memory_order_release);
    DWORD written = 0;
    const BYTE wake = 1;
    if (m_hWakeWrite) WriteFile(m_hWakeWrite, &wake, 1, &written, nullptr);
    BYTE scrap[kReceiveLimit];
    while (WaitForSingleObject(m_hThread, kEndPollMs) != WAIT_OBJECT_0) {
        if (discardReceived) {
            while (Read(scrap, sizeof scrap) > 0) {
            }
        }
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    BYTE drained[16];
    DWORD waiting = 0, got = 0;
    while (m_hWakeRead && PeekNamedPipe(m_hWakeRead, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0)
        ReadFile(m_hWakeRead, drained, sizeof drained, &got, nullptr);
}

int CUdpEndpoint::OpenSocket() {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return INVALID_SOCKET;

    struct Option {
        int name;
        const char* failure;
    };
    static const Option kOptions[] = {
        {SO_REUSEADDR, "error setsocketopt SO_REUSEADDR\n"},
        {SO_DONTROUTE, "error setsocketopt SO_DONTROUTE\n"},
        {SO_BROADCAST, "error setsocketopt SO_BROADCAST\n"},
    };
    for (const Option& option : kOptions) {
        const std::int32_t on = 1;
        if (setsockopt(s, SOL_SOCKET, option.name, &on, sizeof on) < 0) {
            perror(option.failure);
            closesocket(s);
            return INVALID_SOCKET;
        }
    }

    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(m_strLocIpAddr);
    local.sin_port = htons(static_cast<std::uint16_t>(m_nLocPort));
    if (win::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int code = WSAGetLastError();
        printf("error bind %s\n", static_cast<LPCTSTR>(SocketErrorText(code)));
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (m_nLocPort == 0) {
        socklen_t length = sizeof local;
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length);
        m_nLocPort = ntohs(local.sin_port);
    }
    return s;
}

void CUdpEndpoint::RunLoop(int s) {
    BYTE sendBuffer[kSendChunk];
    BYTE receiveBuffer[kReceiveLimit];
    bool leave = false;
    while (!leave) {
        // Bytes written into the send pipe end the wait too, so that a
        // request leaves at once instead of at the end of the wait.
        // So does the owner when it ends the worker for good (EndWorker).
        pollfd waits[3] = {{s, POLLIN, 0}, {PipeDescriptor(m_hTxPipeRead), POLLIN, 0},
                           {PipeDescriptor(m_hWakeRead), POLLIN, 0}};
        const int result = poll(waits, m_hWakeRead ? 3 : 2, kWaitMs);
        if (result < 0) {
            Sleep(kFailedWaitPauseMs);
        } else if (waits[0].revents != 0) {
            ReceiveOne(s, receiveBuffer);
        }
        // Every pass, not only one whose wait ran out, looks at the stop
        // request and the send pipe: a peer that keeps sending must not
        // hold them up.
        leave = m_bStop.load(std::memory_order_acquire) != 0;
        SendOne(s, sendBuffer);
    }
}

void CUdpEndpoint::ReceiveOne(int s, BYTE* buffer) {
    sockaddr_in from;
    socklen_t fromLength = sizeof from;
    const int received = win::recvfrom(s, reinterpret_cast<char*>(buffer), kReceiveLimit, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) return;  // empty, failed or too long: nothing to pass on
    DWORD written = 0;
    WriteFile(m_hRxPipeWrite, buffer, static_cast<DWORD>(received), &written, nullptr);
    OnReceive();
}

namespace {

// Reads exactly count bytes; the owner writes a record whole, so the rest of
// one that has begun is on its way.
bool ReadExactly(HANDLE pipe, void* buffer, DWORD count) {
    BYTE* into = static_cast<BYTE*>(buffer);
    while (count > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, into, count, &got, nullptr) || got == 0) return false;
        into += got;
        count -= got;
    }
    return true;
}

}  // namespace

// One pass sends at most one chunk of at most 1500 bytes of the current record.
void CUdpEndpoint::SendOne(int s, BYTE* buffer) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(m_hTxPipeRead, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return;
    if (m_dwTxLeft == 0 && !ReadExactly(m_hTxPipeRead, &m_dwTxLeft, sizeof m_dwTxLeft)) return;
    const DWORD taken = m_dwTxLeft < kSendChunk ? m_dwTxLeft : kSendChunk;
    if (!ReadExactly(m_hTxPipeRead, buffer, taken)) return;
    m_dwTxLeft -= taken;

    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr(m_strDstIpAddr);
    to.sin_port = htons(static_cast<std::uint16_t>(m_nDstPort));
    const int sent = static_cast<int>(
        sendto(s, buffer, taken, 0, reinterpret_cast<sockaddr*>(&to), sizeof to));
    if (sent == SOCKET_ERROR) {
        // The datagram is dropped, not sent again; the worker goes on.
        const int code = WSAGetLastError();
        printf("*** Error: %s\n", static_cast<LPCTSTR>(SocketErrorText(code)));
        printf("+   IP %s:%d\n", static_cast<LPCTSTR>(m_strDstIpAddr), m_nDstPort);
        printf("+   send %d/%d bytes\n", static_cast<int>(taken), sent);
    }
}
