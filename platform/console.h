// Stands in for SetConsoleCtrlHandler: the console's Ctrl-C and its end of
// session reach the program as a call of its handler on a thread of its own.
// Here those are SIGINT and SIGTERM; on Windows the call is the system's.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32

#define WINAPI
#define CTRL_C_EVENT 0u
#define CTRL_CLOSE_EVENT 2u  // stands for SIGTERM

typedef BOOL (*PHANDLER_ROUTINE)(DWORD ctrlType);

// Adds handler (add TRUE) or removes it (add FALSE); one handler at a time.
// While one is installed, SIGINT and SIGTERM are blocked in the thread that
// installed it and taken by a watcher thread, which calls the handler with
// CTRL_C_EVENT or CTRL_CLOSE_EVENT. Install it before any other thread
// starts, so that every thread inherits the blocked signals; the removal
// waits for the watcher and restores the signal mask. FALSE when the call
// does not fit (a second handler, removing one that is not installed).
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);

#endif  // !_WIN32
