// Windows Sockets names over POSIX: start-up bookkeeping, error codes and
// the datagram receive of the original platform.
#include "platform/wsock.h"

#include <errno.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

WsockFaults g_wsockFaults;

namespace {

struct ErrnoMapping {
    int error;
    int wsaCode;
};

// System error numbers and the Windows Sockets codes of the same meaning.
// Where the system has two numbers for one condition, both are listed.
const ErrnoMapping kErrnoToWsa[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
};

const WORD kOfferedVersion = MAKEWORD(2, 2);

}  // namespace

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    if (g_wsockFaults.bFailStartup) return WSASYSNOTREADY;
    if ((versionRequested & 0xFF) < 1) return WSAVERNOTSUPPORTED;
    // The answer is the lower of what was asked and what is offered,
    // compared as major.minor.
    const int asked = ((versionRequested & 0xFF) << 8) | (versionRequested >> 8);
    const int offered = ((kOfferedVersion & 0xFF) << 8) | (kOfferedVersion >> 8);
    if (data) {
        data->wVersion = asked < offered ? versionRequested : kOfferedVersion;
        data->wHighVersion = kOfferedVersion;
    }
    return 0;
}

int WSACleanup() { return 0; }

int closesocket(SOCKET s) { return close(s); }

int WsaErrorFromErrno(int error) {
    for (const ErrnoMapping& mapping : kErrnoToWsa) {
        if (mapping.error == error) return mapping.wsaCode;
    }
    return error;
}

int WSAGetLastError() { return WsaErrorFromErrno(errno); }

namespace win {

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength) {
    iovec part = {buffer, static_cast<size_t>(length < 0 ? 0 : length)};
    msghdr message;
    memset(&message, 0, sizeof message);
    message.msg_name = from;
    message.msg_namelen = fromLength ? *fromLength : 0;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t received = recvmsg(s, &message, flags);
    if (received < 0) return SOCKET_ERROR;
    if (fromLength) *fromLength = message.msg_namelen;
    if (message.msg_flags & MSG_TRUNC) {
        errno = EMSGSIZE;
        return SOCKET_ERROR;
    }
    return static_cast<int>(received);
}

int bind(SOCKET s, const sockaddr* address, socklen_t length) {
    if (address && address->sa_family == AF_INET &&
        reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == INADDR_NONE) {
        errno = EADDRNOTAVAIL;
        return SOCKET_ERROR;
    }
    return ::bind(s, address, length);
}

int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length) {
    if (level == SOL_SOCKET && name == SO_DONTROUTE) return 0;
    return ::setsockopt(s, level, name, value, length);
}

}  // namespace win
