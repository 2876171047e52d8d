// The group reader's entry: kelvane-read GA [SECONDS].
#include <iostream>

#include "app/Monitor.h"
#include "app/Read.h"
#include "platform/afxapp.h"

CWinApp theApp;

int main(int argc, char* argv[])
{
    if (!AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), 0)) {
        std::cerr << "Fatal Error: MFC initialization failed" << std::endl;
        return 1;
    }
    int seconds = argc == 3 ? ParseSeconds(argv[2], kMaxReadSeconds) : kDefaultReadSeconds;
    if (argc < 2 || argc > 3 || seconds < 0) {
        std::cerr << "usage: kelvane-read GA [SECONDS]  (SECONDS: a whole number from 1 to "
                  << kMaxReadSeconds << ", default " << kDefaultReadSeconds << ")" << std::endl;
        return READ_FAILED;
    }
    return RunRead(argv[1], seconds);
}
