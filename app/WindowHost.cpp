#include "app/WindowHost.h"

#include "app/Settings.h"
#include "core/KnxClient.h"

void RunWithClient(int debugLevel, const std::function<void(CKnxClient&)>& begin,
                   const std::function<bool(const MSG&)>& onMessage)
{
    g_pCurrentClient = new CKnxClient;
    CKnxClient& client = *g_pCurrentClient;
    client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr);
    client.SetDebugLevel(debugLevel);
    client.Open(g_strMyOwnIpAddress, g_strGatewayIpAddress);
    begin(client);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) && onMessage(msg)) {}
    client.DestroyWindow();
    delete g_pCurrentClient;
    g_pCurrentClient = nullptr;
}
