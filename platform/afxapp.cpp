#include "platform/afxapp.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "res/StringTable.h"

AfxFaults g_afxFaults;

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

std::string ReadCommandLine()
{
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string line;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        std::string arg = raw.substr(start, end - start);
        if (!line.empty()) line += ' ';
        if (arg.find_first_of(" \t") != std::string::npos) arg = '"' + arg + '"';
        line += arg;
        start = end + 1;
    }
    return line;
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
    static std::string s_line = ReadCommandLine();
    return &s_line[0];
}

BOOL AfxWinInit(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow)
{
    if (g_afxFaults.bFailWinInit) return FALSE;
    if (g_pCurrentApp) {
        g_pCurrentApp->m_hInstance = instance;
        g_pCurrentApp->m_lpCmdLine = cmdLine;
        g_pCurrentApp->m_nCmdShow = cmdShow;
        if (g_pCurrentApp->m_strAppName.IsEmpty()) g_pCurrentApp->m_strAppName = ModuleBaseName();
    }
    return TRUE;
}

BOOL AfxSocketInit(WSAData*)
{
    return g_afxFaults.bFailSocketInit ? FALSE : TRUE;
}

int AfxMessageBox(LPCTSTR text, UINT, UINT)
{
    CString caption = g_pCurrentApp ? g_pCurrentApp->m_strAppName : CString();
    if (caption.IsEmpty()) caption = ModuleBaseName();
    std::fprintf(stderr, "%s: %s\n", static_cast<LPCTSTR>(caption), text ? text : "");
    std::fflush(stderr);
    return IDOK;
}

int AfxMessageBox(UINT promptId, UINT type, UINT helpId)
{
    return AfxMessageBox(LoadStringResource(promptId), type, helpId);
}
