// The process-wide settings and the reader of the configuration file.
#pragma once

#include <iostream>

#include "platform/afxstring.h"

extern CString g_strMyOwnIpAddress;    // local interface, dotted text as in the file
extern CString g_strGatewayIpAddress;  // gateway, dotted text as in the file
extern int g_nDebugLevel;              // verbosity; above 0 shows the banner

// Reads "Kelvane.ini" from the working directory and sets each setting that
// its [CONFIG] section names; the others keep their values. 1 when the file
// was read to its end (also when empty); 0, after writing
// "Error: File 'Kelvane.ini' not found" to out, when it cannot be opened.
// Main thread, before any command.
int ReadConfigFile(std::ostream& out = std::cout);
