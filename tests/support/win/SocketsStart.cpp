// Windows Sockets started once, before any test runs, for the tests' own sockets (the scripted gateway, a
// peer): the program's code starts them only for itself.
#include "platform/wsock.h"

static const int kSocketsStarted = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}();
