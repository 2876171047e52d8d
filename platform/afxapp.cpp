// The framework's application object, start-up calls and message box for a
// console process.
#include "platform/afxapp.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

namespace {

CWinApp* g_pCurrentApp = nullptr;

// The module's file name without its folder (and on Windows without its
// extension), as the framework derives an unnamed application's name from it.
CString ModuleBaseName()
{
    char path[4096];
#ifdef _WIN32
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return CString();
    std::string name(path, length);
    name = name.substr(name.find_last_of("\\/") + 1);
    return CString(name.substr(0, name.find_last_of('.')));
#else
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return CString();
    std::string name(path, static_cast<size_t>(length));
    return CString(name.substr(name.find_last_of('/') + 1));
#endif
}

}  // namespace

CWinApp::CWinApp(LPCTSTR appName) : m_strAppName(appName) { g_pCurrentApp = this; }

CWinApp::~CWinApp()
{
    if (g_pCurrentApp == this) g_pCurrentApp = nullptr;
}

#ifndef _WIN32
HMODULE GetModuleHandleA(LPCSTR name)
{
    static char s_mainModule;
    return name ? nullptr : &s_mainModule;
}

LPSTR GetCommandLineA()
{
    static char s_empty[1] = "";
    return s_empty;
}
#endif

BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int)
{
#ifdef _WIN32
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    if (g_pCurrentApp && g_pCurrentApp->m_strAppName.IsEmpty())
        g_pCurrentApp->m_strAppName = ModuleBaseName();
    return TRUE;
}

BOOL AfxSocketInit(WSAData* wsaData)
{
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), wsaData ? wsaData : &data) != 0) return FALSE;
#else
    (void)wsaData;
#endif
    return TRUE;
}

int AfxMessageBox(LPCTSTR text, UINT, UINT)
{
    CString caption = g_pCurrentApp ? g_pCurrentApp->m_strAppName : CString();
    if (caption.IsEmpty()) caption = ModuleBaseName();
    std::fprintf(stderr, "%s: %s\n", static_cast<LPCTSTR>(caption), text ? text : "");
    std::fflush(stderr);
    return IDOK;
}
