// The bus monitor's entry: kelvane-monitor [SECONDS].
#include <cstdlib>
#include <iostream>

#include "app/Monitor.h"
#include "platform/afxapp.h"

CWinApp theApp;

int main(int argc, char* argv[])
{
    if (!AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), 0)) {
        std::cerr << "Fatal Error: MFC initialization failed" << std::endl;
        return 1;
    }
    return RunMonitor(argc > 1 ? std::atoi(argv[1]) : 0);
}
