#include "device/DisplayHintPolicy.h"

#include "capture/WindowMessages.h"

bool DisplayHintPolicy::refreshDue(Clock::time_point now) const
{
    return !m_lastShown || now - *m_lastShown >= RefreshInterval;
}

void DisplayHintPolicy::show(const CAN_Frame &frame, Clock::time_point now)
{
    m_lastShown = now;
    m_emit(frame, DisplayHint::ShowNow);
}

void DisplayHintPolicy::push(const CAN_Frame &frame, Clock::time_point now)
{
    if (m_held) {
        const CAN_Frame previous = *m_held;
        m_held.reset();
        if (refreshDue(now))
            show(previous, now);
        else
            m_emit(previous, DisplayHint::StoreQuietly);
    }
    m_held = frame;
    m_heldSince = now;
}

void DisplayHintPolicy::settle(Clock::time_point now)
{
    if (m_held && (refreshDue(now) || now - m_heldSince >= SettleTime))
        finish(now);
}

void DisplayHintPolicy::finish(Clock::time_point now)
{
    if (!m_held)
        return;
    const CAN_Frame frame = *m_held;
    m_held.reset();
    show(frame, now);
}

Clock::time_point DisplayHintPolicy::deadline() const
{
    if (!m_held)
        return Clock::never();
    const auto settled = m_heldSince + SettleTime;
    if (!m_lastShown)
        return m_heldSince;
    return std::min(settled, *m_lastShown + RefreshInterval);
}
