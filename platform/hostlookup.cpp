#include "platform/hostlookup.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

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

}  // namespace

hostent* gethostbyname(const char* name)
{
    if (name == nullptr || OwnHostName() != name) return nullptr;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) return nullptr;
    HostEntry& host = t_host;
    host.name = name;
    host.addresses.clear();
    for (ifaddrs* it = interfaces; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        host.addresses.push_back(reinterpret_cast<sockaddr_in*>(it->ifa_addr)->sin_addr);
    }
    freeifaddrs(interfaces);
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
