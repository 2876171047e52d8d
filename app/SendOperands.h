// Checks of what the send command is given, made before anything is opened
// or sent: a text that does not say exactly one group address, value or
// gateway would otherwise be cut or converted into another one.
#pragma once

#include <iostream>

#include "platform/afxstring.h"

// True for a three-level group address (main 0-31, middle 0-7, sub 0-255,
// the three numbers in decimal joined by one "/", " " or "." throughout) or
// "#" and one to four hexadecimal digits; blanks may follow, nothing else.
bool IsGroupAddressText(const char* text);

// True for a value of eisType as knx/EisTypes.h encodes it. A type name that
// is not known (0) takes any text: the frame builder refuses it itself.
bool IsValueText(const char* text, int eisType);

// True for a dotted IPv4 address that the socket library takes (short forms
// such as 127.1 included), except 255.255.255.255 and 0.0.0.0: the broadcast
// address would let any gateway on the network carry out the write, and no
// answer comes from "any address", so every one would be dropped as foreign.
bool IsGatewayAddressText(const CString& text);

// The send command's checks in order: group address, value, then the
// configured gateway. On the first failure writes one line naming the text
// as typed, such as "Error: Invalid group address '1/2/300'", and returns
// false. Main thread.
// The lines go to out.
bool CheckSendOperands(const char* groupAddress, int eisType, const char* value, std::ostream& out = std::cout);

// The gateway check alone, with its line, for the bus monitor and the read.
bool CheckGatewayAddress(std::ostream& out = std::cout);

// The group address check alone, with its line, for the read.
bool CheckGroupAddress(const char* groupAddress, std::ostream& out = std::cout);

// SECONDS as given on the command line: a whole number from 1 to max in
// decimal digits; -1 for any other text.
int ParseSeconds(const char* text, int max);
