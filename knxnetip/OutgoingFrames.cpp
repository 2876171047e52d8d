// The seven frames the client sends. Each is built whole in a local buffer and
// handed to one Write, so that it leaves as one datagram.
#include <cstring>
#include <iostream>

#include "core/KnxClient.h"
#include "knxnetip/FrameLayout.h"

using namespace knxnetip;

namespace {

constexpr int kKnxPort = 3671;
constexpr int kEis1 = 1;
constexpr int kEis6 = 6;

void PutHeader(BYTE* frame, int serviceType, int totalLength)
{
    frame[kOffHeaderLength] = kHeaderLength;
    frame[kOffVersion] = kProtocolVersion;
    frame[kOffServiceType] = static_cast<BYTE>(serviceType >> 8);
    frame[kOffServiceType + 1] = static_cast<BYTE>(serviceType);
    frame[kOffTotalLength] = static_cast<BYTE>(totalLength >> 8);
    frame[kOffTotalLength + 1] = static_cast<BYTE>(totalLength);
}

// address is in network byte order, so its bytes in memory are the octets
// in dotted order on any host.
void PutHpai(BYTE* hpai, DWORD address, int port)
{
    hpai[0] = kHpaiSize;
    hpai[kOffHpaiProtocol] = kIpv4Udp;
    std::memcpy(hpai + kOffHpaiAddress, &address, 4);
    hpai[kOffHpaiPort] = static_cast<BYTE>((port >> 8) & 0xFF);
    hpai[kOffHpaiPort + 1] = static_cast<BYTE>(port & 0xFF);
}

void PutConnHeader(BYTE* frame, int channelId, int sequence)
{
    frame[kHeaderSize] = kConnHeaderSize;
    frame[kOffChannelId] = static_cast<BYTE>(channelId);
    frame[kOffSequence] = static_cast<BYTE>(sequence);
    frame[kOffConnStatus] = kNoError;
}

void PutControlRequest(BYTE* frame, int serviceType, int channelId, DWORD address, int port)
{
    PutHeader(frame, serviceType, kControlRequestSize);
    frame[kOffControlChannelId] = static_cast<BYTE>(channelId);
    frame[kOffControlChannelId + 1] = 0x00;
    PutHpai(frame + kOffControlHpai, address, port);
}

// Puts the APCI byte and data of a group-value write; returns the cEMI data
// length, or 0 when the type cannot be sent.
int PutGroupValue(BYTE* frame, int eisType, int value)
{
    if (eisType == kEis1) {
        // Only six bits fit beside the APCI; a larger value must not spill
        // into it and turn the write into another service.
        frame[kOffApci] = static_cast<BYTE>(kApciGroupValueWrite | (value & kApciSmallDataMask));
        return 1;
    }
    if (eisType == kEis6) {
        frame[kOffApci] = kApciGroupValueWrite;
        frame[kOffApci + 1] = static_cast<BYTE>(value);
        return 2;
    }
    return 0;
}

}  // namespace

void CKnxClient::SendSearchRequest(CUdpEndpoint& endpoint, DWORD interfaceAddress)
{
    BYTE frame[kSearchRequestSize];
    PutHeader(frame, kSearchRequest, kSearchRequestSize);
    // The search endpoint is bound to the KNXnet/IP port; answers come there.
    PutHpai(frame + kHeaderSize, interfaceAddress, kKnxPort);
    endpoint.Write(frame, sizeof frame);
}

void CKnxClient::SendConnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort, int dataPort)
{
    BYTE frame[kConnectRequestSize];
    PutHeader(frame, kConnectRequest, kConnectRequestSize);
    BYTE* hpai = frame + kHeaderSize;
    PutHpai(hpai, localAddress, controlPort);
    PutHpai(hpai + kHpaiSize, localAddress, dataPort);
    BYTE* cri = hpai + 2 * kHpaiSize;
    cri[0] = kCriSize;
    cri[1] = kTunnelConnection;
    cri[2] = kTunnelLinkLayer;
    cri[3] = 0x00;
    endpoint.Write(frame, sizeof frame);
}

void CKnxClient::SendConnectionStateRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort)
{
    BYTE frame[kControlRequestSize];
    PutControlRequest(frame, kConnStateRequest, m_nChannelId, localAddress, controlPort);
    endpoint.Write(frame, sizeof frame);
}

void CKnxClient::SendDisconnectRequest(CUdpEndpoint& endpoint, DWORD localAddress, int controlPort)
{
    BYTE frame[kControlRequestSize];
    PutControlRequest(frame, kDisconnectRequest, m_nChannelId, localAddress, controlPort);
    endpoint.Write(frame, sizeof frame);
}

void CKnxClient::SendDisconnectResponse(CUdpEndpoint& endpoint)
{
    BYTE frame[kDisconnectResponseSize];
    PutHeader(frame, kDisconnectResponse, kDisconnectResponseSize);
    frame[kOffResponseChannelId] = static_cast<BYTE>(m_nChannelId);
    frame[kOffResponseStatus] = kNoError;
    endpoint.Write(frame, sizeof frame);
}

void CKnxClient::SendTunnellingRequest(CUdpEndpoint& endpoint)
{
    BYTE frame[kTunnellingRequestBaseSize + 2] = {};
    const int dataLength = PutGroupValue(frame, m_nEisType, m_nValue);
    if (dataLength == 0) {
        // The sequence counter stays: the gateway expects the next request
        // to carry the next number and would drop one that skipped a count.
        std::cout << "EIS-Type not supported\n";
        return;
    }
    const int totalLength = kTunnellingRequestBaseSize + dataLength;
    PutHeader(frame, kTunnellingRequest, totalLength);
    PutConnHeader(frame, m_nChannelId, m_nSendSequence);
    ++m_nSendSequence;
    frame[kOffMessageCode] = kLDataReq;
    frame[kOffAddInfoLength] = 0x00;
    frame[kOffControl1] = kControl1Standard;
    frame[kOffControl2] = kControl2Group;
    frame[kOffSource] = 0x00;
    frame[kOffSource + 1] = 0x00;
    frame[kOffDestination] = static_cast<BYTE>(m_wGroupAddress >> 8);
    frame[kOffDestination + 1] = static_cast<BYTE>(m_wGroupAddress);
    frame[kOffDataLength] = static_cast<BYTE>(dataLength);
    frame[kOffTpci] = kTpciUnnumberedData;

    if (m_nDebugLevel >= 2) {
        CString trace;
        trace.Format("SendGA ch=%d seq=%d value=%d\n", m_nChannelId, m_nSendSequence, m_nValue);
        std::cout << static_cast<const char*>(trace) << std::flush;
    }
    endpoint.Write(frame, static_cast<DWORD>(totalLength));
}

void CKnxClient::SendTunnellingAck(CUdpEndpoint& endpoint)
{
    BYTE frame[kTunnellingAckSize];
    PutHeader(frame, kTunnellingAck, kTunnellingAckSize);
    PutConnHeader(frame, m_nChannelId, m_nRecvSequence);
    endpoint.Write(frame, sizeof frame);
}
