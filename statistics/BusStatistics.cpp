#include "statistics/BusStatistics.h"

#include "capture/CanBitStream.h"
#include "capture/CanPacket.h"

#include <algorithm>
#include <cmath>
#include <cstring>

void BusStatistics::CycleTime::add(std::int64_t us)
{
    last = us;
    if (intervals++ == 0) {
        min = us;
        max = us;
        first = us;
        return;
    }
    min = std::min(min, us);
    max = std::max(max, us);
    const auto deviation = static_cast<double>(us - first);
    sum += deviation;
    squares += deviation * deviation;
}

double BusStatistics::CycleTime::mean() const
{
    return intervals == 0 ? 0.0 : static_cast<double>(first) + sum / static_cast<double>(intervals);
}

double BusStatistics::CycleTime::jitter() const
{
    if (intervals == 0)
        return 0.0;
    const auto n = static_cast<double>(intervals);
    return std::sqrt(std::max(0.0, (squares - sum * sum / n) / n));
}

namespace {

constexpr int InitialIndexBits = 9;

} // namespace

BusStatistics::RowIndex::RowIndex()
{
    clear();
}

void BusStatistics::RowIndex::clear()
{
    m_keys.assign(std::size_t{1} << InitialIndexBits, 0);
    m_rows.assign(m_keys.size(), 0);
    m_used = 0;
    m_shift = 64 - InitialIndexBits;
}

std::size_t BusStatistics::RowIndex::slotOf(std::uint64_t key) const
{
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> m_shift);
}

std::int64_t BusStatistics::RowIndex::find(std::uint64_t key) const
{
    const std::size_t mask = m_keys.size() - 1;
    for (std::size_t slot = slotOf(key);; slot = (slot + 1) & mask) {
        if (m_keys[slot] == key + 1)
            return m_rows[slot];
        if (m_keys[slot] == 0)
            return -1;
    }
}

void BusStatistics::RowIndex::insert(std::uint64_t key, std::uint32_t row)
{
    if (2 * (m_used + 1) > m_keys.size())
        grow();
    const std::size_t mask = m_keys.size() - 1;
    std::size_t slot = slotOf(key);
    while (m_keys[slot] != 0)
        slot = (slot + 1) & mask;
    m_keys[slot] = key + 1;
    m_rows[slot] = row;
    ++m_used;
}

void BusStatistics::RowIndex::grow()
{
    std::vector<std::uint64_t> keys(m_keys.size() * 2, 0);
    std::vector<std::uint32_t> rows(keys.size(), 0);
    keys.swap(m_keys);
    rows.swap(m_rows);
    --m_shift;
    m_used = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != 0)
            insert(keys[i] - 1, rows[i]);
    }
}

BusStatistics::BusStatistics()
{
    m_rows.reserve(256);
}

BusStatistics::Row *BusStatistics::rowFor(std::uint8_t kind, std::uint32_t id)
{
    const std::uint64_t key = (std::uint64_t{kind} << 32) | id;
    if (const std::int64_t found = m_index.find(key); found >= 0)
        return &m_rows[static_cast<std::size_t>(found)];
    if (m_rows.size() >= MaxRows)
        return nullptr;
    m_index.insert(key, static_cast<std::uint32_t>(m_rows.size()));
    Row &row = m_rows.emplace_back();
    row.kind = kind;
    row.id = id;
    return &row;
}

void BusStatistics::addFrame(const CAN_Frame &frame)
{
    addFrame(frame.type, frame.id, frame.dlc, frame.data,
             timeUs(frame.timestampHigh, frame.timestampLow));
}

void BusStatistics::addFrame(std::uint8_t type, std::uint32_t id, std::uint8_t dlc,
                             const std::uint8_t (&data)[8], std::int64_t timeUs)
{
    const int bits = CanBitStream::bitCount(type, id, dlc, data);
    ++m_frames;
    m_bits += static_cast<std::uint64_t>(bits);

    // A frame much older than the latest means the bus time was reset.
    if (!m_timed || timeUs < m_latest - BusLoadWindow::WindowUs) {
        newTimeBase(timeUs);
    } else if (timeUs > m_latest) {
        m_measured += timeUs - m_latest;
        m_latest = timeUs;
    }
    m_now = std::max(m_now, timeUs);
    m_load.add(timeUs, bits);

    Row *row = rowFor(type & FrameType::KindMask, id);
    if (row == nullptr) {
        ++m_unlisted;
        return;
    }
    ++row->count;
    if ((type & FrameType::Transmitted) != 0)
        ++row->txCount;
    row->type = type;
    row->dlc = dlc;
    std::memcpy(row->data, data, sizeof row->data);
    row->bits += static_cast<std::uint64_t>(bits);
    if (row->timeBase == m_timeBase && timeUs >= row->lastTime)
        row->cycle.add(timeUs - row->lastTime);
    row->lastTime = timeUs;
    row->timeBase = m_timeBase;
}

void BusStatistics::newTimeBase(std::int64_t timeUs)
{
    ++m_timeBase;
    m_timed = true;
    m_latest = timeUs;
    m_now = timeUs;
    m_anchored = false;
    m_load.clear();
}

void BusStatistics::setLogBitrate(std::uint32_t bitsPerSecond)
{
    m_logBitrate = bitsPerSecond;
    if (m_ofLog && bitsPerSecond != 0)
        m_bitrate = bitsPerSecond;
}

void BusStatistics::replaceWith(const std::vector<CAN_Packet> &frames)
{
    clear();
    m_ofLog = true;
    if (m_logBitrate != 0)
        m_bitrate = m_logBitrate;
    for (const CAN_Packet &p : frames)
        addFrame(p.type, p.id, p.dlc, p.data,
                 timeUs(static_cast<std::uint32_t>(p.timestamp >> 32),
                        static_cast<std::uint32_t>(p.timestamp)));
}

void BusStatistics::clear()
{
    m_rows.clear();
    m_index.clear();
    ++m_generation;
    m_frames = 0;
    m_bits = 0;
    m_unlisted = 0;
    m_measured = 0;
    restartTiming();
}

void BusStatistics::restartTiming()
{
    // The next frame opens a new time base; no row's latest time belongs to it.
    ++m_timeBase;
    m_timed = false;
    m_latest = 0;
    m_now = 0;
    m_anchored = false;
    m_load.clear();
}

void BusStatistics::advanceClock(std::int64_t wallUs)
{
    if (!m_timed)
        return;
    if (!m_anchored || m_frames != m_framesAtAnchor) {
        m_anchored = true;
        m_framesAtAnchor = m_frames;
        m_anchorBus = m_latest;
        m_anchorWall = wallUs;
    }
    m_now = std::max(m_latest, m_anchorBus + std::max<std::int64_t>(0, wallUs - m_anchorWall));
}

std::optional<double> BusStatistics::percentOf(double bits, std::int64_t us) const
{
    if (m_bitrate == 0 || us <= 0)
        return std::nullopt;
    return bits * 1e8 / (static_cast<double>(m_bitrate) * static_cast<double>(us));
}

std::optional<double> BusStatistics::loadPercent() const
{
    if (m_bitrate == 0)
        return std::nullopt;
    if (m_load.empty())
        return 0.0;
    return percentOf(m_load.bitsInWindow(m_now), BusLoadWindow::WindowUs);
}

std::optional<double> BusStatistics::meanLoadPercent() const
{
    return percentOf(static_cast<double>(m_bits), m_measured);
}

std::optional<double> BusStatistics::sharePercent(const Row &row) const
{
    return percentOf(static_cast<double>(row.bits), m_measured);
}

std::vector<BusStatistics::LoadSample> BusStatistics::loadHistory(std::int64_t spanUs,
                                                                  std::int64_t stepUs) const
{
    std::vector<LoadSample> samples;
    if (m_bitrate == 0 || m_load.empty() || stepUs <= 0)
        return samples;
    // Only windows the frames cover whole, and the one that ends now.
    const std::int64_t from =
        std::max(m_now - spanUs, m_load.firstTime() + BusLoadWindow::WindowUs);
    std::int64_t t = from % stepUs == 0 ? from : (from / stepUs + 1) * stepUs;
    if (t < m_now)
        samples.reserve(static_cast<std::size_t>((m_now - t) / stepUs + 1));
    for (; t < m_now; t += stepUs)
        samples.push_back({m_now - t, *percentOf(m_load.bitsInWindow(t), BusLoadWindow::WindowUs)});
    samples.push_back({0, *loadPercent()});
    return samples;
}
