#pragma once

#include "capture/CanFrame.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

// A frame record of the given kind, identifier, DLC and leading data bytes.
inline CAN_Frame frameOf(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                         std::initializer_list<std::uint8_t> data = {})
{
    CAN_Frame f;
    f.type = type;
    f.id = id;
    f.dlc = dlc;
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 8), f.data);
    return f;
}

// The frame with the time stamp seconds and microseconds.
inline CAN_Frame stampedAt(CAN_Frame frame, std::uint32_t seconds, std::uint32_t microseconds)
{
    frame.timestampHigh = seconds;
    frame.timestampLow = microseconds;
    return frame;
}

// The numbers first to last, inclusive.
inline std::vector<std::uint32_t> numberRange(std::uint32_t first, std::uint32_t last)
{
    std::vector<std::uint32_t> numbers;
    for (std::uint32_t n = first; n <= last; ++n)
        numbers.push_back(n);
    return numbers;
}
