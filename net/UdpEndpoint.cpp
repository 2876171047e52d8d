// Placeholder bodies; the endpoint's real worker replaces them.
#include "net/UdpEndpoint.h"

CUdpEndpoint::CUdpEndpoint() {}
CUdpEndpoint::~CUdpEndpoint() {}
DWORD CUdpEndpoint::Start(DWORD, DWORD) { return 0; }
DWORD CUdpEndpoint::WaitRunning() { return 0; }
void CUdpEndpoint::Stop() { m_bStop = 1; }
void CUdpEndpoint::SetNotify(CWnd*, DWORD messageId) { m_nNotifyMsg = messageId; }
void CUdpEndpoint::OnReceive() {}
DWORD CUdpEndpoint::HasData() { return 0; }
int CUdpEndpoint::Read(BYTE*, DWORD) { return 0; }
int CUdpEndpoint::Write(const BYTE*, DWORD) { return 0; }
DWORD CUdpEndpoint::WorkerThread(LPVOID) { return 0; }
