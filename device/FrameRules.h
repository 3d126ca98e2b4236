#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

// What the adapter makes of the frames it is handed and of the frames it sees
// on the bus: which can be sent, how long they occupy the bus, how they are
// reported back and whether they match the response function's trigger.
namespace FrameRules {

inline constexpr std::uint32_t MaxStandardId = 0x7FF;
inline constexpr std::uint32_t MaxExtendedId = 0x1FFFFFFF;

// A frame the controller can put on the bus: an identifier within its
// format's range and a DLC of 0 to 8.
bool isTransmittable(const CAN_Frame &frame);

// The bits the frame occupies on the bus, from the start-of-frame bit to the
// end of the intermission that follows it, with the stuff bits that its
// identifier, control field, data and CRC actually need.
int bitCount(const CAN_Frame &frame);

// The frame as the adapter reports it after sending it: frame bit and
// transmitted bit set, the kind kept, the data bytes beyond the DLC (and all
// of a remote frame's) cleared.
CAN_Frame transmittedRecord(const CAN_Frame &frame);

// The frame as the adapter reports it after receiving it.
CAN_Frame receivedRecord(const CAN_Frame &frame);

// True when a received frame matches a trigger: the same kind, identifier and
// DLC, and for a data frame the same first DLC data bytes.
bool matchesTrigger(const CAN_Frame &trigger, const CAN_Frame &frame);

} // namespace FrameRules
