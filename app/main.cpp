// The console program's entry: framework start-up, usage text, dispatch.
#include <iostream>

#include "app/Dispatch.h"
#include "platform/afxapp.h"

// The framework needs an application object to initialise; this program
// has no window, so the plain one serves.
CWinApp theApp;

int main(int argc, char* argv[], char* /*envp*/[])
{
    if (!StartFramework()) return 1;
    if (argc > 1) return DispatchCommand(argc, argv);
    CString usage(
        "Kelvane\n  Kommandos:\n  - search : suche nach EIB/KNX Gateway\n"
        "  - send GA Type Value : sende GruppenAdresse");
    std::cout << usage << std::endl;
    return 0;
}
