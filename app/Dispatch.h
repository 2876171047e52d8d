// Runs the command that the command line names.
#pragma once

#include <iostream>

#include "knx/EisTypes.h"
#include "platform/wintypes.h"

// Each program's first step: starts the framework; false, after the line on
// standard error that says so, when it cannot (the program then exits with 1).
bool StartFramework();

// Resets and reads the settings, checks both addresses, initialises the
// socket support, prints the banner from level 1 and runs "search" or
// "send GA Type Value" (word in any case; the operands and the gateway
// address are checked first, SendOperands.h). Returns the exit status
// (Commands.h); a failure writes its line on standard output as ever, and
// one more on standard error that names what failed. argv[1] must exist.
// Main thread.
int DispatchCommand(int argc, char* argv[]);

// What PrepareCommand found.
enum class Prepared { kReady, kNoFile, kNoLocalAddress, kNoGatewayAddress, kNoSockets };

// Resets and reads the settings, checks both addresses and initialises the
// socket support; kReady, or after the one line to out that says why, what
// keeps a command from running. Main thread.
Prepared PrepareCommand(std::ostream& out);

// What a command line asks for: the command word (whole, in any case) and,
// for send, its operands as typed and as parsed. Extra arguments are ignored.
struct CommandLine {
    enum Kind { kNone, kSearch, kSend, kTooFewOperands } kind = kNone;
    const char* groupAddressText = nullptr;  // kSend: argv[2], argv[4] as typed
    const char* valueText = nullptr;
    WORD groupAddress = 0;
    int eisType = 0;  // 0: a type name that is not known
    EisData value;  // length 0: no value of the type (or no type)
};

// Parses argv (argv[1] must exist); prints nothing and runs nothing.
CommandLine ParseCommandLine(int argc, char* argv[]);
