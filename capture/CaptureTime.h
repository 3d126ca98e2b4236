#pragma once

#include "capture/CanFrame.h"
#include "capture/CanPacket.h"

#include <chrono>
#include <cstdint>
#include <optional>

// Where a capture lies in time: the absolute time, in microseconds since the
// epoch (or since the start of the clock a log was written with), of time
// stamp 0. Frames keep times relative to it, which read well; the logs that
// hold absolute times get them back from it. Empty when nobody knows it, as
// for binary and text logs, which hold the relative times only.
using CaptureStart = std::optional<std::uint64_t>;

inline constexpr std::uint64_t MicrosecondsPerSecond = 1'000'000;

// The wall-clock time now, in microseconds since the epoch: the start of a
// capture that begins now.
inline std::uint64_t wallClockMicroseconds()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
}

// A frame's time stamp in microseconds.
constexpr std::uint64_t packetMicroseconds(const CAN_Packet &packet)
{
    return (packet.timestamp >> 32) * MicrosecondsPerSecond + (packet.timestamp & 0xFFFFFFFF);
}

// A delivered frame's time stamp in microseconds.
constexpr std::uint64_t frameMicroseconds(const CAN_Frame &frame)
{
    return std::uint64_t{frame.timestampHigh} * MicrosecondsPerSecond + frame.timestampLow;
}

// The frame with its time stamp set to micros (seconds beyond 32 bits are
// cut) and its time text made anew for it.
inline CAN_Packet withMicroseconds(const CAN_Packet &p, std::uint64_t micros)
{
    const auto seconds = static_cast<std::uint32_t>(micros / MicrosecondsPerSecond);
    const auto fraction = static_cast<std::uint32_t>(micros % MicrosecondsPerSecond);
    return CAN_Packet(p.number, p.type, p.id, p.dlc, p.data, fraction, seconds, p.dataText,
                      formatTimeText(fraction, seconds));
}
