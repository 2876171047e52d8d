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

bool StartFramework()
{
    if (AfxWinInit(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), 0)) return true;
    std::cerr << "Fatal Error: MFC initialization failed" << std::endl;
    return false;
}

Prepared PrepareCommand(std::ostream& out)
{
    ResetSettings();
    if (!ReadConfigFile(out)) return Prepared::kNoFile;
    if (g_strMyOwnIpAddress.IsEmpty()) {
        out << "Error: Invalid 'My-Own-IP-Address'\n";
        return Prepared::kNoLocalAddress;
    }
    if (g_strGatewayIpAddress.IsEmpty()) {
        out << "Error: Invalid 'GateWay-IP-Address'\n";
        return Prepared::kNoGatewayAddress;
    }
    if (!AfxSocketInit(nullptr)) {
        out << "Error: AfxSocketInit failed\n" << std::flush;
        AfxMessageBox(LoadStringResource(IDS_SOCKETS_INIT_FAILED), MB_OK, static_cast<UINT>(-1));
        return Prepared::kNoSockets;
    }
    return Prepared::kReady;
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

namespace {

// The one line on standard error of a command that did not run.
int Refused(int status, const char* line, const char* text = "")
{
    std::cerr << line << text << (*text ? "'" : "") << '\n';
    return status;
}

// Standard output keeps its lines as they are; the status and the line on
// standard error tell a script what happened.
int PrepareFailed(Prepared prepared)
{
    switch (prepared) {
    case Prepared::kNoFile:
        return Refused(KELVANE_USAGE, "settings: Kelvane.ini not found");
    case Prepared::kNoLocalAddress:
        return Refused(KELVANE_USAGE, "settings: MY-OWN-IP-ADDRESS missing");
    case Prepared::kNoGatewayAddress:
        return Refused(KELVANE_USAGE, "settings: GATEWAY-IP-ADDRESS missing");
    case Prepared::kNoSockets:
    case Prepared::kReady:
        break;
    }
    return KELVANE_NO_FRAMEWORK;  // the message box said so on standard error
}

}  // namespace

int DispatchCommand(int argc, char* argv[])
{
    const Prepared prepared = PrepareCommand(std::cout);
    if (prepared != Prepared::kReady) return PrepareFailed(prepared);
    if (g_nDebugLevel > 0) PrintBanner();
    const CommandLine line = ParseCommandLine(argc, argv);
    switch (line.kind) {
    case CommandLine::kSearch:
        SearchCommand();
        return KELVANE_DONE;
    case CommandLine::kTooFewOperands:
        std::cout << "nicht gen\x81gend Parameter\n";
        return Refused(KELVANE_USAGE, "usage: too few operands for send");
    case CommandLine::kSend:
        if (!CheckSendOperands(line.groupAddressText, line.eisType, line.valueText))
            return Refused(KELVANE_USAGE, "send refused: an operand or the gateway address is invalid");
        std::cout << std::flush;
        return SendCommand(line.groupAddress, line.eisType, line.value);
    case CommandLine::kNone:
        break;
    }
    return Refused(KELVANE_USAGE, "usage: unknown command '", argv[1]);
}
