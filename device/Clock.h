#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

// The monotonic time the device library runs on. The library's thread asks
// it for the time and waits on it, so that tests can drive time by hand.
class Clock {
public:
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<std::chrono::steady_clock, duration>;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;
    // Waits until the deadline has passed or the condition variable is
    // notified; the lock is held on entry and on return.
    virtual void waitUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                           time_point deadline) = 0;

    static constexpr time_point never() { return time_point::max(); }
};

// The system's monotonic clock.
class SteadyClock : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    void waitUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                   time_point deadline) override
    {
        if (deadline == never())
            wake.wait(lock);
        else
            wake.wait_until(lock, deadline);
    }

    // The clock the library uses unless it is given another.
    static SteadyClock &instance()
    {
        static SteadyClock clock;
        return clock;
    }
};

// A clock that moves only when told to. Waiters are woken when it advances.
class ManualClock : public Clock {
public:
    time_point now() const override
    {
        std::lock_guard guard(m_mutex);
        return m_now;
    }

    void waitUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                   time_point deadline) override
    {
        {
            std::lock_guard guard(m_mutex);
            if (m_now >= deadline)
                return;
            m_waiters.emplace_back(lock.mutex(), &wake);
        }
        wake.wait(lock);
        std::lock_guard guard(m_mutex);
        std::erase(m_waiters, std::pair{lock.mutex(), &wake});
    }

    void advance(duration step)
    {
        std::vector<std::pair<std::mutex *, std::condition_variable *>> waiters;
        {
            std::lock_guard guard(m_mutex);
            m_now += step;
            waiters = m_waiters;
        }
        for (auto [mutex, wake] : waiters) {
            // Taking the waiter's lock ensures it is inside its wait.
            {
                std::lock_guard guard(*mutex);
            }
            wake->notify_all();
        }
    }

private:
    mutable std::mutex m_mutex;
    time_point m_now{std::chrono::hours(1)};
    std::vector<std::pair<std::mutex *, std::condition_variable *>> m_waiters;
};
