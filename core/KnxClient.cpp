#include "core/KnxClient.h"

#include <iostream>

CKnxClient* g_pCurrentClient = nullptr;

CKnxClient::CKnxClient() {}

// Every worker is asked to stop (and woken) first; the endpoints' own
// destructors then wait for each, so the waits overlap instead of adding up.
CKnxClient::~CKnxClient() { StopEndpoints(); }

void CKnxClient::StopEndpoints()
{
    for (CUdpEndpoint* endpoint : {&m_searchEndpoint, &m_controlEndpoint, &m_dataEndpoint})
        endpoint->RequestStop();
}

void CKnxClient::SetDebugLevel(int level)
{
    m_nDebugLevel = level;
    if (level >= 2) std::cout << "Ostrel starts..\n";
}

void CKnxClient::Output(CString text)
{
    if (m_pListener != nullptr) {
        m_pListener->OnOutput(text);
        return;
    }
    std::cout << static_cast<const char*>(text);
}
