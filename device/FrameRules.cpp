#include "device/FrameRules.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

void appendBits(std::vector<bool> &bits, std::uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i)
        bits.push_back(((value >> i) & 1U) != 0);
}

std::uint16_t crc15(const std::vector<bool> &bits)
{
    std::uint16_t crc = 0;
    for (const bool bit : bits) {
        const bool feedback = bit != (((crc >> 14) & 1U) != 0);
        crc = static_cast<std::uint16_t>((crc << 1) & 0x7FFF);
        if (feedback)
            crc ^= 0x4599;
    }
    return crc;
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
    // The stuffed part: start of frame to the end of the CRC sequence.
    std::vector<bool> bits;
    bits.reserve(160);
    bits.push_back(false); // start of frame
    if (isExtended(frame)) {
        appendBits(bits, (frame.id >> 18) & 0x7FF, 11);
        bits.push_back(true); // substitute remote request
        bits.push_back(true); // identifier extension
        appendBits(bits, frame.id & 0x3FFFF, 18);
        bits.push_back(isRemote(frame));
        bits.push_back(false); // r1
        bits.push_back(false); // r0
    } else {
        appendBits(bits, frame.id & 0x7FF, 11);
        bits.push_back(isRemote(frame));
        bits.push_back(false); // identifier extension
        bits.push_back(false); // r0
    }
    appendBits(bits, std::min<std::uint32_t>(frame.dlc, 15), 4);
    for (int i = 0; i < dataBytes(frame); ++i)
        appendBits(bits, frame.data[i], 8);
    appendBits(bits, crc15(bits), 15);

    // After five equal bits the transmitter inserts one of the opposite
    // value, which starts the next run.
    int stuffBits = 0;
    int run = 0;
    bool last = !bits.front();
    for (const bool bit : bits) {
        if (bit == last) {
            ++run;
        } else {
            last = bit;
            run = 1;
        }
        if (run == 5) {
            ++stuffBits;
            last = !last;
            run = 1;
        }
    }
    // CRC delimiter, ACK slot and delimiter, end of frame, intermission.
    constexpr int tail = 1 + 2 + 7 + 3;
    return static_cast<int>(bits.size()) + stuffBits + tail;
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
