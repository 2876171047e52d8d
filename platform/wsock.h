// Windows Sockets names over the POSIX socket calls. The socket functions
// themselves (socket, bind, poll, sendto, ...) are the system's; what the
// original platform does differently is supplied here. poll rather than
// select: it can wait on a socket and a pipe together, whatever their
// descriptor numbers.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>

#include "platform/wintypes.h"

typedef int SOCKET;
#define INVALID_SOCKET (-1)
#define SOCKET_ERROR (-1)

#ifndef MAKEWORD
#define MAKEWORD(low, high) (static_cast<WORD>((static_cast<BYTE>(low)) | (static_cast<WORD>(static_cast<BYTE>(high)) << 8)))
#endif

struct WSAData {
    WORD wVersion;
    WORD wHighVersion;
};
typedef WSAData WSADATA;
typedef WSAData* LPWSADATA;

// Windows Sockets error codes, as WSAGetLastError gives them.
enum : int {
    WSAEINTR = 10004,
    WSAEBADF = 10009,
    WSAEACCES = 10013,
    WSAEFAULT = 10014,
    WSAEINVAL = 10022,
    WSAEMFILE = 10024,
    WSAEWOULDBLOCK = 10035,
    WSAEINPROGRESS = 10036,
    WSAEALREADY = 10037,
    WSAENOTSOCK = 10038,
    WSAEDESTADDRREQ = 10039,
    WSAEMSGSIZE = 10040,
    WSAEPROTOTYPE = 10041,
    WSAENOPROTOOPT = 10042,
    WSAEPROTONOSUPPORT = 10043,
    WSAESOCKTNOSUPPORT = 10044,
    WSAEOPNOTSUPP = 10045,
    WSAEPFNOSUPPORT = 10046,
    WSAEAFNOSUPPORT = 10047,
    WSAEADDRINUSE = 10048,
    WSAEADDRNOTAVAIL = 10049,
    WSAENETDOWN = 10050,
    WSAENETUNREACH = 10051,
    WSAENETRESET = 10052,
    WSAECONNABORTED = 10053,
    WSAECONNRESET = 10054,
    WSAENOBUFS = 10055,
    WSAEISCONN = 10056,
    WSAENOTCONN = 10057,
    WSAESHUTDOWN = 10058,
    WSAETOOMANYREFS = 10059,
    WSAETIMEDOUT = 10060,
    WSAECONNREFUSED = 10061,
    WSAELOOP = 10062,
    WSAENAMETOOLONG = 10063,
    WSAEHOSTDOWN = 10064,
    WSAEHOSTUNREACH = 10065,
    WSASYSNOTREADY = 10091,
    WSAVERNOTSUPPORTED = 10092,
    WSANOTINITIALISED = 10093,
};

// Starts the socket library for one user; each successful call is matched
// by one WSACleanup. 0 on success, else a Windows Sockets code (the library
// offers version 2.2 and refuses requests below 1.0).
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();

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
