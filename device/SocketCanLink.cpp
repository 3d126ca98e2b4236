#include "device/SocketCanLink.h"

#include <dlfcn.h>
#include <linux/can/netlink.h>
#include <net/if.h>

namespace {

using GetBittiming = int (*)(const char *name, struct can_bittiming *timing);

GetBittiming getBittiming()
{
    // Loaded once and kept for the life of the process.
    static const GetBittiming function = []() -> GetBittiming {
        void *library = dlopen("libsocketcan.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        return reinterpret_cast<GetBittiming>(dlsym(library, "can_get_bittiming"));
    }();
    return function;
}

} // namespace

namespace SocketCanLink {

std::optional<std::uint32_t> bitrate(const std::string &interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return std::nullopt;
    const GetBittiming get = getBittiming();
    if (!get)
        return std::nullopt;
    struct can_bittiming timing = {};
    if (get(interfaceName.c_str(), &timing) != 0 || timing.bitrate == 0)
        return std::nullopt;
    return timing.bitrate;
}

} // namespace SocketCanLink
