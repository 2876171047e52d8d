// Stands in for CWinApp, AfxWinInit, AfxSocketInit, AfxMessageBox, GetModuleHandleA and
// GetCommandLineA, for a console process: a message box goes to standard error, answered OK.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

struct WSAData;

#define MB_OK 0x00000000u
#define IDOK 1

class CWinApp {};  // the program makes one and reads nothing of it

#ifndef _WIN32
inline HMODULE GetModuleHandleA(LPCSTR) { return nullptr; }  // only AfxWinInit takes it, and ignores it
inline LPSTR GetCommandLineA() { return nullptr; }           // likewise
#endif

// TRUE. Main thread, once, before other framework calls. On Windows it sets standard output
// and error to binary, so that a line ends in a bare LF there too.
BOOL AfxWinInit(HINSTANCE instance, HINSTANCE prevInstance, LPSTR cmdLine, int cmdShow);

// WSAStartup, kept until the process ends; wsaData may be null. TRUE on success.
BOOL AfxSocketInit(WSAData* wsaData = nullptr);

// Writes "<program name>: <text>" and a line feed to standard error; IDOK.
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
