// Windows Sockets must be started before a test makes a socket of its own
// (the scripted gateway, a peer); the program's code starts them only for
// itself. Started once for the whole test program, before any test runs.
#include "platform/wsock.h"

namespace {

const int kSocketsStarted = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}();

}  // namespace
