#pragma once

#include "device/DeviceLibrary.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Records what a device library posts, from whichever thread it posts, and
// lets a test wait for a condition on it.
class NotificationRecorder : public NotifyTarget, public DeviceChangeListener {
public:
    struct Frame {
        int message = 0;
        CAN_Frame frame;
        int hint = 0;
    };

    void postFrame(int message, const CAN_Frame &frame, int hint) override
    {
        std::lock_guard guard(m_mutex);
        m_frames.push_back({message, frame, hint});
        m_changed.notify_all();
    }
    void postErrorStatus(const CAN_ErrorStatus &status) override
    {
        std::lock_guard guard(m_mutex);
        m_statuses.push_back(status);
        m_changed.notify_all();
    }
    void postNotice(const std::string &text) override
    {
        std::lock_guard guard(m_mutex);
        m_notices.push_back(text);
        m_changed.notify_all();
    }
    void postDeviceArrival(const std::string &path) override
    {
        std::lock_guard guard(m_mutex);
        m_arrivals.push_back(path);
        m_changed.notify_all();
    }
    void postDeviceRemoval(const std::string &path) override
    {
        std::lock_guard guard(m_mutex);
        m_removals.push_back(path);
        m_changed.notify_all();
    }

    std::vector<Frame> frames() const
    {
        std::lock_guard guard(m_mutex);
        return m_frames;
    }
    std::vector<CAN_ErrorStatus> statuses() const
    {
        std::lock_guard guard(m_mutex);
        return m_statuses;
    }
    std::vector<std::string> arrivals() const
    {
        std::lock_guard guard(m_mutex);
        return m_arrivals;
    }
    std::vector<std::string> notices() const
    {
        std::lock_guard guard(m_mutex);
        return m_notices;
    }
    std::vector<std::string> removals() const
    {
        std::lock_guard guard(m_mutex);
        return m_removals;
    }
    void clear()
    {
        std::lock_guard guard(m_mutex);
        m_frames.clear();
        m_statuses.clear();
        m_arrivals.clear();
        m_removals.clear();
        m_notices.clear();
    }

    // Frames matching a predicate.
    std::vector<CAN_Frame> framesWhere(const std::function<bool(const CAN_Frame &)> &match) const
    {
        std::vector<CAN_Frame> found;
        std::lock_guard guard(m_mutex);
        for (const Frame &f : m_frames) {
            if (match(f.frame))
                found.push_back(f.frame);
        }
        return found;
    }

    // Waits until the condition holds (checked whenever something arrives);
    // false after the timeout.
    bool waitFor(const std::function<bool()> &condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock lock(m_mutex);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            lock.unlock();
            const bool met = condition();
            lock.lock();
            if (met)
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            m_changed.wait_until(
                lock,
                std::min(deadline,
                         std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
        }
        lock.unlock();
        return condition();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Frame> m_frames;
    std::vector<CAN_ErrorStatus> m_statuses;
    std::vector<std::string> m_arrivals;
    std::vector<std::string> m_removals;
    std::vector<std::string> m_notices;
};
