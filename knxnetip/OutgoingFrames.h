// The eight frames the client sends, built byte for byte into the caller's
// buffer (at least kLargestOutgoingFrame bytes). Each builder returns the
// frame's length. Addresses are 32-bit values in network byte order, as
// inet_addr gives them; ports are in host byte order (low 16 bits written);
// of the channel id and sequence counters only the low byte is written.
#pragma once

#include "knx/EisTypes.h"
#include "knxnetip/FrameLayout.h"
#include "platform/wintypes.h"

namespace knxnetip {

constexpr int kLargestOutgoingFrame = kTunnellingRequestBaseSize + kLargestEisData;  // a write of EIS15

int BuildSearchRequest(BYTE* frame, DWORD interfaceAddress);
int BuildConnectRequest(BYTE* frame, DWORD localAddress, int controlPort, int dataPort);
// CONNECTIONSTATE_REQUEST or DISCONNECT_REQUEST, by serviceType.
int BuildControlRequest(BYTE* frame, int serviceType, int channelId, DWORD localAddress, int controlPort);
// The answer to the gateway's DISCONNECT_REQUEST: E_NO_ERROR.
int BuildDisconnectResponse(BYTE* frame, int channelId);
// A group-value write of value to groupAddress; 0 (and nothing built) when
// value holds none (its length 0).
int BuildTunnellingRequest(BYTE* frame, int channelId, int sequence, WORD groupAddress, const EisData& value);
// A group-value read of groupAddress (no data: the APCI byte alone).
int BuildGroupValueRead(BYTE* frame, int channelId, int sequence, WORD groupAddress);
int BuildTunnellingAck(BYTE* frame, int channelId, int sequence);

}  // namespace knxnetip
