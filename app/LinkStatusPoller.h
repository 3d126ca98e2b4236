#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class Clock;
class QObject;

// Watches a link status byte from a thread of its own and hands the readings
// that matter (LinkStatusWatch), synchronously, to a handler on the
// receiver's (user-interface) thread.
class LinkStatusPoller {
public:
    using Handler = std::function<void(std::uint8_t)>;
    // Queues a call to the receiver's thread.
    using Post = std::function<void(std::function<void()>)>;

    // Posts as a queued call to the receiver object.
    static Post postTo(QObject *receiver);

    // clock: the time the poller sleeps on; null for the system's.
    LinkStatusPoller(const std::atomic<std::uint8_t> &status, Post post, Handler handler,
                     std::chrono::milliseconds period = std::chrono::milliseconds(100),
                     Clock *clock = nullptr);
    ~LinkStatusPoller();
    LinkStatusPoller(const LinkStatusPoller &) = delete;
    LinkStatusPoller &operator=(const LinkStatusPoller &) = delete;

    void start();
    // Ends the thread and waits for it, on the receiver's thread. A hand-over
    // the thread waits for is abandoned, not served, and nothing else queued
    // to the receiver runs meanwhile.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    // Polls completed, hand-overs included.
    std::uint64_t pollCount() const { return m_polls.load(); }
    // Hand-overs queued to the receiver.
    std::uint64_t handOverCount() const { return m_handOvers.load(); }

private:
    // What the thread and the queued hand-overs share; a hand-over that runs
    // after stop() finds the poller stopped and does nothing.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        bool run = false;
        std::uint64_t served = 0;
        Handler handler;
    };

    void run(std::chrono::steady_clock::time_point firstDue);

    const std::atomic<std::uint8_t> &m_status;
    Post m_post;
    std::chrono::milliseconds m_period;
    Clock &m_clock;
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    std::atomic<std::uint64_t> m_polls{0};
    std::atomic<std::uint64_t> m_handOvers{0};
    std::thread m_thread;
};
