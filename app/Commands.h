// The two commands that the dispatcher runs (the search is the client core's).
#pragma once

#include "core/KnxClient.h"
#include "knx/EisTypes.h"
#include "platform/wintypes.h"

// Exit statuses of kelvane.
enum : int {
    KELVANE_DONE = 0,         // usage text, a search, or a write the gateway acknowledged
    KELVANE_NO_FRAMEWORK = 1, // the framework (or its socket support) cannot start
    KELVANE_USAGE = 2,        // settings missing or incomplete, operands too few or invalid, unknown word, type not supported
    KELVANE_NOT_WRITTEN = 3,  // the gateway did not take the write: no connection, refused, unacknowledged
};

// Writes value to groupAddress as EIS type eisType (0: name not known)
// through one tunnelling connection with the configured gateway; returns
// KELVANE_DONE once the gateway acknowledged the write, otherwise another
// exit status after one line on standard error that names what failed.
// Main thread.
int SendCommand(WORD groupAddress, int eisType, const EisData& value);
