// The two commands that the dispatcher runs (the search is the client core's).
#pragma once

#include "core/KnxClient.h"
#include "knx/EisTypes.h"
#include "platform/wintypes.h"

// Writes value (encoded as EIS type eisType; 0: name not known, no value)
// to groupAddress through one tunnelling connection with the configured
// gateway. Main thread.
void SendCommand(WORD groupAddress, int eisType, const EisData& value);
