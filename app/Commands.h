// The two commands that the dispatcher runs.
#pragma once

#include "platform/wintypes.h"

// Looks for KNXnet/IP gateways from every local address and reports the
// first answer on each. Main thread.
void SearchCommand();

// Writes value to groupAddress as EIS type eisType (0: name not known)
// through one tunnelling connection with the configured gateway. Main thread.
void SendCommand(WORD groupAddress, int eisType, int value);
