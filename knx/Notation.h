// KNX values and their console and command-line forms: group and individual
// addresses, the 2-byte float as the monitor shows it, byte dumps. No
// console output.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

// Group address from "main/middle/sub", "main middle sub", "main.middle.sub"
// (decimal, each number cut to its field width, text after the third number
// ignored) or "#hhhh" (up to four hex digits). 0 when nothing matches.
WORD ParseGroupAddress(const char* text);

// "main/middle/sub". Points to a static buffer that the next call of this
// function overwrites; main thread only.
const char* GroupAddressText(WORD groupAddress);

// "area.line.device". Static buffer of its own, as GroupAddressText.
const char* IndividualAddressText(WORD address);

// The KNX 2-byte float (first data byte high): mantissa times the
// single-precision 0.01 times 2 to the exponent, exact in double.
double DecodeKnxFloat(WORD raw);

// count bytes as "%d " or "%02x " each, trailing blank kept; count <= 0
// gives an empty text. The bytes are only read.
CString BytesToDecText(const BYTE* bytes, int count);
CString BytesToHexText(const BYTE* bytes, int count);
