#include "app/Dispatch.h"

#include <cstdio>
#include <iostream>

#include "app/Commands.h"
#include "app/SendOperands.h"
#include "app/Settings.h"
#include "knx/EisTypes.h"
#include "knx/Notation.h"
#include "platform/afxapp.h"
#include "res/StringTable.h"

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
        AfxMessageBox(LoadStringResource(IDS_SOCKETS_INIT_FAILED), MB_OK, static_cast<UINT>(-1));
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

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[])
{
    CommandLine line;
    CString command(argv[1]);
    command.MakeLower();
    if (command == "search") {
        line.kind = CommandLine::kSearch;
    } else if (command == "send" && argc < 5) {
        line.kind = CommandLine::kTooFewOperands;
    } else if (command == "send") {
        line.kind = CommandLine::kSend;
        line.groupAddressText = argv[2];
        line.valueText = argv[4];
        line.groupAddress = ParseGroupAddress(argv[2]);
        line.eisType = ParseEisType(CString(argv[3]));
        EncodeEisValue(line.eisType, argv[4], line.value);
    }
    return line;
}

void DispatchCommand(int argc, char* argv[])
{
    if (!PrepareCommand()) return;
    if (g_nDebugLevel > 0) PrintBanner();
    const CommandLine line = ParseCommandLine(argc, argv);
    switch (line.kind) {
    case CommandLine::kSearch:
        SearchCommand();
        break;
    case CommandLine::kTooFewOperands:
        std::cout << "nicht gen\x81gend Parameter\n";
        break;
    case CommandLine::kSend:
        if (CheckSendOperands(line.groupAddressText, line.eisType, line.valueText))
            SendCommand(line.groupAddress, line.eisType, line.value);
        break;
    case CommandLine::kNone:
        break;
    }
}
