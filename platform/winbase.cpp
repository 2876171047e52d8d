// Pipes, threads and Sleep over POSIX descriptors and std::thread.
#include "platform/winbase.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

struct KernelObject {
    virtual ~KernelObject() = default;
};

struct PipeEnd : KernelObject {
    explicit PipeEnd(int descriptor) : fd(descriptor) {}
    ~PipeEnd() override { close(fd); }
    int fd;
    bool noWait = false;
};

// A waitable state: a thread's end or an event. Shared by a thread's handle
// and the running thread, so that either may go first.
struct Signal {
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
    bool manualReset = true;
};

struct WaitableObject : KernelObject {
    std::shared_ptr<Signal> signal;
};

struct ThreadObject : WaitableObject {
    std::thread thread;
};

struct EventObject : WaitableObject {};

PipeEnd* AsPipe(HANDLE handle) {
    return dynamic_cast<PipeEnd*>(static_cast<KernelObject*>(handle));
}

ThreadObject* AsThread(HANDLE handle) {
    return dynamic_cast<ThreadObject*>(static_cast<KernelObject*>(handle));
}

WaitableObject* AsWaitable(HANDLE handle) {
    return dynamic_cast<WaitableObject*>(static_cast<KernelObject*>(handle));
}

void Raise(Signal& signal, bool set) {
    std::lock_guard<std::mutex> guard(signal.lock);
    signal.set = set;
    if (set) signal.changed.notify_all();
}

// A write into a pipe whose reader is gone must fail, not kill the process:
// SIGPIPE is held back on this thread for the write and, if the write
// raised it, taken off again before the mask is restored.
ssize_t WriteWithoutSigpipe(int fd, const void* data, size_t length) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE) == 1;

    ssize_t result;
    do {
        result = write(fd, data, length);
    } while (result < 0 && errno == EINTR);

    if (result < 0 && errno == EPIPE && !wasPending) {
        const int savedErrno = errno;
        const timespec noWait = {0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &noWait) < 0 && errno == EINTR) {
        }
        errno = savedErrno;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result;
}

std::atomic<DWORD> g_nextThreadId{1};

}  // namespace

BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES, DWORD) {
    *readPipe = nullptr;
    *writePipe = nullptr;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return FALSE;
    PipeEnd* reader = new (std::nothrow) PipeEnd(fds[0]);
    PipeEnd* writer = new (std::nothrow) PipeEnd(fds[1]);
    if (!reader || !writer) {
        if (reader) delete reader; else close(fds[0]);
        if (writer) delete writer; else close(fds[1]);
        return FALSE;
    }
    *readPipe = static_cast<KernelObject*>(reader);
    *writePipe = static_cast<KernelObject*>(writer);
    return TRUE;
}

BOOL PeekNamedPipe(HANDLE pipe, LPVOID, DWORD, LPDWORD bytesRead, LPDWORD totalBytesAvail,
                   LPDWORD bytesLeftThisMessage) {
    PipeEnd* end = AsPipe(pipe);
    if (!end) return FALSE;
    int waiting = 0;
    if (ioctl(end->fd, FIONREAD, &waiting) != 0 || waiting < 0) return FALSE;
    if (bytesRead) *bytesRead = 0;
    if (totalBytesAvail) *totalBytesAvail = static_cast<DWORD>(waiting);
    if (bytesLeftThisMessage) *bytesLeftThisMessage = 0;
    return TRUE;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPVOID) {
    if (bytesRead) *bytesRead = 0;
    PipeEnd* end = AsPipe(file);
    if (!end) return FALSE;
    ssize_t result;
    do {
        result = read(end->fd, buffer, toRead);
    } while (result < 0 && errno == EINTR);
    if (result <= 0) return FALSE;
    if (bytesRead) *bytesRead = static_cast<DWORD>(result);
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD bytesWritten, LPVOID) {
    if (bytesWritten) *bytesWritten = 0;
    PipeEnd* end = AsPipe(file);
    if (!end) return FALSE;
    const char* next = static_cast<const char*>(buffer);
    DWORD done = 0;
    while (done < toWrite) {
        ssize_t result = WriteWithoutSigpipe(end->fd, next + done, toWrite - done);
        if (result < 0 && end->noWait && (errno == EAGAIN || errno == EWOULDBLOCK)) return TRUE;
        if (result <= 0) break;
        done += static_cast<DWORD>(result);
        if (bytesWritten) *bytesWritten = done;
    }
    return done == toWrite ? TRUE : FALSE;
}

BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD, LPDWORD) {
    PipeEnd* end = AsPipe(pipe);
    if (!end || !mode) return FALSE;
    const int flags = fcntl(end->fd, F_GETFL);
    const bool noWait = (*mode & PIPE_NOWAIT) != 0;
    if (flags < 0 || fcntl(end->fd, F_SETFL, noWait ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0)
        return FALSE;
    end->noWait = noWait;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    if (!object) return FALSE;
    KernelObject* kernelObject = static_cast<KernelObject*>(object);
    if (ThreadObject* thread = AsThread(object)) {
        bool ended;
        {
            std::lock_guard<std::mutex> guard(thread->signal->lock);
            ended = thread->signal->set;
        }
        // An ended thread is joined so that nothing of it remains; a running
        // one goes on by itself, as closing a handle does not end a thread.
        if (ended) thread->thread.join();
        else thread->thread.detach();
    }
    delete kernelObject;
    return TRUE;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, std::size_t, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD, LPDWORD threadId) {
    ThreadObject* object = new (std::nothrow) ThreadObject;
    if (!object) return nullptr;
    try {
        object->signal = std::make_shared<Signal>();
        std::shared_ptr<Signal> ended = object->signal;
        object->thread = std::thread([start, parameter, ended] {
            start(parameter);
            Raise(*ended, true);
        });
    } catch (const std::exception&) {
        delete object;
        return nullptr;
    }
    if (threadId) *threadId = g_nextThreadId.fetch_add(1);
    return static_cast<KernelObject*>(object);
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    EventObject* object = new (std::nothrow) EventObject;
    if (!object) return nullptr;
    object->signal = std::make_shared<Signal>();
    object->signal->manualReset = manualReset != FALSE;
    object->signal->set = initialState != FALSE;
    return static_cast<KernelObject*>(object);
}

BOOL SetEvent(HANDLE event) {
    WaitableObject* object = AsWaitable(event);
    if (!object || AsThread(event)) return FALSE;
    Raise(*object->signal, true);
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    WaitableObject* object = AsWaitable(event);
    if (!object || AsThread(event)) return FALSE;
    Raise(*object->signal, false);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    WaitableObject* waitable = AsWaitable(object);
    if (!waitable) return WAIT_FAILED;
    Signal& signal = *waitable->signal;
    std::unique_lock<std::mutex> guard(signal.lock);
    const auto isSet = [&signal] { return signal.set; };
    if (milliseconds == INFINITE) signal.changed.wait(guard, isSet);
    else if (!signal.changed.wait_for(guard, std::chrono::milliseconds(milliseconds), isSet))
        return WAIT_TIMEOUT;
    if (!signal.manualReset) signal.set = false;
    return WAIT_OBJECT_0;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int PipeDescriptor(HANDLE pipe) {
    PipeEnd* end = AsPipe(pipe);
    return end ? end->fd : -1;
}
