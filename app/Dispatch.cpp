#include "app/Dispatch.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/Commands.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "knx/Notation.h"
#include "platform/afxapp.h"
#include "res/StringTable.h"

void (*g_pfnSearchCommand)() = SearchCommand;
void (*g_pfnSendCommand)(WORD, int, int) = SendCommand;

namespace {

// The project version from the build (CMakeLists.txt keeps it).
const int PROGRAM_VERSION = KELVANE_VERSION;

void ResetSettings()
{
    g_nDebugLevel = 0;
    g_strMyOwnIpAddress = "";
    g_strGatewayIpAddress = "";
}

}  // namespace

bool PrepareCommand()
{
    ResetSettings();
    if (!ReadConfigFile()) return false;
    if (g_strMyOwnIpAddress.IsEmpty()) {
        std::cout << "Error: Invalid 'My-Own-IP-Address'\n";
        return false;
    }
    if (g_strGatewayIpAddress.IsEmpty()) {
        std::cout << "Error: Invalid 'GateWay-IP-Address'\n";
        return false;
    }
    if (!AfxSocketInit(nullptr)) {
        std::printf("Error: AfxSocketInit failed\n");
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK, static_cast<UINT>(-1));
        return false;
    }
    return true;
}

namespace {

void PrintBanner()
{
    std::printf("Kelvane Version v%02d\n", PROGRAM_VERSION);
    std::printf("build %s %s\n\n", __DATE__, __TIME__);
}

void DispatchSend(int argc, char* argv[])
{
    if (argc < 5) {
        std::cout << "nicht gen\x81gend Parameter\n";
        return;
    }
    int eisType = ParseEisType(CString(argv[3]));
    if (!CheckSendOperands(argv[2], eisType, argv[4])) return;
    WORD groupAddress = ParseGroupAddress(argv[2]);
    int value = std::atoi(argv[4]);
    g_pfnSendCommand(groupAddress, eisType, value);
}

}  // namespace

void DispatchCommand(int argc, char* argv[])
{
    CString command(argv[1]);
    if (!PrepareCommand()) return;
    if (g_nDebugLevel > 0) PrintBanner();
    command.MakeLower();
    if (command == "search") g_pfnSearchCommand();
    else if (command == "send") DispatchSend(argc, argv);
}
