// The eight frames the client sends, built byte for byte into the caller's
// buffer (at least kLargestOutgoingFrame bytes). Each builder returns the
// frame's length. Addresses are 32-bit values in network byte order, as
// inet_addr gives them; ports are in host byte order (low 16 bits written);
// of the channel id and sequence counters only the low byte is written.
#pragma once

#include "platform/wintypes.h"

namespace knxnetip {

constexpr int kLargestOutgoingFrame = 26;
constexpr int kEis1 = 1;  // switch: six bits of small data
constexpr int kEis6 = 6;  // one byte

int BuildSearchRequest(BYTE* frame, DWORD interfaceAddress);
int BuildConnectRequest(BYTE* frame, DWORD localAddress, int controlPort, int dataPort);
// CONNECTIONSTATE_REQUEST or DISCONNECT_REQUEST, by serviceType.
int BuildControlRequest(BYTE* frame, int serviceType, int channelId, DWORD localAddress, int controlPort);
// The answer to the gateway's DISCONNECT_REQUEST: E_NO_ERROR.
int BuildDisconnectResponse(BYTE* frame, int channelId);
// A group-value write to groupAddress, encoded by EIS type; 0 (and nothing
// built) for a type that cannot be sent.
int BuildTunnellingRequest(BYTE* frame, int channelId, int sequence, WORD groupAddress, int eisType,
                           int value);
// A group-value read of groupAddress (no data: the APCI byte alone).
int BuildGroupValueRead(BYTE* frame, int channelId, int sequence, WORD groupAddress);
int BuildTunnellingAck(BYTE* frame, int channelId, int sequence);

}  // namespace knxnetip
