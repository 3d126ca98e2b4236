#include "device/SocketCanLink.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <linux/can/netlink.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// One request with its attributes, built in place.
class Request {
public:
    Request(std::uint16_t type, std::uint16_t flags, int index)
    {
        m_buffer.resize(NLMSG_SPACE(sizeof(ifinfomsg)));
        auto *header = reinterpret_cast<nlmsghdr *>(m_buffer.data());
        header->nlmsg_type = type;
        header->nlmsg_flags = static_cast<std::uint16_t>(NLM_F_REQUEST | flags);
        header->nlmsg_seq = 1;
        auto *info = static_cast<ifinfomsg *>(NLMSG_DATA(header));
        info->ifi_family = AF_UNSPEC;
        info->ifi_index = index;
    }

    ifinfomsg &info() { return *static_cast<ifinfomsg *>(NLMSG_DATA(header())); }

    // Opens a nested attribute; close it with end().
    std::size_t begin(std::uint16_t type) { return add(type, nullptr, 0); }
    void end(std::size_t at)
    {
        reinterpret_cast<rtattr *>(m_buffer.data() + at)->rta_len =
            static_cast<std::uint16_t>(m_buffer.size() - at);
    }

    std::size_t add(std::uint16_t type, const void *data, std::size_t size)
    {
        const std::size_t at = m_buffer.size();
        m_buffer.resize(at + RTA_SPACE(size));
        auto *attribute = reinterpret_cast<rtattr *>(m_buffer.data() + at);
        attribute->rta_type = type;
        attribute->rta_len = static_cast<std::uint16_t>(RTA_LENGTH(size));
        if (size > 0)
            std::memcpy(RTA_DATA(attribute), data, size);
        return at;
    }

    nlmsghdr *header() { return reinterpret_cast<nlmsghdr *>(m_buffer.data()); }
    std::size_t size() const { return m_buffer.size(); }
    const char *data() const { return m_buffer.data(); }

    void finish() { header()->nlmsg_len = static_cast<std::uint32_t>(m_buffer.size()); }

private:
    std::vector<char> m_buffer;
};

class RouteSocket {
public:
    RouteSocket() : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    {
        if (m_fd >= 0) {
            // A kernel that does not answer is not waited for forever.
            timeval timeout{2, 0};
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        }
    }
    ~RouteSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RouteSocket(const RouteSocket &) = delete;
    RouteSocket &operator=(const RouteSocket &) = delete;

    // Sends the request and returns the answer's messages; errorCode is the
    // kernel's answer to an acknowledged request (0 or a negative errno).
    bool exchange(Request &request, std::vector<char> &answer, int &errorCode)
    {
        errorCode = -EIO;
        if (m_fd < 0)
            return false;
        request.finish();
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(m_fd, request.data(), request.size(), 0,
                     reinterpret_cast<const sockaddr *>(&kernel), sizeof kernel)
            < 0) {
            errorCode = -errno;
            return false;
        }
        answer.assign(32768, 0);
        const ssize_t got = ::recv(m_fd, answer.data(), answer.size(), 0);
        if (got <= 0)
            return false;
        answer.resize(static_cast<std::size_t>(got));
        errorCode = 0;
        auto remaining = static_cast<unsigned>(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(answer.data());
             NLMSG_OK(message, remaining); message = NLMSG_NEXT(message, remaining)) {
            if (message->nlmsg_type == NLMSG_ERROR
                && message->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
                errorCode = static_cast<const nlmsgerr *>(NLMSG_DATA(message))->error;
            }
        }
        return true;
    }

private:
    int m_fd = -1;
};

// Calls visit(type, data, size) for each attribute in [data, data + size).
template <typename Visit> void forEachAttribute(const void *data, std::size_t size, Visit visit)
{
    auto length = static_cast<int>(size);
    for (auto *attribute = static_cast<const rtattr *>(data); RTA_OK(attribute, length);
         attribute = RTA_NEXT(attribute, length)) {
        visit(attribute->rta_type, RTA_DATA(attribute),
              static_cast<std::size_t>(RTA_PAYLOAD(attribute)));
    }
}

int indexOf(const std::string &interfaceName)
{
    if (interfaceName.empty() || interfaceName.size() >= IFNAMSIZ)
        return 0;
    return static_cast<int>(::if_nametoindex(interfaceName.c_str()));
}

SocketCanLink::Change changeFrom(int errorCode)
{
    if (errorCode == 0)
        return SocketCanLink::Change::Done;
    if (errorCode == -EPERM || errorCode == -EACCES)
        return SocketCanLink::Change::NotPermitted;
    return SocketCanLink::Change::Failed;
}

SocketCanLink::Change setUp(RouteSocket &socket, int index, bool up)
{
    Request request(RTM_NEWLINK, NLM_F_ACK, index);
    request.info().ifi_change = IFF_UP;
    request.info().ifi_flags = up ? IFF_UP : 0;
    std::vector<char> answer;
    int errorCode = 0;
    socket.exchange(request, answer, errorCode);
    return changeFrom(errorCode);
}

// Sends one CAN setting of the interface's link information.
SocketCanLink::Change setCanAttribute(RouteSocket &socket, int index, std::uint16_t type,
                                      const void *data, std::size_t size)
{
    Request request(RTM_NEWLINK, NLM_F_ACK, index);
    const auto linkInfo = request.begin(IFLA_LINKINFO);
    request.add(IFLA_INFO_KIND, "can", 3);
    const auto infoData = request.begin(IFLA_INFO_DATA);
    request.add(type, data, size);
    request.end(infoData);
    request.end(linkInfo);
    std::vector<char> answer;
    int errorCode = 0;
    socket.exchange(request, answer, errorCode);
    return changeFrom(errorCode);
}

} // namespace

namespace SocketCanLink {

std::optional<LinkStatus> query(const std::string &interfaceName)
{
    const int index = indexOf(interfaceName);
    if (index == 0)
        return std::nullopt;
    RouteSocket socket;
    Request request(RTM_GETLINK, 0, index);
    std::vector<char> answer;
    int errorCode = 0;
    if (!socket.exchange(request, answer, errorCode) || errorCode != 0)
        return std::nullopt;

    std::optional<LinkStatus> status;
    auto remaining = static_cast<unsigned>(answer.size());
    for (auto *message = reinterpret_cast<const nlmsghdr *>(answer.data());
         NLMSG_OK(message, remaining); message = NLMSG_NEXT(message, remaining)) {
        if (message->nlmsg_type != RTM_NEWLINK
            || message->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg)))
            continue;
        const auto *info = static_cast<const ifinfomsg *>(NLMSG_DATA(message));
        if (info->ifi_index != index)
            continue;
        LinkStatus link;
        link.up = (info->ifi_flags & IFF_UP) != 0;
        forEachAttribute(
            IFLA_RTA(info), IFLA_PAYLOAD(message),
            [&](int type, const void *data, std::size_t size) {
                if (type == IFLA_MTU && size >= sizeof link.mtu)
                    std::memcpy(&link.mtu, data, sizeof link.mtu);
                if (type != IFLA_LINKINFO)
                    return;
                forEachAttribute(
                    data, size, [&](int infoType, const void *infoData, std::size_t infoSize) {
                        if (infoType != IFLA_INFO_DATA)
                            return;
                        forEachAttribute(
                            infoData, infoSize,
                            [&](int canType, const void *value, std::size_t valueSize) {
                                if (canType == IFLA_CAN_BITTIMING
                                    && valueSize >= sizeof(can_bittiming)) {
                                    can_bittiming timing;
                                    std::memcpy(&timing, value, sizeof timing);
                                    if (timing.bitrate != 0)
                                        link.bitrate = timing.bitrate;
                                } else if (canType == IFLA_CAN_STATE
                                           && valueSize >= sizeof(std::uint32_t)) {
                                    std::uint32_t state = 0;
                                    std::memcpy(&state, value, sizeof state);
                                    if (state <= CAN_STATE_SLEEPING)
                                        link.state = static_cast<BusState>(state);
                                } else if (canType == IFLA_CAN_BERR_COUNTER
                                           && valueSize >= sizeof(can_berr_counter)) {
                                    can_berr_counter counter;
                                    std::memcpy(&counter, value, sizeof counter);
                                    link.tec = counter.txerr;
                                    link.rec = counter.rxerr;
                                } else if (canType == IFLA_CAN_RESTART_MS
                                           && valueSize >= sizeof(std::uint32_t)) {
                                    std::memcpy(&link.restartMs, value, sizeof link.restartMs);
                                }
                            });
                    });
            });
        status = link;
    }
    return status;
}

std::optional<std::uint32_t> bitrate(const std::string &interfaceName)
{
    const auto link = query(interfaceName);
    return link ? link->bitrate : std::nullopt;
}

Change setBitrate(const std::string &interfaceName, std::uint32_t bitsPerSecond)
{
    const auto link = query(interfaceName);
    if (!link)
        return Change::Failed;
    const int index = indexOf(interfaceName);
    RouteSocket socket;
    // The kernel takes a new rate only while the interface is down.
    if (link->up) {
        const Change down = setUp(socket, index, false);
        if (down != Change::Done)
            return down;
    }
    can_bittiming timing{};
    timing.bitrate = bitsPerSecond;
    const Change set = setCanAttribute(socket, index, IFLA_CAN_BITTIMING, &timing, sizeof timing);
    // Up again in any case, at the old rate if the new one was refused.
    if (link->up) {
        const Change up = setUp(socket, index, true);
        if (set == Change::Done)
            return up;
    }
    return set;
}

Change restart(const std::string &interfaceName)
{
    const int index = indexOf(interfaceName);
    if (index == 0)
        return Change::Failed;
    RouteSocket socket;
    const std::uint32_t one = 1;
    return setCanAttribute(socket, index, IFLA_CAN_RESTART, &one, sizeof one);
}

std::string bitrateCommand(const std::string &interfaceName, std::uint32_t bitsPerSecond)
{
    const std::string link = "ip link set " + interfaceName;
    return link + " down; " + link + " type can bitrate " + std::to_string(bitsPerSecond) + "; "
        + link + " up";
}

} // namespace SocketCanLink
