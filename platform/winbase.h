// Stands in for the kernel calls: anonymous pipes, threads, events, waits, Sleep and
// SetConsoleCtrlHandler. A HANDLE is a pipe end, thread or event; its creator closes it.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32
#include <cstddef>

typedef struct SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID parameter);

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define PIPE_NOWAIT 0x00000001u

// A pipe no exec inherits, of the system's size; FALSE, both null, when refused. Writing
// with the reader gone fails, raising no signal.
BOOL CreatePipe(HANDLE* readPipe, HANDLE* writePipe, LPSECURITY_ATTRIBUTES attributes, DWORD size);
// Only the count of bytes waiting (*totalBytesAvail).
BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD bytesRead, LPDWORD totalBytesAvail,
                   LPDWORD bytesLeftThisMessage);
// Waits for a byte, then takes up to toRead. FALSE, 0 read, on failure or with every writer gone.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead, LPVOID overlapped);
// Writes all, waiting while the pipe is full; with PIPE_NOWAIT what fits now (TRUE, maybe 0).
// FALSE when the pipe fails (reader gone); *bytesWritten then holds what went in.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, LPDWORD bytesWritten, LPVOID overlapped);
BOOL SetNamedPipeHandleState(HANDLE pipe, LPDWORD mode, LPDWORD maxCollectionCount,
                             LPDWORD collectDataTimeout);
// A thread's handle only once the thread has ended (the program always waits for it first).
BOOL CloseHandle(HANDLE object);
// Runs start(parameter) on a new thread. Its handle, or null when none could be made.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId);
// Any thread sets and waits. A manual-reset event stays set until ResetEvent, an auto-reset
// one until a wait ends on it. Null when none could be made.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Until the thread has ended or the event is set, at most milliseconds (or INFINITE).
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
void Sleep(DWORD milliseconds);

#define WINAPI
#define CTRL_C_EVENT 0u
#define CTRL_CLOSE_EVENT 2u  // SIGTERM
typedef BOOL (*PHANDLER_ROUTINE)(DWORD ctrlType);
// Ctrl-C and the end of the session (SIGINT, SIGTERM) call the one handler (add TRUE) on a
// watcher thread. It blocks both signals in the calling thread, so install it before other
// threads start (they inherit the mask); removal joins the watcher and restores the mask.
// FALSE when the call does not fit.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
#endif
