// Inside the platform layer only: what a HANDLE points to here. Pipe ends,
// events and threads are each one descriptor, so that any of them can be
// waited for with poll, beside a socket.
#pragma once

#include <atomic>
#include <thread>

struct KernelObject {
    enum Kind { kPipe, kEvent, kThread };
    Kind kind;
    // A pipe end; for an event or a thread an eventfd that is readable while
    // the event is set or once the thread has ended.
    int fd = -1;
    bool noWait = false;      // pipe end in PIPE_NOWAIT mode
    bool manualReset = true;  // event
    int socket = -1;          // event tied to a socket by WSAEventSelect
    // Bumped (release) before each signal and read (acquire) by a wait that
    // sees it, so that what the signaller did before is visible to the
    // waiter (a descriptor alone carries no such ordering for the compiler
    // or for ThreadSanitizer).
    std::atomic<unsigned> signals{0};
    std::thread thread;
};

inline KernelObject* AsKernelObject(void* handle, KernelObject::Kind kind)
{
    KernelObject* object = static_cast<KernelObject*>(handle);
    return object && object->kind == kind ? object : nullptr;
}

// The descriptor that poll watches for a waitable handle (an event, a
// thread, an event tied to a socket); -1 for anything else.
int WaitDescriptor(void* handle);
// After poll found the descriptor readable: takes an auto-reset event's
// signal. false when another waiter took it first.
bool TakeSignal(void* handle);
