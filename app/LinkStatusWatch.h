#pragma once

#include <cstdint>

// Decides which readings of the link status the poller hands to the main
// frame. The handler shows the icon for the value and clears the two activity
// bits, so after a hand-over the status should read the cleared value. A
// reading that differs from what the icon shows, or from that cleared value,
// is handed over: a change, the settled value one poll after activity, and
// activity raised again since the last hand-over, which would otherwise keep
// its arrow for good once traffic stops.
class LinkStatusWatch {
public:
    static constexpr std::uint8_t ActivityBits = 0x03;

    bool needsHandOver(std::uint8_t value) const { return value != m_shown || value != m_cleared; }

    void handedOver(std::uint8_t value)
    {
        m_shown = value;
        m_cleared = static_cast<std::uint8_t>(value & ~ActivityBits);
    }

private:
    std::uint8_t m_shown = 0;
    std::uint8_t m_cleared = 0;
};
