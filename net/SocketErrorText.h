// Short fixed texts for Windows Sockets error codes, for console lines.
#pragma once

#include "platform/afxstring.h"

// The text of code as WSAGetLastError gives it; "undefined socket error"
// for any code not known. No state; any thread.
CString SocketErrorText(int code);
