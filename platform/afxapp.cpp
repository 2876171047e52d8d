#include "platform/afxapp.h"

#include <unistd.h>

#include <cstdio>
#include <string>


namespace {

CWinApp* g_pCurrentApp = nullptr;

// The module's file name without its folder, as the framework derives an
// unnamed application's name from it.
CString ModuleBaseName()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return CString();
    std::string name(path, static_cast<size_t>(length));
    return CString(name.substr(name.find_last_of('/') + 1));
}

}  // namespace

CWinApp::CWinApp(LPCTSTR appName) : m_strAppName(appName)
{
    g_pCurrentApp = this;
}

CWinApp::~CWinApp()
{
    if (g_pCurrentApp == this) g_pCurrentApp = nullptr;
}

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

BOOL AfxWinInit(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (g_pCurrentApp && g_pCurrentApp->m_strAppName.IsEmpty()) g_pCurrentApp->m_strAppName = ModuleBaseName();
    return TRUE;
}

BOOL AfxSocketInit(WSAData*) { return TRUE; }

int AfxMessageBox(LPCTSTR text, UINT, UINT)
{
    CString caption = g_pCurrentApp ? g_pCurrentApp->m_strAppName : CString();
    if (caption.IsEmpty()) caption = ModuleBaseName();
    std::fprintf(stderr, "%s: %s\n", static_cast<LPCTSTR>(caption), text ? text : "");
    std::fflush(stderr);
    return IDOK;
}
