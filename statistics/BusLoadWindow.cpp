#include "statistics/BusLoadWindow.h"

#include <algorithm>

namespace {

constexpr std::int64_t WindowBuckets = BusLoadWindow::WindowUs / BusLoadWindow::BucketUs;

std::size_t slot(std::int64_t index)
{
    return static_cast<std::size_t>(index) & (BusLoadWindow::BucketCount - 1);
}

// Floor division: bus times are not negative, but nothing here relies on it.
std::int64_t bucketOf(std::int64_t timeUs)
{
    const std::int64_t q = timeUs / BusLoadWindow::BucketUs;
    return timeUs % BusLoadWindow::BucketUs < 0 ? q - 1 : q;
}

} // namespace

static_assert((BusLoadWindow::BucketCount & (BusLoadWindow::BucketCount - 1)) == 0);

BusLoadWindow::BusLoadWindow() : m_buckets(BucketCount, 0) { }

void BusLoadWindow::clear()
{
    std::fill(m_buckets.begin(), m_buckets.end(), 0);
    m_empty = true;
    m_newest = 0;
    m_first = 0;
    m_latest = 0;
}

void BusLoadWindow::add(std::int64_t timeUs, int bits)
{
    const std::int64_t index = bucketOf(timeUs);
    if (m_empty || index < m_newest - WindowBuckets) {
        if (!m_empty)
            std::fill(m_buckets.begin(), m_buckets.end(), 0);
        m_empty = false;
        m_newest = index;
        m_first = timeUs;
        m_latest = timeUs;
    } else if (index > m_newest) {
        if (index - m_newest >= BucketCount) {
            std::fill(m_buckets.begin(), m_buckets.end(), 0);
        } else {
            for (std::int64_t i = m_newest + 1; i <= index; ++i)
                m_buckets[slot(i)] = 0;
        }
        m_newest = index;
    }
    m_first = std::min(m_first, timeUs);
    m_latest = std::max(m_latest, timeUs);
    m_buckets[slot(index)] += static_cast<std::uint64_t>(bits);
}

std::uint64_t BusLoadWindow::bucket(std::int64_t index) const
{
    if (m_empty || index > m_newest || index <= m_newest - BucketCount)
        return 0;
    return m_buckets[slot(index)];
}

double BusLoadWindow::bitsInWindow(std::int64_t endUs) const
{
    const std::int64_t last = bucketOf(endUs);
    if (endUs < m_latest) {
        std::uint64_t bits = 0;
        for (std::int64_t i = last - WindowBuckets; i < last; ++i)
            bits += bucket(i);
        return static_cast<double>(bits);
    }
    const double into = static_cast<double>(endUs - last * BucketUs) / BucketUs;
    std::uint64_t whole = 0;
    for (std::int64_t i = last - WindowBuckets + 1; i <= last; ++i)
        whole += bucket(i);
    return static_cast<double>(whole)
        + (1.0 - into) * static_cast<double>(bucket(last - WindowBuckets));
}
