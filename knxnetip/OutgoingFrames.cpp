#include "knxnetip/OutgoingFrames.h"

#include <cstring>

#include "knxnetip/FrameLayout.h"

namespace knxnetip {

namespace {


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

// Puts the APCI byte and data of a group-value write; returns the cEMI data
// length.
int PutGroupValue(BYTE* frame, const EisData& value)
{
    // Only six bits fit beside the APCI; more must not spill into it and
    // turn the write into another service. Beside long data they are 0.
    const int smallData = value.length == 1 ? value.bytes[0] & kApciSmallDataMask : 0;
    frame[kOffApci] = static_cast<BYTE>(kApciGroupValueWrite | smallData);
    std::memcpy(frame + kOffApci + 1, value.bytes + 1, static_cast<size_t>(value.length - 1));
    return value.length;
}

// Everything of a tunnelled L_Data.req to groupAddress but the APCI byte
// and data (dataLength of them, already in place); returns the frame's length.
int PutLDataRequest(BYTE* frame, int channelId, int sequence, WORD groupAddress, int dataLength)
{
    const int totalLength = kTunnellingRequestBaseSize + dataLength;
    PutHeader(frame, kTunnellingRequest, totalLength);
    PutConnHeader(frame, channelId, sequence);
    frame[kOffMessageCode] = kLDataReq;
    frame[kOffAddInfoLength] = 0x00;
    frame[kOffControl1] = kControl1Standard;
    frame[kOffControl2] = kControl2Group;
    frame[kOffSource] = 0x00;
    frame[kOffSource + 1] = 0x00;
    frame[kOffDestination] = static_cast<BYTE>(groupAddress >> 8);
    frame[kOffDestination + 1] = static_cast<BYTE>(groupAddress);
    frame[kOffDataLength] = static_cast<BYTE>(dataLength);
    frame[kOffTpci] = kTpciUnnumberedData;
    return totalLength;
}

}  // namespace

int BuildSearchRequest(BYTE* frame, DWORD interfaceAddress)
{
    PutHeader(frame, kSearchRequest, kSearchRequestSize);
    // The search endpoint is bound to the KNXnet/IP port; answers come there.
    PutHpai(frame + kHeaderSize, interfaceAddress, kKnxNetIpPort);
    return kSearchRequestSize;
}

int BuildConnectRequest(BYTE* frame, DWORD localAddress, int controlPort, int dataPort)
{
    PutHeader(frame, kConnectRequest, kConnectRequestSize);
    BYTE* hpai = frame + kHeaderSize;
    PutHpai(hpai, localAddress, controlPort);
    PutHpai(hpai + kHpaiSize, localAddress, dataPort);
    BYTE* cri = hpai + 2 * kHpaiSize;
    cri[0] = kCriSize;
    cri[1] = kTunnelConnection;
    cri[2] = kTunnelLinkLayer;
    cri[3] = 0x00;
    return kConnectRequestSize;
}

int BuildControlRequest(BYTE* frame, int serviceType, int channelId, DWORD localAddress, int controlPort)
{
    PutHeader(frame, serviceType, kControlRequestSize);
    frame[kOffControlChannelId] = static_cast<BYTE>(channelId);
    frame[kOffControlChannelId + 1] = 0x00;
    PutHpai(frame + kOffControlHpai, localAddress, controlPort);
    return kControlRequestSize;
}

int BuildDisconnectResponse(BYTE* frame, int channelId)
{
    PutHeader(frame, kDisconnectResponse, kDisconnectResponseSize);
    frame[kOffResponseChannelId] = static_cast<BYTE>(channelId);
    frame[kOffResponseStatus] = kNoError;
    return kDisconnectResponseSize;
}

int BuildTunnellingRequest(BYTE* frame, int channelId, int sequence, WORD groupAddress, const EisData& value)
{
    if (value.length < 1 || value.length > kLargestEisData) return 0;
    return PutLDataRequest(frame, channelId, sequence, groupAddress, PutGroupValue(frame, value));
}

int BuildGroupValueRead(BYTE* frame, int channelId, int sequence, WORD groupAddress)
{
    frame[kOffApci] = kApciGroupValueRead;
    return PutLDataRequest(frame, channelId, sequence, groupAddress, 1);
}

int BuildTunnellingAck(BYTE* frame, int channelId, int sequence)
{
    PutHeader(frame, kTunnellingAck, kTunnellingAckSize);
    PutConnHeader(frame, channelId, sequence);
    return kTunnellingAckSize;
}

}  // namespace knxnetip
