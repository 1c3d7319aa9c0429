#include "platform/Internet.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tolvak {

bool CzyJestInternet() {
    if (const char* forced = std::getenv("TOLVAK_ONLINE")) {
        if (std::strcmp(forced, "1") == 0) return true;
        if (std::strcmp(forced, "0") == 0) return false;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> guard(list, &freeifaddrs);
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr) continue;
        const int family = a->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        const unsigned flags = a->ifa_flags;
        if ((flags & IFF_UP) == 0 || (flags & IFF_RUNNING) == 0) continue;
        if ((flags & IFF_LOOPBACK) != 0) continue;
        return true;
    }
    return false;
}

}  // namespace tolvak
