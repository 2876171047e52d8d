// The send action: one whole tunnelling connection to write one group value.
#include <cstdio>
#include <iostream>

#include "app/Commands.h"
#include "app/Settings.h"
#include "core/KnxClient.h"
#include "platform/wsock.h"

namespace {

// The address as the socket library understood it, byte by byte in memory order.
CString AddressLine(const char* pattern, const CString& addressText)
{
    DWORD address = inet_addr(addressText);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&address);
    CString line;
    line.Format(pattern, bytes[0], bytes[1], bytes[2], bytes[3]);
    return line;
}

// What became of the exchanges, as an exit status; a failure also as one
// line on standard error.
int Outcome(int connectStatus, WriteResult write)
{
    CString line;
    int status = KELVANE_NOT_WRITTEN;
    if (connectStatus == CKnxClient::kNoAnswer) {
        line = "connect failed: no answer from the gateway";
    } else if (connectStatus != 0) {
        line.Format("connect failed: refused with status %d", connectStatus);
    } else if (write == WriteResult::NotEncoded) {
        line = "send failed: type not supported", status = KELVANE_USAGE;
    } else if (write != WriteResult::Acknowledged) {
        line = "write failed: no acknowledgement from the gateway";
    } else {
        return KELVANE_DONE;
    }
    std::cerr << static_cast<const char*>(line) << '\n';
    return status;
}

}  // namespace

int SendCommand(WORD groupAddress, int eisType, const EisData& value)
{
    g_pCurrentClient = new CKnxClient;
    g_pCurrentClient->SetDebugLevel(g_nDebugLevel);
    CString line = AddressLine("using my IP address   %d.%d.%d.%d\n", g_strMyOwnIpAddress);
    if (g_nDebugLevel >= 1) std::cout << static_cast<const char*>(line);
    line = AddressLine("using Gateway address %d.%d.%d.%d\n", g_strGatewayIpAddress);
    if (g_nDebugLevel >= 1) std::cout << static_cast<const char*>(line);
    g_pCurrentClient->Open(g_strMyOwnIpAddress, g_strGatewayIpAddress);
    const int connectStatus = g_pCurrentClient->Connect();
    const WriteResult write = g_pCurrentClient->SendGroupValue(groupAddress, eisType, value);
    g_pCurrentClient->Disconnect();
    delete g_pCurrentClient;
    g_pCurrentClient = nullptr;
    return Outcome(connectStatus, write);
}
