#pragma once

#include <cstdint>

// The link icon in the status bar: a lamp (grey without a link, green when
// connected, red on bus errors) with arrows for receive and transmit activity.
enum class LinkLamp { Grey, Green, Red };

struct LinkIconLook {
    LinkLamp lamp = LinkLamp::Grey;
    bool receiveArrow = false;  // pointing left; blue on green, yellow on red
    bool transmitArrow = false; // pointing right

    friend bool operator==(const LinkIconLook &, const LinkIconLook &) = default;
};

// The icon for a link status value (bit 0 receive, bit 1 transmit, bit 2 bus
// error, bit 3 connected).
constexpr LinkIconLook linkIconFor(std::uint8_t value)
{
    if (value == 0)
        return {LinkLamp::Grey, false, false};
    if (value < 8 || value > 15)
        return {LinkLamp::Green, false, false};
    const LinkLamp lamp = (value & 0x04) ? LinkLamp::Red : LinkLamp::Green;
    return {lamp, (value & 0x01) != 0, (value & 0x02) != 0};
}
