#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

// Error frames as Linux SocketCAN reports them (the error class in the
// identifier, details in the eight data bytes), folded into the adapter's
// error status: counters, last error code, error mode and error counts.
namespace SocketCanErrors {

// Error classes (identifier bits).
inline constexpr std::uint32_t ControllerProblem = 0x004;
inline constexpr std::uint32_t ProtocolViolation = 0x008;
inline constexpr std::uint32_t NoAcknowledge = 0x020;
inline constexpr std::uint32_t BusOff = 0x040;
inline constexpr std::uint32_t Restarted = 0x100;
inline constexpr std::uint32_t CountersPresent = 0x200;

// Updates the status from one error frame. Returns true when anything changed.
bool apply(std::uint32_t errorClass, const std::uint8_t (&data)[8], CAN_ErrorStatus &status);

} // namespace SocketCanErrors
