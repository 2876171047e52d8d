// KNXnet/IP wire layouts that the client writes and reads. Every multi-byte
// field is big-endian; offsets count from the first byte of the frame.
//
//   header      length (1) = 6, version (1) = 0x10, service type (2), total length (2)
//   HPAI        length (1) = 8, protocol (1), IPv4 address (4), port (2)
//   CRI         length (1) = 4, connection type (1), KNX layer (1), reserved (1)
//   conn. hdr   length (1) = 4, channel id (1), sequence (1), reserved/status (1)
//   cEMI        message code (1), add. info length (1), add. info (its length),
//               control 1 (1), control 2 (1), source (2), destination (2),
//               data length (1), TPCI (1), APCI and data (data length)
#pragma once

#include "platform/wintypes.h"

namespace knxnetip {

// The UDP port of a gateway's control endpoint and of the search's multicast group.
constexpr WORD kKnxNetIpPort = 3671;

// Common header.
constexpr int kHeaderSize = 6;
constexpr BYTE kHeaderLength = 0x06;
constexpr BYTE kProtocolVersion = 0x10;
constexpr int kOffHeaderLength = 0;
constexpr int kOffVersion = 1;
constexpr int kOffServiceType = 2;
constexpr int kOffTotalLength = 4;

// Service types.
constexpr int kSearchRequest = 0x0201;
constexpr int kSearchResponse = 0x0202;
constexpr int kDescriptionRequest = 0x0203;
constexpr int kDescriptionResponse = 0x0204;
constexpr int kConnectRequest = 0x0205;
constexpr int kConnectResponse = 0x0206;
constexpr int kConnStateRequest = 0x0207;
constexpr int kConnStateResponse = 0x0208;
constexpr int kDisconnectRequest = 0x0209;
constexpr int kDisconnectResponse = 0x020A;
constexpr int kDeviceConfigRequest = 0x0310;
constexpr int kDeviceConfigAck = 0x0311;
constexpr int kTunnellingRequest = 0x0420;
constexpr int kTunnellingAck = 0x0421;
constexpr int kRoutingIndication = 0x0530;

// HPAI.
constexpr int kHpaiSize = 8;
constexpr BYTE kIpv4Udp = 0x01;
constexpr int kOffHpaiProtocol = 1;
constexpr int kOffHpaiAddress = 2;
constexpr int kOffHpaiPort = 6;

// CRI of a tunnel connection on the link layer.
constexpr int kCriSize = 4;
constexpr BYTE kTunnelConnection = 0x04;
constexpr BYTE kTunnelLinkLayer = 0x02;

// Connection header, at frame offset 6 of tunnelling frames.
constexpr int kConnHeaderSize = 4;
constexpr int kOffChannelId = 7;
constexpr int kOffSequence = 8;
constexpr int kOffConnStatus = 9;

// cEMI L_Data, at frame offset 10 of a tunnelling request. The offsets from
// control 1 on are those of a frame without additional information, as the
// client writes them; in a received frame they lie later by the byte at
// kOffAddInfoLength (interfaces often send some, a time stamp for example).
constexpr int kOffMessageCode = 10;
constexpr int kOffAddInfoLength = 11;
constexpr int kOffControl1 = 12;
constexpr int kOffControl2 = 13;
constexpr int kOffSource = 14;
constexpr int kOffDestination = 16;
constexpr int kOffDataLength = 18;
constexpr int kOffTpci = 19;
constexpr int kOffApci = 20;
constexpr int kTunnellingRequestBaseSize = 20;  // plus add. info and data length
constexpr BYTE kLDataReq = 0x11;
constexpr BYTE kLDataInd = 0x29;
constexpr BYTE kLDataCon = 0x2E;
constexpr BYTE kControl1Standard = 0x8C;  // standard frame, low priority
constexpr BYTE kControl2Group = 0xE0;     // group destination, hop count 6
constexpr BYTE kTpciUnnumberedData = 0x00;
// The group services in the 10-bit APCI: its top two bits are the TPCI
// byte's low two (0 for these), the next two the APCI byte's top two.
constexpr BYTE kTpciApciMask = 0x03;
constexpr BYTE kApciServiceMask = 0xC0;
constexpr BYTE kApciGroupValueRead = 0x00;
constexpr BYTE kApciGroupValueResponse = 0x40;
constexpr BYTE kApciGroupValueWrite = 0x80;
constexpr BYTE kApciSmallDataMask = 0x3F;  // data carried in the APCI byte

// Control frames: channel id and reserved byte at 6 and 7, then the HPAI.
constexpr int kOffControlChannelId = 6;
constexpr int kOffControlHpai = 8;

// Connect and disconnect responses.
constexpr int kOffResponseChannelId = 6;
constexpr int kOffResponseStatus = 7;
constexpr BYTE kNoError = 0x00;  // status E_NO_ERROR
constexpr int kOffConnectDataHpai = 8;
constexpr int kOffConnectResponseData = 16;
constexpr int kConnectResponseDataSize = 4;

// Search response: control HPAI, then the device information block.
constexpr int kOffSearchControlHpai = 6;
constexpr int kOffSearchMedium = 16;
constexpr int kOffSearchIndividualAddress = 18;
constexpr int kOffSearchSerial = 22;
constexpr int kSearchSerialSize = 6;
constexpr int kOffSearchMac = 32;
constexpr int kSearchMacSize = 6;

// Frame sizes that the client writes.
constexpr int kSearchRequestSize = 14;
constexpr int kConnectRequestSize = 26;
constexpr int kControlRequestSize = 16;  // connection state and disconnect
constexpr int kTunnellingAckSize = 10;
constexpr int kDisconnectResponseSize = 8;  // header, channel id, status

// The callers read a datagram into a buffer of this size; frame objects keep
// the bytes after the header in a body of the same size.
constexpr int kReceiveBufferSize = 1024;
constexpr int kBodySize = 1024;

}  // namespace knxnetip
