#include "app/LinkStatusPoller.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>

LinkStatusPoller::LinkStatusPoller(const std::atomic<std::uint8_t> &status, QObject *receiver,
                                   Handler handler, std::chrono::milliseconds period)
    : m_status(status), m_receiver(receiver), m_handler(std::move(handler)), m_period(period)
{ }

LinkStatusPoller::~LinkStatusPoller()
{
    stop();
}

void LinkStatusPoller::start()
{
    if (m_thread.joinable())
        return;
    m_run = true;
    m_finished = false;
    m_thread = std::thread(&LinkStatusPoller::run, this);
}

void LinkStatusPoller::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_run = false;
    }
    m_wake.notify_all();
    while (!m_finished) {
        QCoreApplication::sendPostedEvents(m_receiver, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_thread.join();
}

void LinkStatusPoller::run()
{
    std::uint8_t last = 0;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, m_period, [this] { return !m_run; }))
                break;
        }
        const std::uint8_t value = m_status.load(std::memory_order_relaxed);
        if (value == last)
            continue;
        last = value;
        QMetaObject::invokeMethod(
            m_receiver, [this, value] { m_handler(value); }, Qt::BlockingQueuedConnection);
    }
    m_finished = true;
}
