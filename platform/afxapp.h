// Stands in for CWinApp, AfxWinInit, AfxSocketInit and AfxMessageBox, and GetModuleHandleA and
// GetCommandLineA, for a console process: a message box goes to standard error, answered OK.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

struct WSAData;

#define MB_OK 0x00000000u
#define IDOK 1

// The application object: constructing it makes it the current one (at most one exists).
class CWinApp {
public:
    explicit CWinApp(LPCTSTR appName = nullptr);
    virtual ~CWinApp();

    CString m_strAppName;  // without a name given, the program's, from AfxWinInit on
};

#ifndef _WIN32
inline HMODULE GetModuleHandleA(LPCSTR) { return nullptr; }  // only AfxWinInit takes it, and ignores it
inline LPSTR GetCommandLineA() { return nullptr; }           // likewise
#endif

// Names an unnamed current application; TRUE. Main thread, once, before other framework
// calls. On Windows it sets standard output and error to binary: a line ends in a bare LF.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);

// WSAStartup, kept until the process ends; wsaData may be null. TRUE on success.
BOOL AfxSocketInit(WSAData* wsaData = nullptr);

// Writes "<application name>: <text>" and a line feed to standard error; IDOK.
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
