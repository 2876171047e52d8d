// The win:: socket wrappers on Windows: the system's own calls, which already
// behave as the program expects (a too-long datagram is consumed and
// reported as WSAEMSGSIZE; 255.255.255.255 is no address to bind;
// SO_DONTROUTE is accepted and has no effect).
#include "platform/wsock.h"

namespace win {

int recvfrom(SOCKET s, char* buffer, int length, int flags, sockaddr* from, socklen_t* fromLength)
{
    return ::recvfrom(s, buffer, length, flags, from, fromLength);
}

int bind(SOCKET s, const sockaddr* address, socklen_t length) { return ::bind(s, address, length); }

int setsockopt(SOCKET s, int level, int name, const void* value, socklen_t length)
{
    return ::setsockopt(s, level, name, static_cast<const char*>(value), length);
}

}  // namespace win
