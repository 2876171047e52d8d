// CUdpEndpoint: one UDP socket served by a worker thread of its own, with a
// send pipe (owner -> worker -> network) and a receive pipe (network ->
// worker -> owner). All operations but OnReceive and WorkerThread belong to
// the owner's thread; the socket is touched by the worker only.
// Both pipes carry records (a DWORD length in host byte order, then the
// bytes), so that datagram boundaries survive the trip. The worker only ever
// waits in one place, its poll, so ending it is a signal and a join.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/afxstring.h"
#include "platform/afxwnd.h"
#include "platform/winbase.h"
#include "platform/wintypes.h"
#include "platform/wsock.h"

class CUdpEndpoint {
public:
    CUdpEndpoint();
    ~CUdpEndpoint();  // stops a running worker and waits for its end

    CUdpEndpoint(const CUdpEndpoint&) = delete;
    CUdpEndpoint& operator=(const CUdpEndpoint&) = delete;

    // Ends an earlier worker of this endpoint, then starts one for the
    // addresses and ports given (local port 0: any). 1 when a worker was
    // created, 0 when an address text is empty (a line says which).
    DWORD Start(const CString& localAddress, const CString& remoteAddress, DWORD remotePort, DWORD localPort);
    // Waits until the worker has bound its socket: 1. Returns 0 once the
    // worker has failed (or none was started); never waits for ever.
    DWORD WaitRunning();
    // Asks the worker to leave and wakes it; returns at once. What was
    // written before still leaves. The next Start or the destructor waits
    // for its end. Does nothing without one.
    void RequestStop();
    // Records owner as the window to notify, if it has a window, and the id.
    // Only while no worker runs: the worker reads them.
    void SetNotify(CWnd* owner, DWORD messageId);
    // Worker thread: called once per received datagram, after its bytes
    // went into the receive pipe. Posts m_nNotifyMsg to the owner window.
    virtual void OnReceive();
    // Bytes of the datagrams waiting in the receive pipe; 0 when none.
    DWORD HasData();
    // Waits at most timeoutMs for a datagram and returns HasData then (0:
    // none came). Lets a poll notice an answer as it arrives.
    DWORD WaitForData(DWORD timeoutMs);
    // Takes the oldest waiting datagram: copies at most max of its bytes to
    // buffer and drops the rest of it. Returns the count copied, 0 when none
    // waits. Never blocks.
    int Read(BYTE* buffer, DWORD max);
    // Puts bytes into the send pipe whole, or not at all; returns length, or
    // 0 when the pipe had no room (the datagram is dropped) or length is 0 or
    // above 32 KiB. Never blocks. Each Write leaves as a datagram of its own
    // (one longer than 1500 bytes as several of at most 1500): a receiver
    // reads one frame per datagram, so two frames joined in one would lose the second.
    int Write(const BYTE* buffer, DWORD length);

    static DWORD WINAPI WorkerThread(LPVOID endpoint);

    HANDLE m_hThread = nullptr;
    int m_nLocPort = 0;
    int m_nDstPort = 0;
    CWnd* m_pOwnerWnd = nullptr;
    DWORD m_nNotifyMsg = 0;
    HANDLE m_hRxPipeWrite = nullptr;
    HANDLE m_hRxPipeRead = nullptr;
    HANDLE m_hTxPipeWrite = nullptr;
    HANDLE m_hTxPipeRead = nullptr;

private:
    static const int kReceiveLimit = 4096;  // largest datagram passed on
    static const int kRecordHeader = sizeof(DWORD);
    static const DWORD kLargestWrite = 32 * 1024;

    // Asks the worker to leave and waits until it has.
    void EndWorker();
    // Worker side: a bound socket, or INVALID_SOCKET after reporting why
    // not; then the loop that serves it.
    SOCKET OpenSocket();
    void RunLoop(SOCKET s);
    void ReceiveOne(SOCKET s);
    void PassOnRecord();
    bool SendOne(SOCKET s, BYTE* buffer);

    std::atomic<std::int32_t> m_bRunning{0};
    std::atomic<std::int32_t> m_bStop{0};
    CString m_strLocIpAddr;
    CString m_strDstIpAddr;
    int m_bSocketsStarted = 0;  // WSAStartup succeeded; WSACleanup is owed
    // Set by the worker once it runs or has failed to (WaitRunning's signal).
    HANDLE m_hStarted = nullptr;
    // Set while whole datagrams wait in the receive pipe (WaitForData's signal).
    HANDLE m_hRxReady = nullptr;
    // Wakes the worker's wait: a Write, the owner ending it, or room in the
    // receive pipe that the worker asked for with m_bWantRoom.
    HANDLE m_hWake = nullptr;
    std::atomic<int> m_bWantRoom{0};
    // Set while a datagram waits on the socket (tied to it by the worker).
    HANDLE m_hSocketEvent = nullptr;
    // Whole datagrams in the receive pipe: count in the high half, their
    // bytes in the low half, so that both change in one step. A record the
    // worker has only partly written is not counted, so Read never waits.
    std::atomic<std::uint64_t> m_qwRxWaiting{0};
    // Worker only: the record being put into the receive pipe (it carries
    // over to the next worker when a run ends before the pipe took it all),
    // and the bytes of the current send-pipe record not yet sent.
    BYTE m_rxRecord[kRecordHeader + kReceiveLimit];
    DWORD m_dwRxRecordSize = 0;
    DWORD m_dwRxRecordDone = 0;
    DWORD m_dwTxLeft = 0;
};
