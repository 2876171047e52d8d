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
    bool noWait = false;       // pipe end in PIPE_NOWAIT mode
    bool manualReset = true;   // event
    int socket = -1;           // event tied to a socket by WSAEventSelect
    // Thread: set once it has returned. A wait that saw the descriptor ready
    // reads it, so that all the thread did happens before the wait's end
    // (as on Windows), also for the thread sanitizer, which sees no order in poll.
    std::atomic<bool> ended{false};
    std::thread thread;
};

inline KernelObject* AsKernelObject(void* handle, KernelObject::Kind kind) {
    KernelObject* object = static_cast<KernelObject*>(handle);
    return object && object->kind == kind ? object : nullptr;
}

// The descriptor that poll watches for a waitable handle (an event, a
// thread, an event tied to a socket); -1 for anything else.
int WaitDescriptor(void* handle);
// After poll found the descriptor readable: takes an auto-reset event's
// signal. false when another waiter took it first.
bool TakeSignal(void* handle);
