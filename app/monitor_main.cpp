// The bus monitor's entry: kelvane-monitor [SECONDS].
#include <iostream>

#include "app/Dispatch.h"
#include "app/Monitor.h"
#include "platform/afxapp.h"

CWinApp theApp;

int main(int argc, char* argv[])
{
    if (!StartFramework()) return 1;
    int seconds = argc == 2 ? ParseMonitorSeconds(argv[1]) : 0;
    if (argc > 2 || seconds < 0) {
        std::cerr << "usage: kelvane-monitor [SECONDS]  (SECONDS: a whole number from 1 to "
                  << kMaxMonitorSeconds << ")" << std::endl;
        return 2;
    }
    return RunMonitor(seconds);
}
