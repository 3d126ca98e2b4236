#include "device/FrameRules.h"

#include "capture/CanBitStream.h"

#include <algorithm>
#include <cstring>

namespace FrameRules {

namespace {

bool isRemote(const CAN_Frame &frame)
{
    return (frame.type & FrameType::Remote) != 0;
}

bool isExtended(const CAN_Frame &frame)
{
    return (frame.type & FrameType::Extended) != 0;
}

int dataBytes(const CAN_Frame &frame)
{
    return isRemote(frame) ? 0 : std::min<int>(frame.dlc, 8);
}

CAN_Frame cleanRecord(const CAN_Frame &frame, std::uint8_t direction)
{
    CAN_Frame out;
    out.type = static_cast<std::uint8_t>((frame.type & FrameType::KindMask) | FrameType::FrameBit
                                         | direction);
    out.id = frame.id;
    out.dlc = frame.dlc;
    std::memcpy(out.data, frame.data, static_cast<std::size_t>(dataBytes(frame)));
    out.timestampLow = frame.timestampLow;
    out.timestampHigh = frame.timestampHigh;
    return out;
}

} // namespace

bool isTransmittable(const CAN_Frame &frame)
{
    if (frame.dlc > 8)
        return false;
    return frame.id <= (isExtended(frame) ? MaxExtendedId : MaxStandardId);
}

int bitCount(const CAN_Frame &frame)
{
    return CanBitStream::bitCount(frame.type, frame.id, frame.dlc, frame.data);
}

CAN_Frame transmittedRecord(const CAN_Frame &frame)
{
    return cleanRecord(frame, FrameType::Transmitted);
}

CAN_Frame receivedRecord(const CAN_Frame &frame)
{
    return cleanRecord(frame, 0);
}

bool matchesTrigger(const CAN_Frame &trigger, const CAN_Frame &frame)
{
    if ((trigger.type & FrameType::KindMask) != (frame.type & FrameType::KindMask))
        return false;
    if (trigger.id != frame.id || trigger.dlc != frame.dlc)
        return false;
    const int bytes = dataBytes(frame);
    return std::memcmp(trigger.data, frame.data, static_cast<std::size_t>(bytes)) == 0;
}

} // namespace FrameRules
