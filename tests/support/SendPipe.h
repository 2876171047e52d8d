// Test helpers for frames: hex text to bytes and back, and the bytes that a
// frame builder left in an endpoint's send pipe.
#pragma once

#include <string>
#include <vector>

#include "net/UdpEndpoint.h"
#include "platform/wintypes.h"

// "06 10 02 01" -> bytes; blanks between pairs are optional.
std::vector<BYTE> HexToBytes(const std::string& hex);
// Bytes -> "06 10 02 01" (upper case, one blank between bytes).
std::string BytesToHex(const std::vector<BYTE>& bytes);
// Takes whatever waits in the endpoint's send pipe without blocking; empty
// when nothing waits (or the endpoint has no pipe).
std::vector<BYTE> TakeSentBytes(CUdpEndpoint& endpoint);
