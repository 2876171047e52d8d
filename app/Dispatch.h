// Runs the command that the command line names.
#pragma once

#include "platform/wintypes.h"

// Resets and reads the settings, checks both addresses, initialises the
// socket support, prints the banner from level 1 and runs "search" or
// "send GA Type Value" (word in any case; the operands and the gateway
// address are checked first, SendOperands.h). Every failure is one line on
// the console. argv[1] must exist. Main thread.
void DispatchCommand(int argc, char* argv[]);

// Resets and reads the settings, checks both addresses and initialises the
// socket support; false, after the one line that says why, when no command
// can run. Main thread.
bool PrepareCommand();

// The dispatcher runs the commands through these; they point to
// SearchCommand and SendCommand. Tests replace them to watch the hand-over.
extern void (*g_pfnSearchCommand)();
extern void (*g_pfnSendCommand)(WORD groupAddress, int eisType, int value);
