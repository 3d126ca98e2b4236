#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Watches a link status byte from a thread of its own and hands every change,
// synchronously, to a handler on the receiver's (user-interface) thread.
class LinkStatusPoller {
public:
    using Handler = std::function<void(std::uint8_t)>;

    LinkStatusPoller(const std::atomic<std::uint8_t> &status, QObject *receiver, Handler handler,
                     std::chrono::milliseconds period = std::chrono::milliseconds(100));
    ~LinkStatusPoller();
    LinkStatusPoller(const LinkStatusPoller &) = delete;
    LinkStatusPoller &operator=(const LinkStatusPoller &) = delete;

    void start();
    // Ends the thread and waits for it. Called on the receiver's thread: a
    // hand-over the thread is blocked in is served while waiting.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

private:
    void run();

    const std::atomic<std::uint8_t> &m_status;
    QObject *m_receiver = nullptr;
    Handler m_handler;
    std::chrono::milliseconds m_period;
    std::atomic<bool> m_run{false};
    std::atomic<bool> m_finished{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
};
