// CUdpEndpoint: one UDP socket served by a worker thread of its own, with a
// send pipe (owner -> worker -> network) and a receive pipe (network ->
// worker -> owner). All operations but OnReceive and WorkerThread belong to
// the owner's thread; the socket is touched by the worker only.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/afxstring.h"
#include "platform/afxwnd.h"
#include "platform/wintypes.h"

class CUdpEndpoint {
public:
    CUdpEndpoint();
    ~CUdpEndpoint();  // stops a running worker and waits for its end

    CUdpEndpoint(const CUdpEndpoint&) = delete;
    CUdpEndpoint& operator=(const CUdpEndpoint&) = delete;

    // Starts a worker for the stored addresses. 1 when a worker was created,
    // 0 when an address text is empty (a line says which). Waits first for
    // an earlier worker of this endpoint to end.
    DWORD Start(DWORD remotePort, DWORD localPort);
    // Waits until the worker runs: 1. Returns 0 once the worker has failed
    // (or none was started); never waits for ever.
    DWORD WaitRunning();
    // Asks the worker to leave; returns at once.
    void Stop();
    // Records owner as the window to notify, if it has a window, and the id.
    void SetNotify(CWnd* owner, DWORD messageId);
    // Worker thread: called once per received datagram, after its bytes
    // went into the receive pipe. Posts m_nNotifyMsg to the owner window.
    virtual void OnReceive();
    // Bytes waiting in the receive pipe; 0 when none or unknown.
    DWORD HasData();
    // Waits at most timeoutMs for bytes in the receive pipe and returns the
    // count waiting then (0: none came). Lets a poll notice an answer as it
    // arrives instead of at the end of its step.
    DWORD WaitForData(DWORD timeoutMs);
    // Reads at most max bytes without blocking; 0 when nothing waits.
    int Read(BYTE* buffer, DWORD max);
    // Puts bytes into the send pipe; returns the count the pipe took. Each
    // Write leaves as a datagram of its own (one longer than 1500 bytes as
    // several of at most 1500): a receiver reads one frame per datagram, so
    // two frames joined in one would lose the second. To keep the boundaries,
    // the send pipe carries each Write as a record: its length as a DWORD in
    // host byte order, then its bytes.
    int Write(const BYTE* buffer, DWORD length);

    static DWORD WorkerThread(LPVOID endpoint);

    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    std::atomic<std::int32_t> m_bRunning{0};
    std::atomic<std::int32_t> m_bStop{0};
    CString m_strLocIpAddr;
    CString m_strDstIpAddr;
    int m_nLocPort = 0;
    int m_nDstPort = 0;
    CWnd* m_pOwnerWnd = nullptr;
    DWORD m_nNotifyMsg = 0;
    HANDLE m_hRxPipeWrite = nullptr;
    HANDLE m_hRxPipeRead = nullptr;
    HANDLE m_hTxPipeWrite = nullptr;
    HANDLE m_hTxPipeRead = nullptr;

private:
    // Asks the current worker, if any, to leave, waits for its end and
    // releases its handle. discardReceived empties the receive pipe while
    // waiting, so that a worker blocked on a full pipe can finish.
    void EndWorker(bool discardReceived);
    // Worker side (sockets are plain descriptors here): a bound socket, or
    // -1 after reporting why not; then the loop that serves it.
    int OpenSocket();
    void RunLoop(int s);
    void ReceiveOne(int s, BYTE* buffer);
    void SendOne(int s, BYTE* buffer);

    int m_bSocketsStarted = 0;  // WSAStartup succeeded; WSACleanup is owed
    // Bytes of the current send-pipe record not yet sent. Only the worker
    // uses it; it carries over to the next worker when a run ends mid-record.
    DWORD m_dwTxLeft = 0;
    // Wakes the worker's wait when the owner ends it (EndWorker).
    HANDLE m_hWakeRead = nullptr;
    HANDLE m_hWakeWrite = nullptr;
};
