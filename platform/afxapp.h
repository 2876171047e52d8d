// Stands in for the framework's CWinApp, AfxWinInit, AfxSocketInit and
// AfxMessageBox, and for GetModuleHandleA and GetCommandLineA, for a console
// process. There is no GUI: a message box is written to standard error and
// answered as if OK had been pressed.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

struct WSAData;

#define MB_OK 0x00000000u
#define IDOK 1

// The application object. Constructing one makes it the process's current
// application; at most one exists. Without a name it takes the program's
// module name when AfxWinInit runs, and that name is the message boxes'
// caption.
class CWinApp {
public:
    explicit CWinApp(LPCTSTR appName = nullptr);
    virtual ~CWinApp();

    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    CString m_strAppName;  // empty until AfxWinInit when constructed without a name
};

#ifndef _WIN32  // Windows has both
// Handle of the program's own module when name is null; null for any other
// name (the program loads no modules of its own).
HMODULE GetModuleHandleA(LPCSTR name);

// The process's command line as one text. The program only hands it to
// AfxWinInit, which keeps nothing of it, so it is empty here.
LPSTR GetCommandLineA();
#endif

// Initialises the framework for this process and names the current
// application object, if there is one and it has no name. TRUE on success.
// Main thread, once, before any other framework call. On Windows it also
// puts standard output and error in binary mode, so that the program writes
// the same bytes there as elsewhere (a line ends in a bare line feed).
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);

// Initialises the framework's socket support; wsaData may be null. POSIX
// sockets need no start-up, so this succeeds; on Windows it starts Windows
// Sockets (kept until the process ends).
BOOL AfxSocketInit(WSAData* wsaData = nullptr);

// Shows text as a modal box: writes "<caption>: <text>" and a line feed to
// standard error, where the caption is the application's name. Returns
// IDOK. type and helpId are accepted and have no effect.
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
