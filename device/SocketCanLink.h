#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the kernel tells about a SocketCAN interface, asked through
// libsocketcan, which is loaded when first needed.
namespace SocketCanLink {

// The interface's bit rate in bit/s; nullopt when libsocketcan is missing,
// the interface is unknown or it has no bit timing (a vcan interface).
std::optional<std::uint32_t> bitrate(const std::string &interfaceName);

} // namespace SocketCanLink
