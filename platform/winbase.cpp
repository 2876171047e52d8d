// Stands in for CreatePipe, PeekNamedPipe, ReadFile, WriteFile,
// SetNamedPipeHandleState, CreateThread, CreateEventA, SetEvent, ResetEvent,
// WaitForSingleObject, CloseHandle and Sleep, over POSIX descriptors.
#include "platform/winbase.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cstdint>
#include <new>

#include "platform/kernelobject.h"
#include "platform/wsock.h"

namespace {

// A write into a pipe whose reader is gone fails with EPIPE, as on the
// original platform, instead of ending the process.
const bool kSigpipeIgnored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

std::atomic<DWORD> g_nextThreadId{1};

KernelObject* NewObject(KernelObject::Kind kind, int fd)
{
    KernelObject* object = new (std::nothrow) KernelObject;
    if (!object) {
        close(fd);
        return nullptr;
    }
    object->kind = kind;
    object->fd = fd;
    return object;
}

void Signal(KernelObject* object)
{
    object->signals.fetch_add(1, std::memory_order_release);
    const std::uint64_t one = 1;
    while (write(object->fd, &one, sizeof one) < 0 && errno == EINTR) {}
}

}  // namespace

int WaitDescriptor(void* handle)
{
    KernelObject* object = static_cast<KernelObject*>(handle);
    if (!object || object->kind == KernelObject::kPipe) return -1;
    return object->socket >= 0 ? object->socket : object->fd;
}

bool TakeSignal(void* handle)
{
    KernelObject* object = static_cast<KernelObject*>(handle);
    object->signals.load(std::memory_order_acquire);
    if (object->kind != KernelObject::kEvent || object->manualReset || object->socket >= 0) return true;
    std::uint64_t count;
    return read(object->fd, &count, sizeof count) == sizeof count;
}

BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES, DWORD)
{
    (void)kSigpipeIgnored;
    *readPipe = *writePipe = nullptr;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return FALSE;
    KernelObject* reader = NewObject(KernelObject::kPipe, fds[0]);
    KernelObject* writer = NewObject(KernelObject::kPipe, fds[1]);
    if (!reader || !writer) {
        delete reader;
        delete writer;
        return FALSE;
    }
    *readPipe = reader;
    *writePipe = writer;
    return TRUE;
}

BOOL PeekNamedPipe(HANDLE pipe, LPVOID, DWORD, LPDWORD bytesRead, LPDWORD totalBytesAvail,
                   LPDWORD bytesLeftThisMessage)
{
    KernelObject* end = AsKernelObject(pipe, KernelObject::kPipe);
    int waiting = 0;
    if (!end || ioctl(end->fd, FIONREAD, &waiting) != 0 || waiting < 0) return FALSE;
    if (bytesRead) *bytesRead = 0;
    if (totalBytesAvail) *totalBytesAvail = static_cast<DWORD>(waiting);
    if (bytesLeftThisMessage) *bytesLeftThisMessage = 0;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPVOID)
{
    if (bytesRead) *bytesRead = 0;
    KernelObject* end = AsKernelObject(file, KernelObject::kPipe);
    if (!end) return FALSE;
    ssize_t result;
    do {
        result = read(end->fd, buffer, toRead);
    } while (result < 0 && errno == EINTR);
    if (result <= 0) return FALSE;
    if (bytesRead) *bytesRead = static_cast<DWORD>(result);
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD bytesWritten, LPVOID)
{
    if (bytesWritten) *bytesWritten = 0;
    KernelObject* end = AsKernelObject(file, KernelObject::kPipe);
    if (!end) return FALSE;
    const char* next = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        const ssize_t result = write(end->fd, next + done, toWrite - done);
        if (result < 0 && errno == EINTR) continue;
        if (result < 0 && end->noWait && errno == EAGAIN) return TRUE;
        if (result <= 0) return FALSE;
        done += static_cast<DWORD>(result);
        if (bytesWritten) *bytesWritten = done;
    }
    return TRUE;
}

BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD, LPDWORD)
{
    KernelObject* end = AsKernelObject(pipe, KernelObject::kPipe);
    const int flags = end ? fcntl(end->fd, F_GETFL) : -1;
    if (!mode || flags < 0) return FALSE;
    end->noWait = (*mode & PIPE_NOWAIT) != 0;
    return fcntl(end->fd, F_SETFL, end->noWait ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD threadId)
{
    const int ended = eventfd(0, EFD_CLOEXEC);
    KernelObject* object = ended >= 0 ? NewObject(KernelObject::kThread, ended) : nullptr;
    if (!object) return nullptr;
    try {
        object->thread = std::thread([start, parameter, object] {
            start(parameter);
            Signal(object);
        });
    } catch (const std::exception&) {
        close(ended);
        delete object;
        return nullptr;
    }
    if (threadId) *threadId = g_nextThreadId.fetch_add(1);
    return object;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR)
{
    const int fd = eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    KernelObject* object = fd >= 0 ? NewObject(KernelObject::kEvent, fd) : nullptr;
    if (object) object->manualReset = manualReset != FALSE;
    return object;
}

BOOL SetEvent(HANDLE event)
{
    KernelObject* object = AsKernelObject(event, KernelObject::kEvent);
    if (!object) return FALSE;
    Signal(object);
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    KernelObject* object = AsKernelObject(event, KernelObject::kEvent);
    if (!object) return FALSE;
    std::uint64_t count;
    while (read(object->fd, &count, sizeof count) < 0 && errno == EINTR) {}
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds)
{
    if (WaitDescriptor(object) < 0) return WAIT_FAILED;
    const DWORD result = WSAWaitForMultipleEvents(1, &object, FALSE, milliseconds, FALSE);
    return result == WSA_WAIT_EVENT_0 ? WAIT_OBJECT_0 : result;
}

// The product closes a thread's handle only once the thread has ended.
BOOL CloseHandle(HANDLE handle)
{
    KernelObject* object = static_cast<KernelObject*>(handle);
    if (!object) return FALSE;
    if (object->thread.joinable()) object->thread.join();
    close(object->fd);
    delete object;
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
