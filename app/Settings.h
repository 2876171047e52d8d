// The process-wide settings and the reader of the configuration file.
#pragma once

#include <iostream>

#include "platform/afxstring.h"

extern CString g_strMyOwnIpAddress;    // local interface, dotted text as in the file
extern CString g_strGatewayIpAddress;  // gateway, dotted text as in the file
extern int g_nDebugLevel;              // verbosity; above 0 shows the banner

// Reads the first "Kelvane.ini" found (the working directory's; then, on
// Windows, the program's folder's and %APPDATA%\Kelvane\'s, elsewhere
// $XDG_CONFIG_HOME/kelvane/'s, by default ~/.config/kelvane/'s, and
// /etc/kelvane/'s) and sets each setting that its [CONFIG] section names;
// the others keep their values. Only a regular file counts, and only its
// first 64 KiB are read. 1 when the file was read (also when empty); 0,
// after writing "Error: File 'Kelvane.ini' not found" to out, when none
// can be opened. Main thread, before any command.
int ReadConfigFile(std::ostream& out = std::cout);
