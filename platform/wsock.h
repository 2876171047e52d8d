// Stands in for WSAStartup, WSACleanup, closesocket, WSAGetLastError,
// WSAEventSelect and WSAWaitForMultipleEvents, and for the socket calls whose
// behaviour differs here (bind, recvfrom, setsockopt: namespace win). The
// other socket functions (socket, sendto, getsockname, ...) are the system's.
// On Windows all are the system's; only the win:: wrappers remain, as plain
// calls, so that the program's code reads the same for both.
#pragma once

#ifdef _WIN32

#include "platform/wintypes.h"
#include <ws2tcpip.h>

namespace win {
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength);
int bind(SOCKET s, const sockaddr* address, socklen_t length);
int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length);
}  // namespace win

#else

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "platform/wintypes.h"

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)

#ifndef MAKEWORD
#define MAKEWORD(low, high) \
    (static_cast<WORD>((static_cast<BYTE>(low)) | (static_cast<WORD>(static_cast<BYTE>(high)) << 8)))
#endif

struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
};
typedef WSAData WSADATA;
typedef WSAData* LPWSADATA;
typedef HANDLE WSAEVENT;

#define FD_READ 0x01
#define WSA_WAIT_EVENT_0 0x00000000u
#define WSA_WAIT_TIMEOUT 0x00000102u
#define WSA_WAIT_FAILED 0xFFFFFFFFu

#define WSASYSNOTREADY 10091

// Starts the socket library for one user; each successful call is matched
// by one WSACleanup. 0 on success (version 2.2), else a Windows Sockets code.
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();

// Ties event (from CreateEventA, manual reset) to s: it counts as set while
// a datagram waits on s (networkEvents FD_READ); 0 unties it. 0 on success.
int WSAEventSelect(SOCKET s, WSAEVENT event, long networkEvents);

// Waits until one of count (at most 4) events is set, at most timeoutMs:
// WSA_WAIT_EVENT_0 + the index of the first one set (an auto-reset event is
// cleared by it), WSA_WAIT_TIMEOUT, or WSA_WAIT_FAILED. waitAll and
// alertable must be FALSE.
DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL waitAll, DWORD timeoutMs,
                               BOOL alertable);

int closesocket(SOCKET s);

// The Windows Sockets code of the calling thread's last failed socket call.
// System errors without a Windows Sockets counterpart come back unchanged
// (below 10000, so they never pass for a Windows Sockets code).
int WSAGetLastError();

// The Windows Sockets code for a system error number; the one translation
// table. 0 stays 0.
int WsaErrorFromErrno(int error);

namespace win {

// recvfrom as Windows Sockets does it: a datagram longer than the buffer is
// taken off the socket and reported as an error (WSAEMSGSIZE), rather than
// handed over cut short.
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength);

// bind as Windows Sockets does it for IPv4: 255.255.255.255, which inet_addr
// also gives for a text that is no address, is no address of this host and
// is refused (WSAEADDRNOTAVAIL); the system here would accept it.
int bind(SOCKET s, const sockaddr* address, socklen_t length);

// setsockopt as Windows Sockets does it for IPv4 datagram sockets:
// SO_DONTROUTE is accepted and has no effect, so a gateway behind a router
// stays reachable; the system here would refuse to route.
int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length);

}  // namespace win

// Fault seam for tests: while set, WSAStartup refuses with WSASYSNOTREADY.
// The program itself never sets it.
struct WsockFaults {
    BOOL bFailStartup = FALSE;
};
extern WsockFaults g_wsockFaults;

#endif  // _WIN32
