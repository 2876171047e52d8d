// The gateway search: from every IPv4 address of the host in turn, a
// SEARCH_REQUEST to the discovery multicast group, and the first answer reported.
#include <cstring>
#include <memory>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/RecvFrame.h"
#include "platform/winbase.h"
#include "platform/wsock.h"

namespace {

const char kDiscoveryAddress[] = "224.0.23.12";
// Up to about a second, ended by the first answer as it arrives.
const DWORD kAnswerWaitMs = 1000;
const DWORD kPauseMs = 100;

void DiscardWaiting(CUdpEndpoint& endpoint)
{
    BYTE first;
    while (endpoint.Read(&first, 1) > 0) continue;
}

}  // namespace

void CKnxClient::Search()
{
    Output("\nstarting search...\n");
    char hostName[200] = {};
    if (gethostname(hostName, sizeof hostName) != 0) return;
    win::hostent* host = win::gethostbyname(hostName);
    if (host == nullptr || host->h_addr_list[0] == nullptr) return;

    m_searchEndpoint.SetNotify(this, WM_KNX_SEARCH_DATA);
    for (int n = 1; host->h_addr_list[n - 1] != nullptr; ++n) {
        in_addr address;
        memcpy(&address, host->h_addr_list[n - 1], sizeof address);
        CString addressText = inet_ntoa(address);

        m_searchEndpoint.Start(addressText, kDiscoveryAddress, knxnetip::kKnxNetIpPort,
                               knxnetip::kKnxNetIpPort);
        m_searchEndpoint.WaitRunning();
        // What waits before the request goes out answers none of it: the
        // previous interface's worker may have passed on a second or a late
        // answer before it ended.
        DiscardWaiting(m_searchEndpoint);

        CString line;
        line.Format("%d. trying interface %s ..\n\n", n, static_cast<const char*>(addressText));
        Output(line);
        SendSearchRequest(m_searchEndpoint, address.s_addr);

        int serviceType = 0;
        std::unique_ptr<CRecvFrame> frame = NextFrame(m_searchEndpoint, kAnswerWaitMs, serviceType);
        if (frame) frame->Report();
        m_searchEndpoint.RequestStop();
        Sleep(kPauseMs);
    }
}

void SearchCommand()
{
    g_pCurrentClient = new CKnxClient;
    g_pCurrentClient->Search();
    delete g_pCurrentClient;
    g_pCurrentClient = nullptr;
}
