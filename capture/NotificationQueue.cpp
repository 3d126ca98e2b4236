#include "capture/NotificationQueue.h"

void NotificationQueue::setMinimumInterval(Clock::duration interval)
{
    m_interval = interval < Clock::duration::zero() ? Clock::duration::zero() : interval;
}

WakeRequest NotificationQueue::push(const Notification &notification)
{
    std::lock_guard guard(m_mutex);
    m_pending.push_back(notification);
    return wakeForBatch();
}

WakeRequest NotificationQueue::requestBatch()
{
    std::lock_guard guard(m_mutex);
    return wakeForBatch();
}

WakeRequest NotificationQueue::wakeForBatch()
{
    if (m_wakePending)
        return {};
    m_wakePending = true;
    if (m_interval == Clock::duration::zero() || !m_taken)
        return {WakeRequest::Now};
    const Clock::time_point due = m_lastTaken + m_interval;
    if (m_clock.now() >= due)
        return {WakeRequest::Now};
    return {WakeRequest::Later, due};
}

void NotificationQueue::takePending()
{
    const Clock::time_point now =
        m_interval == Clock::duration::zero() ? Clock::time_point{} : m_clock.now();
    if (m_position >= m_batch.size()) {
        // The old batch is done: the two vectors trade places and keep their
        // capacity.
        m_batch.clear();
        m_position = 0;
        std::lock_guard guard(m_mutex);
        markTaken(now);
        m_batch.swap(m_pending);
        return;
    }
    std::lock_guard guard(m_mutex);
    markTaken(now);
    m_batch.insert(m_batch.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
}

void NotificationQueue::markTaken(Clock::time_point now)
{
    m_wakePending = false;
    // A wake-up that finds nothing holds back nothing after it.
    if (m_pending.empty())
        return;
    m_taken = true;
    m_lastTaken = now;
}

bool NotificationQueue::next(Notification &notification)
{
    if (m_position >= m_batch.size())
        return false;
    notification = m_batch[m_position++];
    return true;
}

void NotificationQueue::discard()
{
    {
        std::lock_guard guard(m_mutex);
        m_pending.clear();
    }
    m_batch.clear();
    m_position = 0;
    ++m_generation;
}

std::size_t NotificationQueue::pendingCount() const
{
    std::lock_guard guard(m_mutex);
    return m_pending.size() + (m_batch.size() - m_position);
}
