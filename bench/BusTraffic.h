#pragma once

#include "capture/CanFrame.h"

#include <cstdint>

namespace bench {

// Frame n of a plausible bus: a few dozen identifiers, mostly eight-byte data
// frames, some transmitted, some remote, some extended, so that rows change kind.
inline CAN_Frame busFrame(std::uint32_t n)
{
    CAN_Frame frame;
    frame.type = 0x04;
    if (n % 7 == 0)
        frame.type |= 0x10;
    if (n % 29 == 0)
        frame.type |= 0x01;
    if (n % 3 == 0)
        frame.type |= 0x02;
    frame.id = 0x100 + (n * 37) % 48;
    frame.dlc = 8;
    for (int i = 0; i < 8; ++i)
        frame.data[i] = static_cast<std::uint8_t>(n >> i);
    frame.timestampHigh = n / 20000;
    frame.timestampLow = (n % 20000) * 50;
    return frame;
}

} // namespace bench
