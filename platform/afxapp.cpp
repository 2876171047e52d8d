// The start-up calls, the message box and CString::Format, for a console process.
#include "platform/afxapp.h"

#include <errno.h>

#include <cstdarg>
#include <cstdio>

#include "platform/wsock.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int)
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    return TRUE;
}

BOOL AfxSocketInit(WSADATA* wsaData)
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), wsaData ? wsaData : &data) == 0;
}

// The caption is the program file's name without folder or extension, as the framework names an
// application not named otherwise.
int AfxMessageBox(LPCTSTR text, UINT, UINT)
{
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, length < sizeof path ? length : 0);
    name = name.substr(name.find_last_of("\\/") + 1);
    name = name.substr(0, name.find_last_of('.'));
#else
    const std::string name = program_invocation_short_name;
#endif
    std::fprintf(stderr, "%s: %s\n", name.c_str(), text ? text : "");  // stderr is unbuffered
    return IDOK;
}

// The text's length is measured first, so any length fits.
void CString::Format(const char* format, ...)
{
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    std::vsnprintf(&out[0], out.size() + 1, format, args);
    va_end(args);
    swap(out);
}
