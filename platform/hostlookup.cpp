#ifdef _WIN32
// First, before our headers keep the window manager's names out: the adapter
// list's headers need them, and this file uses no window stand-in.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#endif

#include "platform/hostlookup.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>
#endif

#include <cstring>
#include <string>
#include <vector>

namespace win {

namespace {

struct HostEntry {
    std::string name;
    std::vector<in_addr> addresses;
    std::vector<char*> addressList;
    char* noAliases[1] = {nullptr};
    hostent entry{};
};

thread_local HostEntry t_host;

std::string OwnHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}

#ifdef _WIN32
// The adapters' IPv4 unicast addresses. The list may grow between the size
// query and the call, so the call is repeated with the size asked for.
bool OwnAddresses(std::vector<in_addr>& addresses)
{
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<unsigned char> list;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        list.resize(size);
        result = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(list.data()), &size);
    }
    if (result != ERROR_SUCCESS) return false;
    for (auto* it = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(list.data()); it != nullptr; it = it->Next) {
        if (it->OperStatus != IfOperStatusUp || it->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* unicast = it->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) continue;
            addresses.push_back(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
        }
    }
    return true;
}
#else
bool OwnAddresses(std::vector<in_addr>& addresses)
{
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return false;
    for (ifaddrs* it = interfaces; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        addresses.push_back(reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr);
    }
    freeifaddrs(interfaces);
    return true;
}
#endif

}  // namespace

hostent* gethostbyname(const char* name)
{
    if (name == nullptr || OwnHostName() != name) return nullptr;
    HostEntry& host = t_host;
    host.addresses.clear();
    if (!OwnAddresses(host.addresses)) return nullptr;
    host.name = name;
    host.addressList.clear();
    for (in_addr& address : host.addresses) host.addressList.push_back(reinterpret_cast<char*>(&address));
    host.addressList.push_back(nullptr);
    host.entry.h_name = &host.name[0];
    host.entry.h_aliases = host.noAliases;
    host.entry.h_addrtype = AF_INET;
    host.entry.h_length = sizeof(in_addr);
    host.entry.h_addr_list = host.addressList.data();
    return &host.entry;
}

}  // namespace win
