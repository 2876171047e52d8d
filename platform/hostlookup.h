// Stands in for gethostbyname of the host's own name: the IPv4 addresses of its adapters, as
// Windows answers (the resolver here would give loopback). On Windows the system's own.
#pragma once

#ifdef _WIN32
#include "platform/wsock.h"
namespace win {
using ::gethostbyname;
using ::hostent;
}  // namespace win
#else
#include <unistd.h>  // gethostname

namespace win {
struct hostent {
    char** h_addr_list;  // 4-byte addresses in network byte order, null-terminated
};
// name must be the host's own (gethostname): the IPv4 addresses of the interfaces that are up,
// loopback excluded; null on failure. Valid until this thread's next call.
hostent* gethostbyname(const char* name);
}  // namespace win
#endif
