// The two commands that the dispatcher runs (the search is the client core's).
#pragma once

#include "core/KnxClient.h"
#include "platform/wintypes.h"

// Writes value to groupAddress as EIS type eisType (0: name not known)
// through one tunnelling connection with the configured gateway. Main thread.
void SendCommand(WORD groupAddress, int eisType, int value);
