// Stands in for the kernel calls the program makes: anonymous pipes, threads,
// events, waits and Sleep. A HANDLE is one pipe end, thread or event; null is
// none. Each handle is released with CloseHandle by whoever created it.
// On Windows these are the system's calls.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

#include <cstddef>

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu

// Makes an anonymous byte-stream pipe; neither end survives exec. The size
// hint is ignored (the system's default capacity is used). FALSE and both
// handles null when the system refuses. A write into a pipe whose reader is
// gone fails; it never raises a signal.
BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES attributes, DWORD size);

// Bytes waiting in a pipe's read end, without removing any. Only the count
// in *totalBytesAvail is supported; buffer must be null and size 0. FALSE
// when the handle is no pipe end or the system cannot say.
BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD bytesRead, LPDWORD totalBytesAvail,
                   LPDWORD bytesLeftThisMessage);

// One read from a pipe end: blocks until at least one byte waits, then takes
// up to toRead. FALSE (and 0 read) on failure or when every writer is gone.
// Any thread may call it.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPVOID overlapped);

// Writes all bytes, waiting while the pipe is full; in no-wait mode (below)
// it takes what fits at once and returns TRUE with that count, 0 when full.
// FALSE when the pipe fails, e.g. its read end is closed; *bytesWritten then
// holds what went in.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD bytesWritten, LPVOID overlapped);

#define PIPE_WAIT 0x00000000u
#define PIPE_NOWAIT 0x00000001u

// Sets the wait mode of a pipe end (*mode PIPE_WAIT or PIPE_NOWAIT); the
// other two arguments must be null. FALSE for a handle that is no pipe end.
BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD maxCollectionCount,
                             LPDWORD collectDataTimeout);

// Releases a pipe end, event or thread handle. A thread's handle is closed
// only after the thread has ended (the program always waits for it first).
BOOL CloseHandle(HANDLE object);

// Starts start(parameter) on a new thread at once. Attributes, stack size
// and flags must be null/0. Returns the thread's handle (id in *threadId
// when given), or null when no thread could be made.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);

// An event that any thread may set and wait for. Attributes and name must be
// null. A manual-reset event stays set until ResetEvent; an auto-reset one is
// cleared by the wait that it ends. Null when none could be made.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits until a thread has ended or an event is set, at most milliseconds
// (INFINITE: no bound). WAIT_OBJECT_0 when so, WAIT_TIMEOUT when not yet,
// WAIT_FAILED for a handle that is neither.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);

// Suspends the calling thread for the given real time.
void Sleep(DWORD milliseconds);

#endif  // !_WIN32
