// The host-name lookup as the original platform answers it for the host's own
// name: the IPv4 addresses of its network adapters. Here the resolver would
// give the loopback alias instead, so the stand-in asks the interfaces (on
// Windows the adapter list, so both builds answer alike). gethostname is the
// system's (on Windows it needs Windows Sockets started).
#pragma once

#ifdef _WIN32
#include "platform/wsock.h"
#else
#include <unistd.h>
#endif

namespace win {

struct hostent {
    char* h_name;
    char** h_aliases;
    short h_addrtype;
    short h_length;
    char** h_addr_list;  // 4-byte addresses in network byte order, null-terminated
};

// For the host's own name (as gethostname gives it): the IPv4 addresses of
// the interfaces that are up, loopback excluded, in the system's interface
// order. Any other name, or a failure: null. The result stays valid until
// the next call on the same thread.
hostent* gethostbyname(const char* name);

}  // namespace win
