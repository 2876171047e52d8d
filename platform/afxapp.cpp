// The application object, the start-up calls and the message box for a
// console process.
#include "platform/afxapp.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

CWinApp* g_pCurrentApp = nullptr;

// The program file's name without folder (and on Windows without extension), as the
// framework names an unnamed application.
CString ModuleBaseName()
{
    char path[4096];
#ifdef _WIN32
    const long length = static_cast<long>(GetModuleFileNameA(nullptr, path, sizeof path));
#else
    const long length = readlink("/proc/self/exe", path, sizeof path);
#endif
    if (length <= 0 || length >= static_cast<long>(sizeof path)) return CString();
    std::string name(path, static_cast<size_t>(length));
    name = name.substr(name.find_last_of("\\/") + 1);
#ifdef _WIN32
    name = name.substr(0, name.find_last_of('.'));
#endif
    return name;
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
    return WSAStartup(MAKEWORD(2, 2), wsaData ? wsaData : &data) == 0;
#else
    (void)wsaData;
    return TRUE;
#endif
}

int AfxMessageBox(LPCTSTR text, UINT, UINT)
{
    CString caption = g_pCurrentApp ? g_pCurrentApp->m_strAppName : CString();
    if (caption.IsEmpty()) caption = ModuleBaseName();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text ? text : "");
    std::fflush(stderr);
    return IDOK;
}
