#include "app/LinkStatusPoller.h"

#include "app/LinkStatusWatch.h"
#include "device/Clock.h"

#include <QMetaObject>

LinkStatusPoller::Post LinkStatusPoller::postTo(QObject *receiver)
{
    return [receiver](std::function<void()> call) {
        QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
    };
}

LinkStatusPoller::LinkStatusPoller(const std::atomic<std::uint8_t> &status, Post post,
                                   Handler handler, std::chrono::milliseconds period, Clock *clock)
    : m_status(status)
    , m_post(std::move(post))
    , m_period(period)
    , m_clock(clock ? *clock : SteadyClock::instance())
{
    m_shared->handler = std::move(handler);
}

LinkStatusPoller::~LinkStatusPoller()
{
    stop();
}

void LinkStatusPoller::start()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard guard(m_shared->mutex);
        m_shared->run = true;
    }
    // The first poll is due one period from now, as seen by the caller.
    const auto firstDue = m_clock.now() + m_period;
    m_thread = std::thread(&LinkStatusPoller::run, this, firstDue);
}

void LinkStatusPoller::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard guard(m_shared->mutex);
        m_shared->run = false;
    }
    m_shared->wake.notify_all();
    m_thread.join();
}

void LinkStatusPoller::run(std::chrono::steady_clock::time_point firstDue)
{
    const std::shared_ptr<Shared> shared = m_shared;
    LinkStatusWatch watch;
    std::uint64_t handedOver = 0;
    Clock::time_point due = firstDue;
    std::unique_lock lock(shared->mutex);
    for (;;) {
        while (shared->run && m_clock.now() < due)
            m_clock.waitUntil(lock, shared->wake, due);
        if (!shared->run)
            break;

        const std::uint8_t value = m_status.load(std::memory_order_relaxed);
        if (watch.needsHandOver(value)) {
            const std::uint64_t ticket = ++handedOver;
            lock.unlock();
            m_post([shared, value, ticket] {
                {
                    std::lock_guard guard(shared->mutex);
                    if (!shared->run)
                        return;
                }
                shared->handler(value);
                std::lock_guard guard(shared->mutex);
                shared->served = ticket;
                shared->wake.notify_all();
            });
            ++m_handOvers;
            lock.lock();
            shared->wake.wait(lock, [&] { return !shared->run || shared->served >= ticket; });
            if (!shared->run)
                break;
            watch.handedOver(value);
        }
        ++m_polls;

        // Polls keep their rhythm; one that comes late is followed a whole
        // period later.
        due += m_period;
        const auto now = m_clock.now();
        if (due <= now)
            due = now + m_period;
    }
}
