#include "device/PeriodicRows.h"

#include <algorithm>

namespace {

BusTime periodOf(std::uint16_t ms)
{
    return std::chrono::milliseconds(ms);
}

} // namespace

bool PeriodicRows::load(int row, const CAN_Frame &frame)
{
    if (!valid(row))
        return false;
    m_rows[row].frame = frame;
    m_rows[row].loaded = true;
    return true;
}

bool PeriodicRows::setPeriod(int row, std::uint16_t periodMs, BusTime now)
{
    if (!valid(row) || periodMs == 0)
        return false;
    Row &r = m_rows[row];
    if (r.running && r.lastSent) {
        // The next frame follows the last one by the new period.
        r.due = std::max(*r.lastSent + periodOf(periodMs), now);
    }
    r.periodMs = periodMs;
    return true;
}

bool PeriodicRows::enable(int row, bool on, BusTime now)
{
    if (!valid(row))
        return false;
    Row &r = m_rows[row];
    if (!on) {
        r.running = false;
        return true;
    }
    if (!r.loaded)
        return false;
    if (!r.running) {
        r.running = true;
        r.due = now;
        r.lastSent.reset();
    }
    return true;
}

bool PeriodicRows::isRunning(int row) const
{
    return valid(row) && m_rows[row].running;
}

std::uint16_t PeriodicRows::periodMs(int row) const
{
    return valid(row) ? m_rows[row].periodMs : 0;
}

void PeriodicRows::skipMissed(BusTime now)
{
    for (Row &r : m_rows) {
        const BusTime period = periodOf(r.periodMs);
        if (r.running && now - r.due >= period)
            r.due += ((now - r.due) / period) * period;
    }
}

BusTime PeriodicRows::nextDue() const
{
    BusTime due = BusTimeNever;
    for (const Row &r : m_rows) {
        if (r.running && r.due < due)
            due = r.due;
    }
    return due;
}

CAN_Frame PeriodicRows::fire(BusTime now)
{
    Row *next = nullptr;
    for (Row &r : m_rows) {
        if (r.running && (next == nullptr || r.due < next->due))
            next = &r;
    }
    if (next == nullptr)
        return {};
    const BusTime period = periodOf(next->periodMs);
    next->lastSent = next->due;
    next->due += period;
    if (now - next->due > MaxBacklog) {
        const auto missed = (now - next->due) / period + 1;
        next->due += missed * period;
    }
    return next->frame;
}
