// The calls of winbase.h and wsock.h over POSIX: pipe ends are descriptors, events and threads
// eventfds, so that one poll waits for them beside a socket.
#include <errno.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/winbase.h"
#include "platform/wsock.h"

WsockFaults g_wsockFaults;

namespace {

// The program passes each call a handle of the kind it takes (a pipe end, an event, a thread).
struct KernelObject {
    KernelObject(int fd, bool manualReset) : fd(fd), manualReset(manualReset) {}
    const int fd;  // a pipe end, else an eventfd readable while set (a thread's once it ended)
    const bool manualReset;
    int socket = -1;  // set by WSAEventSelect: the event is this socket's readability
    // Bumped before each signal and read by the wait that sees it, so that what the signaller
    // did before is visible to the waiter (a descriptor alone orders nothing for the compiler).
    std::atomic<unsigned> signals{0};
    std::thread thread;
};

// From the start, a write into a pipe whose reader is gone fails (EPIPE), as on Windows.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

KernelObject* K(HANDLE handle) { return static_cast<KernelObject*>(handle); }

KernelObject* Make(int fd, bool manual = true) { return fd < 0 ? nullptr : new KernelObject(fd, manual); }

// Takes the signal of an auto-reset event that poll found set; false when another waiter took it.
bool TakeSignal(KernelObject* object)
{
    object->signals.load(std::memory_order_acquire);
    std::uint64_t count;
    return object->manualReset || object->socket >= 0 ||
           read(object->fd, &count, sizeof count) == sizeof count;
}

// System error numbers and the Windows Sockets codes of the same meaning (10000 plus the BSD
// number); where the system has two numbers for one condition, both are listed.
const int kErrnoToWsa[][2] = {
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

BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES, DWORD)
{
    int fds[2];
    const bool made = pipe2(fds, O_CLOEXEC) == 0;
    *readPipe = made ? Make(fds[0]) : nullptr;
    *writePipe = made ? Make(fds[1]) : nullptr;
    return made;
}

BOOL PeekNamedPipe(HANDLE pipe, LPVOID, DWORD, LPDWORD, LPDWORD totalBytesAvail, LPDWORD)
{
    int waiting = 0;
    if (ioctl(K(pipe)->fd, FIONREAD, &waiting) != 0) return FALSE;
    *totalBytesAvail = static_cast<DWORD>(waiting);
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPVOID)
{
    ssize_t result;
    while ((result = read(K(file)->fd, buffer, toRead)) < 0 && errno == EINTR) {}
    *bytesRead = result > 0 ? static_cast<DWORD>(result) : 0;
    return result > 0;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD bytesWritten, LPVOID)
{
    for (*bytesWritten = 0; *bytesWritten < toWrite;) {
        const ssize_t result =
            write(K(file)->fd, static_cast<const char*>(buffer) + *bytesWritten, toWrite - *bytesWritten);
        if (result < 0 && errno == EINTR) continue;
        if (result < 0 && errno == EAGAIN) return TRUE;  // PIPE_NOWAIT and full
        if (result <= 0) return FALSE;
        *bytesWritten += static_cast<DWORD>(result);
    }
    return TRUE;
}

BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD, LPDWORD)
{
    const int flags = fcntl(K(pipe)->fd, F_GETFL);
    return flags >= 0 &&
           fcntl(K(pipe)->fd, F_SETFL, *mode & PIPE_NOWAIT ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

BOOL CloseHandle(HANDLE handle)
{
    if (K(handle)->thread.joinable()) K(handle)->thread.join();
    close(K(handle)->fd);
    delete K(handle);
    return TRUE;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD threadId)
{
    static std::atomic<DWORD> s_lastId{0};
    KernelObject* object = Make(eventfd(0, EFD_CLOEXEC));
    try {
        if (object)
            object->thread = std::thread([=] {
                start(parameter);
                SetEvent(object);
            });
    } catch (...) {
        CloseHandle(object);
        return nullptr;
    }
    if (object && threadId) *threadId = ++s_lastId;
    return object;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR)
{
    return Make(eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK), manualReset);
}

BOOL SetEvent(HANDLE event)
{
    K(event)->signals.fetch_add(1, std::memory_order_release);
    const std::uint64_t one = 1;
    while (write(K(event)->fd, &one, sizeof one) < 0 && errno == EINTR) {}
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    std::uint64_t count;
    while (read(K(event)->fd, &count, sizeof count) < 0 && errno == EINTR) {}
    return TRUE;
}

// The results have the same values.
DWORD WaitForSingleObject(HANDLE h, DWORD ms) { return WSAWaitForMultipleEvents(1, &h, FALSE, ms, FALSE); }

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int WSAStartup(WORD, WSADATA*) { return g_wsockFaults.bFailStartup ? WSASYSNOTREADY : 0; }

int WSACleanup() { return 0; }

int closesocket(SOCKET s) { return close(s); }

int WSAEventSelect(SOCKET s, WSAEVENT event, long networkEvents)
{
    K(event)->socket = networkEvents & FD_READ ? s : -1;
    return 0;
}

DWORD WSAWaitForMultipleEvents(DWORD count, const WSAEVENT* events, BOOL, DWORD timeoutMs, BOOL)
{
    using namespace std::chrono;
    pollfd waits[4];
    if (count == 0 || count > 4) return WSA_WAIT_FAILED;
    for (DWORD i = 0; i < count; ++i)
        waits[i] = {K(events[i])->socket >= 0 ? K(events[i])->socket : K(events[i])->fd, POLLIN, 0};
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        const int result = poll(waits, count, timeoutMs == INFINITE ? -1 : int(left < 0 ? 0 : left));
        if (result == 0) return WSA_WAIT_TIMEOUT;
        if (result < 0 && errno != EINTR) return WSA_WAIT_FAILED;
        for (DWORD i = 0; result > 0 && i < count; ++i)
            if (waits[i].revents != 0 && TakeSignal(K(events[i]))) return WSA_WAIT_EVENT_0 + i;
    }
}

int WSAGetLastError()
{
    for (const auto& mapping : kErrnoToWsa)
        if (mapping[0] == errno) return mapping[1];
    return errno;
}

int win::recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength)
{
    iovec part = {buffer, static_cast<size_t>(length < 0 ? 0 : length)};
    msghdr message = {from, fromLength ? *fromLength : 0, &part, 1, nullptr, 0, 0};
    const ssize_t received = recvmsg(s, &message, flags);
    if (received < 0) return SOCKET_ERROR;
    if (fromLength) *fromLength = message.msg_namelen;
    if (!(message.msg_flags & MSG_TRUNC)) return static_cast<int>(received);
    errno = EMSGSIZE;
    return SOCKET_ERROR;
}

int win::bind(SOCKET s, const sockaddr* address, socklen_t length)
{
    const bool missing = g_wsockFaults.nMissingAddressBinds.load() > 0 && g_wsockFaults.nMissingAddressBinds-- > 0;
    if (missing || (address && address->sa_family == AF_INET &&
                    reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr == INADDR_NONE)) {
        errno = EADDRNOTAVAIL;
        return SOCKET_ERROR;
    }
    return ::bind(s, address, length);
}

int win::setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length)
{
    return level == SOL_SOCKET && name == SO_DONTROUTE ? 0 : ::setsockopt(s, level, name, value, length);
}

win::hostent* win::gethostbyname(const char*)
{
    thread_local std::vector<in_addr> addresses;
    thread_local std::vector<char*> list;
    thread_local hostent entry;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return nullptr;
    addresses.clear();
    for (ifaddrs* it = interfaces; it; it = it->ifa_next)
        if (it->ifa_addr && it->ifa_addr->sa_family == AF_INET && (it->ifa_flags & IFF_UP) &&
            !(it->ifa_flags & IFF_LOOPBACK))
            addresses.push_back(reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr);
    freeifaddrs(interfaces);
    list.clear();
    for (in_addr& address : addresses) list.push_back(reinterpret_cast<char*>(&address));
    list.push_back(nullptr);
    entry.h_addr_list = list.data();
    return &entry;
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    static PHANDLER_ROUTINE s_handler = nullptr;
    static std::atomic<bool> s_leaving{false};
    static sigset_t s_signals, s_previous;
    static std::thread s_watcher;
    if (!handler || (add ? s_handler != nullptr : s_handler != handler)) return FALSE;
    if (!add) {
        s_leaving = true;  // the signal below only wakes the watcher
        pthread_kill(s_watcher.native_handle(), SIGTERM);
        s_watcher.join();
        pthread_sigmask(SIG_SETMASK, &s_previous, nullptr);
        s_handler = nullptr;
        return TRUE;
    }
    sigemptyset(&s_signals);
    sigaddset(&s_signals, SIGINT);
    sigaddset(&s_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &s_signals, &s_previous);
    s_handler = handler;
    s_leaving = false;
    s_watcher = std::thread([handler] {
        for (;;) {
            int signal = 0;
            if (sigwait(&s_signals, &signal) != 0) continue;
            if (s_leaving) return;
            handler(signal == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT);
        }
    });
    return TRUE;
}
