// Windows Sockets over POSIX: start-up bookkeeping, the one table of error
// codes, the event wait, and the calls that behave differently here.
#include "platform/wsock.h"

#include <errno.h>
#include <poll.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/kernelobject.h"

WsockFaults g_wsockFaults;

namespace {

struct ErrnoMapping {
    int error;
    int wsaCode;
};

// System error numbers and the Windows Sockets codes of the same meaning
// (WSAEINTR 10004 ... WSAEHOSTUNREACH 10065: 10000 plus the BSD number).
// Where the system has two numbers for one condition, both are listed.
const ErrnoMapping kErrnoToWsa[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},          {EPERM, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},          {ENFILE, 10024},
    {EAGAIN, 10035},       {EWOULDBLOCK, 10035},     {EINPROGRESS, 10036},     {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},     {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {ENOMEM, 10055},          {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
};

}  // namespace

int WSAStartup(WORD, LPWSADATA data)
{
    if (g_wsockFaults.bFailStartup) return WSASYSNOTREADY;
    if (data) data->wVersion = data->wHighVersion = MAKEWORD(2, 2);
    return 0;
}

int WSACleanup() { return 0; }

int closesocket(SOCKET s) { return close(s); }

int WSAEventSelect(SOCKET s, WSAEVENT event, long networkEvents)
{
    KernelObject* object = AsKernelObject(event, KernelObject::kEvent);
    if (!object) return SOCKET_ERROR;
    object->socket = networkEvents & FD_READ ? s : -1;
    return 0;
}

DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL, DWORD timeoutMs, BOOL)
{
    pollfd waits[4];
    if (count == 0 || count > 4) return WSA_WAIT_FAILED;
    for (DWORD i = 0; i < count; ++i) waits[i] = {WaitDescriptor(events[i]), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs != INFINITE) {
            const auto left = deadline - std::chrono::steady_clock::now();
            wait = static_cast<int>(
                std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
        }
        const int result = poll(waits, count, wait);
        if (result == 0) return WSA_WAIT_TIMEOUT;
        if (result < 0 && errno != EINTR) return WSA_WAIT_FAILED;
        for (DWORD i = 0; result > 0 && i < count; ++i)
            if (waits[i].revents != 0 && TakeSignal(events[i])) return WSA_WAIT_EVENT_0 + i;
    }
}

int WsaErrorFromErrno(int error)
{
    for (const ErrnoMapping& mapping : kErrnoToWsa) {
        if (mapping.error == error) return mapping.wsaCode;
    }
    return error;
}

int WSAGetLastError() { return WsaErrorFromErrno(errno); }

namespace win {

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength)
{
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

int bind(SOCKET s, const sockaddr* address, socklen_t length)
{
    if (address && address->sa_family == AF_INET &&
        reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == INADDR_NONE) {
        errno = EADDRNOTAVAIL;
        return SOCKET_ERROR;
    }
    return ::bind(s, address, length);
}

int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length)
{
    if (level == SOL_SOCKET && name == SO_DONTROUTE) return 0;
    return ::setsockopt(s, level, name, value, length);
}

}  // namespace win
