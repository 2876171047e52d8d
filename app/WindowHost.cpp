#include "app/WindowHost.h"

#include "app/Settings.h"
#include "core/KnxClient.h"
#include "core/TunnelSession.h"

bool RunSession(int debugLevel, CTunnelListener& listener,
                const std::function<void(CTunnelSession&, CKnxClient&)>& begin,
                const std::function<bool(const MSG&)>& onMessage)
{
    CTunnelSession session(listener);
    if (!session.Create()) return false;
    CSessionSignals signals(session);  // before the endpoints' threads start
    g_pCurrentClient = new CKnxClient;
    CKnxClient& client = *g_pCurrentClient;
    client.CreateEx(0, "", "", 0, 0, 0, 0, 0, nullptr, nullptr);
    client.SetDebugLevel(debugLevel);
    client.Open(g_strMyOwnIpAddress, g_strGatewayIpAddress);
    session.Attach(client);
    begin(session, client);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) && onMessage(msg)) {}
    client.m_pListener = nullptr;
    client.DestroyWindow();
    delete g_pCurrentClient;
    g_pCurrentClient = nullptr;
    return true;
}
