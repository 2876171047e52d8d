#include "net/SocketErrorText.h"

namespace {

struct ErrorText {
    int nCode;
    const char* pszText;
};

// The WSA names are padded to 17 characters so that console lines built
// from them line up; the other texts are not.
const ErrorText s_errorTexts[] = {
    {10004, "WSAEINTR         "},        {10013, "WSAEACCES        "}, {10014, "WSAEFAULT        "},
    {10022, "WSAEINVAL        "},        {10035, "WSAEWOULDBLOCK   "}, {10036, "WSAEINPROGRESS   "},
    {10038, "WSAENOTSOCK      "},        {10039, "WSAEDESTADDRREQ  "}, {10040, "WSAEMSGSIZE      "},
    {10045, "WSAEOPNOTSUPP    "},        {10047, "WSAEAFNOSUPPORT  "}, {10049, "WSAEADDRNOTAVAIL "},
    {10050, "WSAENETDOWN      "},        {10051, "WSAENETUNREACH   "}, {10052, "WSAENETRESET     "},
    {10053, "WSAECONNABORTED  "},        {10054, "WSAECONNRESET    "}, {10055, "WSAENOBUFS       "},
    {10057, "WSAENOTCONN      "},        {10058, "WSAESHUTDOWN     "}, {10060, "WSAETIMEDOUT     "},
    {10061, "connection refused"},       {10065, "WSAEHOSTUNREACH  "}, {10093, "WSANOTINITIALISED"},
    {99000, "cannot reach (ping) host"},  // the program's own code, not a WSA one
};

}  // namespace

CString SocketErrorText(int code)
{
    for (const ErrorText& entry : s_errorTexts)
        if (entry.nCode == code) return CString(entry.pszText);
    return CString("undefined socket error");
}
