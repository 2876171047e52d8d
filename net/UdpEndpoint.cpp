// The UDP endpoint: pipes made once per endpoint, a worker per run that owns
// the socket and moves datagrams between the pipes and the network.
#include "net/UdpEndpoint.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/SocketErrorText.h"
#include "platform/afxapp.h"
#include "platform/winbase.h"
#include "platform/wsock.h"

namespace {

const DWORD kSendChunk = 1500;        // largest datagram sent
const int kWaitMs = 200;              // longest wait of one worker pass
const DWORD kFailedWaitPauseMs = 10;  // keeps a failing wait from spinning
// The pipes must hold a whole record of the largest datagram passed on; a
// system's default may be smaller (4 KiB on Windows). 64 KiB, as a POSIX pipe.
const DWORD kPipeSize = 64 * 1024;
const std::uint64_t kOneRecord = std::uint64_t(1) << 32;

void CloseKernelHandle(HANDLE& handle)
{
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

// Reads exactly count bytes. Used only where the whole of them is in the
// pipe or on its way (a record that its writer puts in whole).
bool ReadExactly(HANDLE pipe, void* buffer, DWORD count)
{
    BYTE* into = static_cast<BYTE*>(buffer);
    while (count > 0) {
        DWORD got = 0;
        if (!ReadFile(pipe, into, count, &got, nullptr) || got == 0) return false;
        into += got;
        count -= got;
    }
    return true;
}

// Answers come from the address that requests go to; only an endpoint that
// sends to a group (the search) takes datagrams from anyone.
bool AcceptsOnlyFrom(DWORD destination)
{
    return destination != INADDR_NONE && !IN_MULTICAST(ntohl(destination));
}

}  // namespace

CUdpEndpoint::CUdpEndpoint()
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        AfxMessageBox("CLIENT cannot initialize WinSock", MB_OK, 0);
        return;
    }
    m_bSocketsStarted = 1;
    CreatePipe(&m_hRxPipeRead, &m_hRxPipeWrite, nullptr, kPipeSize);
    CreatePipe(&m_hTxPipeRead, &m_hTxPipeWrite, nullptr, kPipeSize);
    m_hWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hSocketEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hStarted = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_hRxReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // The worker must never wait in a write: a receive pipe that its owner
    // does not read would hold it there, deaf to the stop request.
    DWORD noWait = PIPE_NOWAIT;
    if (m_hRxPipeWrite) SetNamedPipeHandleState(m_hRxPipeWrite, &noWait, nullptr, nullptr);
    // Nor the owner: Write checks for room, and a pipe smaller than asked for
    // then refuses the record rather than holding the owner.
    if (m_hTxPipeWrite) SetNamedPipeHandleState(m_hTxPipeWrite, &noWait, nullptr, nullptr);
}

CUdpEndpoint::~CUdpEndpoint()
{
    EndWorker();
    if (m_bSocketsStarted) WSACleanup();
    CloseKernelHandle(m_hRxPipeWrite);
    CloseKernelHandle(m_hRxPipeRead);
    CloseKernelHandle(m_hTxPipeWrite);
    CloseKernelHandle(m_hTxPipeRead);
    CloseKernelHandle(m_hWake);
    CloseKernelHandle(m_hSocketEvent);
    CloseKernelHandle(m_hStarted);
    CloseKernelHandle(m_hRxReady);
}

DWORD CUdpEndpoint::Start(const CString& localAddress, const CString& remoteAddress, DWORD remotePort,
                          DWORD localPort)
{
    // Two workers must never share the pipes, and the addresses and ports
    // below are read by a running worker: the earlier one ends first.
    EndWorker();
    m_strLocIpAddr = localAddress;
    m_strDstIpAddr = remoteAddress;
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
    if (!m_hTxPipeRead || !m_hRxPipeWrite || !m_hWake || !m_hSocketEvent || !m_hStarted || !m_hRxReady)
        return 0;
    m_bRunning.store(0, std::memory_order_release);
    m_bStop.store(0, std::memory_order_release);
    ResetEvent(m_hStarted);
    m_hThread = CreateThread(nullptr, 0, WorkerThread, this, 0, nullptr);
    return m_hThread ? 1 : 0;
}

DWORD CUdpEndpoint::WaitRunning()
{
    if (!m_hThread) return 0;
    WaitForSingleObject(m_hStarted, INFINITE);  // the worker sets it on every way
    return m_bRunning.load(std::memory_order_acquire) == 1 ? 1 : 0;
}

// The worker waits in one place only, which the wake-up ends: it leaves at
// once, with no idle wait of up to 200 ms.
void CUdpEndpoint::RequestStop()
{
    if (!m_hThread) return;
    m_bStop.store(1, std::memory_order_release);
    SetEvent(m_hWake);
}

void CUdpEndpoint::EndWorker()
{
    if (!m_hThread) return;
    RequestStop();
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

void CUdpEndpoint::SetNotify(CWnd* owner, DWORD messageId)
{
    if (owner && owner->m_hWnd) m_pOwnerWnd = owner;
    m_nNotifyMsg = messageId;
}

void CUdpEndpoint::OnReceive()
{
    if (m_pOwnerWnd) PostMessageA(m_pOwnerWnd->m_hWnd, m_nNotifyMsg, 0, 0);
}

DWORD CUdpEndpoint::HasData()
{
    return static_cast<DWORD>(m_qwRxWaiting.load(std::memory_order_acquire) & 0xFFFFFFFFu);
}

DWORD CUdpEndpoint::WaitForData(DWORD timeoutMs)
{
    if (!m_hRxReady) {
        Sleep(timeoutMs);
        return 0;
    }
    if (HasData() == 0) WaitForSingleObject(m_hRxReady, timeoutMs);
    return HasData();
}

int CUdpEndpoint::Read(BYTE* buffer, DWORD max)
{
    if (m_qwRxWaiting.load(std::memory_order_acquire) < kOneRecord) return 0;
    DWORD length = 0;
    if (!ReadExactly(m_hRxPipeRead, &length, sizeof length)) return 0;
    const DWORD taken = length < max ? length : max;
    ReadExactly(m_hRxPipeRead, buffer, taken);
    BYTE scrap[256];
    for (DWORD left = length - taken; left > 0;) {
        const DWORD part = left < sizeof scrap ? left : static_cast<DWORD>(sizeof scrap);
        ReadExactly(m_hRxPipeRead, scrap, part);
        left -= part;
    }
    if (m_bWantRoom.exchange(0) != 0) SetEvent(m_hWake);
    if (m_qwRxWaiting.fetch_sub(kOneRecord + length, std::memory_order_acq_rel) < 2 * kOneRecord) {
        // The last one taken: clear the signal, unless the worker added one meanwhile.
        ResetEvent(m_hRxReady);
        if (m_qwRxWaiting.load(std::memory_order_acquire) >= kOneRecord) SetEvent(m_hRxReady);
    }
    return static_cast<int>(taken);
}

// The record goes in with one write, and only when the pipe has room for all
// of it: the owner is the pipe's only writer, so the room seen cannot shrink
// before the write. A full pipe (a worker that is not running) drops the
// datagram, as a full socket buffer would, instead of holding the owner.
int CUdpEndpoint::Write(const BYTE* buffer, DWORD length)
{
    if (!m_hTxPipeWrite || length == 0 || length > kLargestWrite) return 0;
    DWORD waiting = 0;
    if (!PeekNamedPipe(m_hTxPipeRead, nullptr, 0, nullptr, &waiting, nullptr)) return 0;
    const DWORD recordSize = kRecordHeader + length;
    if (waiting + recordSize > kPipeSize) return 0;
    std::vector<BYTE> record(recordSize);
    memcpy(record.data(), &length, sizeof length);
    memcpy(record.data() + kRecordHeader, buffer, length);
    DWORD written = 0;
    if (!WriteFile(m_hTxPipeWrite, record.data(), recordSize, &written, nullptr) || written != recordSize)
        return 0;
    SetEvent(m_hWake);
    return static_cast<int>(length);
}

DWORD WINAPI CUdpEndpoint::WorkerThread(LPVOID endpoint)
{
    CUdpEndpoint* self = static_cast<CUdpEndpoint*>(endpoint);
    const SOCKET s = self->OpenSocket();
    if (s == INVALID_SOCKET) {
        SetEvent(self->m_hStarted);
        return 0;
    }
    self->m_bRunning.store(1, std::memory_order_release);
    SetEvent(self->m_hStarted);
    WSAEventSelect(s, self->m_hSocketEvent, FD_READ);
    self->RunLoop(s);
    self->m_bRunning.store(0, std::memory_order_release);
    WSAEventSelect(s, self->m_hSocketEvent, 0);
    closesocket(s);
    return 0;
}

SOCKET CUdpEndpoint::OpenSocket()
{
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return INVALID_SOCKET;

    struct Option {
        int name;
        const char* failure;
    };
    static const Option kOptions[] = {
        {SO_REUSEADDR, "error setsocketopt SO_REUSEADDR"},
        {SO_DONTROUTE, "error setsocketopt SO_DONTROUTE"},
        {SO_BROADCAST, "error setsocketopt SO_BROADCAST"},
    };
    for (const Option& option : kOptions) {
        const std::int32_t on = 1;
        if (win::setsockopt(s, SOL_SOCKET, option.name, &on, sizeof on) < 0) {
            // errno says nothing of a Windows Sockets call: its own code does.
            const int code = WSAGetLastError();
            fprintf(stderr, "%s: %d %s\n", option.failure, code, static_cast<LPCTSTR>(SocketErrorText(code)));
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

// The one wait of the worker: a datagram on the socket (only while the
// receive pipe has taken the last one whole; the socket keeps what comes
// meanwhile, and drops what it cannot keep), or the wake-up, which stands
// for bytes to send, room in the receive pipe, and the end.
void CUdpEndpoint::RunLoop(SOCKET s)
{
    BYTE sendBuffer[kSendChunk];
    bool leave = false, moreToSend = false;
    while (!leave) {
        const bool holding = m_dwRxRecordDone < m_dwRxRecordSize;
        const HANDLE waits[2] = {m_hWake, m_hSocketEvent};
        const DWORD result =
            WSAWaitForMultipleEvents(holding ? 1 : 2, waits, FALSE, moreToSend ? 0 : kWaitMs, FALSE);
        if (result == WSA_WAIT_FAILED) Sleep(kFailedWaitPauseMs);
        if (holding) {
            PassOnRecord();
        } else if (result == WSA_WAIT_EVENT_0 + 1) {
            ResetEvent(m_hSocketEvent);
            ReceiveOne(s);
        }
        // Every pass, not only one whose wait ran out, looks at the stop
        // request and the send pipe: a peer that keeps sending must not
        // hold them up.
        leave = m_bStop.load(std::memory_order_acquire) != 0;
        moreToSend = SendOne(s, sendBuffer);
    }
    // What the owner wrote before the stop still leaves (the last
    // acknowledgements before a disconnect); nothing is written meanwhile.
    while (moreToSend) moreToSend = SendOne(s, sendBuffer);
}

void CUdpEndpoint::ReceiveOne(SOCKET s)
{
    sockaddr_in from = {};
    socklen_t fromLength = sizeof from;
    BYTE* payload = m_rxRecord + kRecordHeader;
    const int received = win::recvfrom(s, reinterpret_cast<char*>(payload), kReceiveLimit, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (received <= 0) return;  // empty, failed or too long: nothing to pass on
    const DWORD destination = inet_addr(m_strDstIpAddr);
    if (AcceptsOnlyFrom(destination) && from.sin_addr.s_addr != destination) return;
    const DWORD length = static_cast<DWORD>(received);
    memcpy(m_rxRecord, &length, sizeof length);
    m_dwRxRecordSize = kRecordHeader + length;
    m_dwRxRecordDone = 0;
    PassOnRecord();
}

// Puts as much of the held record into the receive pipe as it takes without
// waiting; when it does not take all, the owner's next Read wakes the worker.
// Once it is all in, the owner may read it and is told. A record the pipe
// refuses (its reader is gone) is dropped.
void CUdpEndpoint::PassOnRecord()
{
    for (int attempt = 0; attempt < 2 && m_dwRxRecordDone < m_dwRxRecordSize; ++attempt) {
        // Asked before the second attempt: a Read in between then wakes us.
        if (attempt == 1) m_bWantRoom.store(1);
        DWORD written = 0;
        const BOOL ok = WriteFile(m_hRxPipeWrite, m_rxRecord + m_dwRxRecordDone,
                                  m_dwRxRecordSize - m_dwRxRecordDone, &written, nullptr);
        m_dwRxRecordDone += written;
        if (!ok) m_dwRxRecordDone = m_dwRxRecordSize = 0;
    }
    if (m_dwRxRecordSize == 0 || m_dwRxRecordDone < m_dwRxRecordSize) return;
    const DWORD length = m_dwRxRecordSize - kRecordHeader;
    m_dwRxRecordDone = m_dwRxRecordSize = 0;
    m_qwRxWaiting.fetch_add(kOneRecord + length, std::memory_order_acq_rel);
    SetEvent(m_hRxReady);
    OnReceive();
}

// One pass sends at most one chunk of at most 1500 bytes of the current
// record. true when more waits to be sent.
bool CUdpEndpoint::SendOne(SOCKET s, BYTE* buffer)
{
    DWORD waiting = 0;
    if (!PeekNamedPipe(m_hTxPipeRead, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return false;
    if (m_dwTxLeft == 0 && !ReadExactly(m_hTxPipeRead, &m_dwTxLeft, sizeof m_dwTxLeft)) return false;
    const DWORD taken = m_dwTxLeft < kSendChunk ? m_dwTxLeft : kSendChunk;
    if (!ReadExactly(m_hTxPipeRead, buffer, taken)) return false;
    m_dwTxLeft -= taken;

    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = inet_addr(m_strDstIpAddr);
    to.sin_port = htons(static_cast<std::uint16_t>(m_nDstPort));
    const int sent =
        static_cast<int>(sendto(s, reinterpret_cast<const char*>(buffer), static_cast<int>(taken), 0,
                                reinterpret_cast<sockaddr*>(&to), sizeof to));
    if (sent == SOCKET_ERROR) {
        // The datagram is dropped, not sent again; the worker goes on.
        const int code = WSAGetLastError();
        printf("*** Error: %s\n", static_cast<LPCTSTR>(SocketErrorText(code)));
        printf("+   IP %s:%d\n", static_cast<LPCTSTR>(m_strDstIpAddr), m_nDstPort);
        printf("+   send %d/%d bytes\n", static_cast<int>(taken), sent);
    }
    return m_dwTxLeft > 0 ||
           (PeekNamedPipe(m_hTxPipeRead, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0);
}
