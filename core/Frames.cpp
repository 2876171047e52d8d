// The client's frame operations: each outgoing frame built from the client's
// connection values and handed whole to one Write, so that it leaves as one
// datagram; received bytes made into frames that report through the client.
#include <iostream>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"
#include "knxnetip/OutgoingFrames.h"

using namespace knxnetip;

void CKnxClient::SendSearchRequest(CUdpEndpoint& endpoint, DWORD interfaceAddress)
{
    BYTE frame[kLargestOutgoingFrame];
    endpoint.Write(frame, static_cast<DWORD>(BuildSearchRequest(frame, interfaceAddress)));
}

void CKnxClient::SendConnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort, int dataPort)
{
    BYTE frame[kLargestOutgoingFrame];
    endpoint.Write(frame,
                   static_cast<DWORD>(BuildConnectRequest(frame, localAddress, controlPort, dataPort)));
}

void CKnxClient::SendConnectionStateRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort)
{
    BYTE frame[kLargestOutgoingFrame];
    int length = BuildControlRequest(frame, kConnStateRequest, m_nChannelId, localAddress, controlPort);
    endpoint.Write(frame, static_cast<DWORD>(length));
}

void CKnxClient::SendDisconnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort)
{
    BYTE frame[kLargestOutgoingFrame];
    int length = BuildControlRequest(frame, kDisconnectRequest, m_nChannelId, localAddress, controlPort);
    endpoint.Write(frame, static_cast<DWORD>(length));
}

void CKnxClient::SendDisconnectResponse(CUdpEndpoint& endpoint)
{
    BYTE frame[kLargestOutgoingFrame];
    endpoint.Write(frame, static_cast<DWORD>(BuildDisconnectResponse(frame, m_nChannelId)));
}

void CKnxClient::SendDisconnectFor(int channel)
{
    BYTE frame[kLargestOutgoingFrame];
    int length = BuildControlRequest(frame, kDisconnectRequest, channel, m_dwLocalAddress, m_nControlPort);
    m_controlEndpoint.Write(frame, static_cast<DWORD>(length));
}

int CKnxClient::BuildGroupWrite(BYTE* frame)
{
    const int length =
        BuildTunnellingRequest(frame, m_nChannelId, m_nSendSequence, m_wGroupAddress, m_value);
    if (length == 0) {
        // The sequence counter stays: the gateway expects the next request
        // to carry the next number and would drop one that skipped a count.
        std::cout << "EIS-Type not supported\n";
        return 0;
    }
    ++m_nSendSequence;
    if (m_nDebugLevel >= 2) {
        CString trace, value;  // the value as written, in the form send takes it
        DecodeEisValue(m_nEisType, m_value, value);
        trace.Format("SendGA ch=%d seq=%d value=%s\n", m_nChannelId, m_nSendSequence, value.c_str());
        std::cout << static_cast<const char*>(trace) << std::flush;
    }
    return length;
}

int CKnxClient::BuildGroupRead(BYTE* frame, WORD groupAddress)
{
    const int length = BuildGroupValueRead(frame, m_nChannelId, m_nSendSequence, groupAddress);
    ++m_nSendSequence;
    return length;
}

// Each acknowledgement goes twice: a gateway that misses it waits a second
// before it repeats its request, holding back all it has queued for us, and
// drops the tunnel with that queue when the repeat's acknowledgement is lost
// too; a gateway that then grants the freed channel to another client would
// take our next request for that client's. A gateway ignores an
// acknowledgement it no longer waits for.
void CKnxClient::SendTunnellingAck(CUdpEndpoint& endpoint)
{
    BYTE frame[kLargestOutgoingFrame];
    const DWORD length = static_cast<DWORD>(BuildTunnellingAck(frame, m_nChannelId, m_nRecvSequence));
    endpoint.Write(frame, length);
    endpoint.Write(frame, length);
}

CRecvFrame* CKnxClient::CreateFrame(const BYTE* buffer, int received, int serviceType)
{
    CRecvFrame* frame = knxnetip::CreateFrame(buffer, received, serviceType);
    if (frame != nullptr) frame->m_pClient = this;
    return frame;
}
