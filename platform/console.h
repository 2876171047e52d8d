// Stands in for SetConsoleCtrlHandler (posix.cpp): Ctrl-C and the end of the session, here
// SIGINT and SIGTERM, call the handler on a thread of its own. On Windows: the system's.
#pragma once

#include "platform/wintypes.h"

#ifndef _WIN32
#define WINAPI
#define CTRL_C_EVENT 0u
#define CTRL_CLOSE_EVENT 2u  // SIGTERM

typedef BOOL (*PHANDLER_ROUTINE)(DWORD ctrlType);

// Adds (add TRUE) or removes the one handler. It blocks SIGINT and SIGTERM in the calling
// thread, so install it before other threads start (they inherit the mask); a watcher thread
// calls the handler. Removal joins it and restores the mask. FALSE when the call does not fit.
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add);
#endif
