#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the kernel tells about a SocketCAN interface, and the changes the
// program makes to one, through the kernel's routing socket (rtnetlink). No
// call prints anything: failures come back as results.
namespace SocketCanLink {

// The controller's state as the kernel reports it.
enum class BusState { ErrorActive, ErrorWarning, ErrorPassive, BusOff, Stopped, Sleeping };

struct LinkStatus {
    bool up = false;
    // In bit/s; nullopt for an interface without bit timing (vcan).
    std::optional<std::uint32_t> bitrate;
    std::optional<BusState> state;
    // The controller's transmit and receive error counters, where the driver
    // reports them.
    std::optional<std::uint16_t> tec;
    std::optional<std::uint16_t> rec;
    // The delay of the kernel's automatic restart after bus-off; 0 when off.
    std::uint32_t restartMs = 0;
    // The largest frame it carries: 72 bytes where it takes CAN FD frames.
    std::uint32_t mtu = 0;
};

// nullopt when there is no interface of that name.
std::optional<LinkStatus> query(const std::string &interfaceName);

// The interface's bit rate in bit/s; nullopt when it is unknown or the
// interface has no bit timing.
std::optional<std::uint32_t> bitrate(const std::string &interfaceName);

enum class Change { Done, NotPermitted, Failed };

// Brings the interface down, sets the bit rate and brings it up again. An
// interface that was down stays down. NotPermitted: the process lacks the
// right to configure network interfaces (CAP_NET_ADMIN).
Change setBitrate(const std::string &interfaceName, std::uint32_t bitsPerSecond);

// Restarts a controller that is bus-off.
Change restart(const std::string &interfaceName);

// The commands an administrator runs to give the interface a bit rate.
std::string bitrateCommand(const std::string &interfaceName, std::uint32_t bitsPerSecond);

} // namespace SocketCanLink
