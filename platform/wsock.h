// Stands in for WSAStartup, WSACleanup, closesocket, WSAGetLastError, WSAEventSelect,
// WSAWaitForMultipleEvents, and (namespace win) bind, recvfrom, setsockopt, gethostbyname.
#pragma once

#include "platform/wintypes.h"

#ifdef _WIN32
#include <ws2tcpip.h>

// Windows itself refuses to bind 255.255.255.255, reports a too-long datagram as WSAEMSGSIZE and
// ignores SO_DONTROUTE: the system's calls, so that the program reads alike on both.
namespace win {
using ::bind;
using ::gethostbyname;
using ::hostent;
using ::recvfrom;
inline int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length)
{
    return ::setsockopt(s, level, name, static_cast<const char*>(value), length);
}
}  // namespace win
#else
#include <arpa/inet.h>  // with the socket calls and addresses

#include <atomic>
#include <unistd.h>     // gethostname

typedef int SOCKET;
typedef HANDLE WSAEVENT;
typedef struct WSAData {
} WSADATA;  // the program reads none of it

#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)
#define MAKEWORD(low, high) static_cast<WORD>((low) | (high) << 8)
#define FD_READ 0x01
#define WSA_WAIT_EVENT_0 0x00000000u
#define WSA_WAIT_TIMEOUT 0x00000102u
#define WSA_WAIT_FAILED 0xFFFFFFFFu
#define WSASYSNOTREADY 10091

// 0 or a Windows Sockets code; each success owes one WSACleanup.
int WSAStartup(WORD versionRequested, WSADATA* data);
int WSACleanup();
int closesocket(SOCKET s);
// Ties a manual-reset event to s: set while a datagram waits (FD_READ); 0 unties.
int WSAEventSelect(SOCKET s, WSAEVENT event, long networkEvents);
// Until one of count (1 to 4) events is set, at most timeoutMs: WSA_WAIT_EVENT_0 + the first set
// one's index (clearing an auto-reset event), WSA_WAIT_TIMEOUT or WSA_WAIT_FAILED. Flags FALSE.
DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL waitAll, DWORD timeoutMs,
                               BOOL alertable);
// This thread's last socket failure as a Windows Sockets code, through the one translation
// table; errors without one stay as they are (below 10000), 0 stays 0.
int WSAGetLastError();

namespace win {
// A datagram longer than the buffer is taken off and reported as WSAEMSGSIZE, not cut short.
int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength);
// Refuses 255.255.255.255 (also inet_addr's answer to no address) with WSAEADDRNOTAVAIL.
int bind(SOCKET s, const sockaddr* address, socklen_t length);
// Accepts SO_DONTROUTE with no effect, so that a gateway behind a router stays reachable.
int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length);
// For the host's own name (the resolver here would give loopback), as Windows answers it: the
// IPv4 addresses of the interfaces that are up, loopback excluded; null on failure. Valid until
// this thread's next call.
struct hostent {
    char** h_addr_list;  // 4-byte addresses in network byte order, null-terminated
};
hostent* gethostbyname(const char* name);
}  // namespace win

// Fault seam for tests: while bFailStartup is set, WSAStartup refuses with WSASYSNOTREADY; while
// nMissingAddressBinds is above 0, each bind counts it down and fails as for an address the host
// lacks (WSAEADDRNOTAVAIL).
struct WsockFaults {
    BOOL bFailStartup = FALSE;
    std::atomic<int> nMissingAddressBinds{0};
};
extern WsockFaults g_wsockFaults;
#endif
