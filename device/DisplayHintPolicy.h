#pragma once

#include "capture/CanFrame.h"
#include "device/Clock.h"

#include <functional>
#include <optional>
#include <utility>

// Chooses the display hint of each delivered frame.
//
// The screen follows the bus at most RefreshInterval apart: the first frame
// delivered after that time gets 0 ("show now"); frames in between get 2
// ("store without redrawing"). The last frame of a burst must always get 0,
// so that the page never stays stale. A burst's end is only known once no
// further frame follows, so the policy keeps back the most recent frame:
// the next frame releases it (with 2, or 0 when a refresh is due), and if
// none comes within SettleTime it goes out with 0. A frame that arrives
// after a quiet spell is shown at once.
class DisplayHintPolicy {
public:
    using Emit = std::function<void(const CAN_Frame &, int hint)>;

    static constexpr Clock::duration RefreshInterval = std::chrono::milliseconds(40);
    static constexpr Clock::duration SettleTime = std::chrono::milliseconds(20);

    explicit DisplayHintPolicy(Emit deliver) : m_emit(std::move(deliver)) { }

    // A frame ready for delivery at the given time.
    void push(const CAN_Frame &frame, Clock::time_point now);
    // No further frame is at hand: releases the kept frame when its burst
    // has ended (or a refresh is due).
    void settle(Clock::time_point now);
    // Releases the kept frame with 0 whatever the time (closing).
    void finish(Clock::time_point now);
    // When settle() next has something to do; Clock::never() when nothing.
    Clock::time_point deadline() const;
    bool holdsFrame() const { return m_held.has_value(); }

private:
    bool refreshDue(Clock::time_point now) const;
    void show(const CAN_Frame &frame, Clock::time_point now);

    Emit m_emit;
    std::optional<CAN_Frame> m_held;
    Clock::time_point m_heldSince;
    std::optional<Clock::time_point> m_lastShown;
};
