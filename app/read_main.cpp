// The group reader's entry: kelvane-read GA [TYPE] [SECONDS].
#include <iostream>

#include "app/Dispatch.h"
#include "app/Read.h"
#include "platform/afxapp.h"

CWinApp theApp;

int main(int argc, char* argv[])
{
    if (!StartFramework()) return 1;
    int eisType = 0, seconds = 0;
    if (argc < 2 || argc > 4 || !ParseReadOperands(argc - 2, argv + 2, eisType, seconds)) {
        std::cerr << "usage: kelvane-read GA [TYPE] [SECONDS]  (TYPE: EIS1 to EIS15; SECONDS: a whole number "
                     "from 1 to "
                  << kMaxReadSeconds << ", default " << kDefaultReadSeconds << ")" << std::endl;
        return READ_FAILED;
    }
    return RunRead(argv[1], eisType, seconds);
}
