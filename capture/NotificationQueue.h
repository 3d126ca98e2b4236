#pragma once

#include "capture/CanFrame.h"
#include "device/Clock.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// One notification of the device library, as the receiver keeps it until it is
// handled: a frame (WM_FRAME_NOTIFY or WM_FRAME_NOTIFY_UNTIMED with its display
// hint) or an error status (WM_ERROR_STATUS_NOTIFY).
struct Notification {
    int message = 0;
    CAN_Frame frame;
    int hint = 0;
    CAN_ErrorStatus status;
};

// When the consumer is to be woken for what has just been pushed.
struct WakeRequest {
    enum Kind : std::uint8_t {
        None,  // a wake-up is on its way already
        Now,   // wake the consumer at once
        Later, // wake the consumer at `at`
    };
    Kind kind = None;
    Clock::time_point at{};
};

// Hands the library's notifications from its thread to the user-interface
// thread in batches, in arrival order. The library's thread pushes; the
// consumer is woken once per batch (push tells when) and takes everything that
// is pending at once. Discarding drops whatever has not been handled yet, the
// rest of a batch being handled included, so that nothing notified before a
// connect, disconnect or close is ever stored.
//
// With a minimum interval, batches are taken at most that often: a
// notification that finds the consumer idle for at least the interval wakes it
// at once; one that follows a batch more closely waits until the interval has
// passed since that batch was taken, together with whatever arrives
// meanwhile. However fast the bus, the consumer thus wakes at most once per
// interval, and a frame after a quiet spell is shown without delay.
class NotificationQueue {
public:
    explicit NotificationQueue(const Clock &clock = SteadyClock::instance()) : m_clock(clock) { }

    // Consumer thread, before notifications arrive. Zero: every batch is
    // taken as soon as the consumer is free.
    void setMinimumInterval(Clock::duration interval);
    Clock::duration minimumInterval() const { return m_interval; }

    // Any thread: queues a notification and tells whether and when the
    // consumer has to be woken.
    WakeRequest push(const Notification &notification);
    // Any thread: asks, by the same rule, for a batch for something the
    // consumer keeps beside the notifications, such as a call to make at the
    // start of its next batch. On a busy bus it rides with the batch that is
    // due anyway.
    WakeRequest requestBatch();

    // Consumer thread: the notifications pending now join what is left of the
    // current batch. A wake-up that finds them taken already is harmless.
    void takePending();
    // Consumer thread: the next notification of the batch; false when the
    // batch is done. Safe to call again from a nested event loop while a
    // notification is being handled: the order stays the arrival order.
    bool next(Notification &notification);
    // Consumer thread: drops everything not handled yet.
    void discard();

    // Incremented by every discard.
    std::uint64_t generation() const { return m_generation; }
    std::size_t pendingCount() const;

private:
    // With m_mutex held: when the consumer is to be woken for a batch.
    WakeRequest wakeForBatch();
    // With m_mutex held: the pending notifications are being taken at now.
    void markTaken(Clock::time_point now);

    const Clock &m_clock;
    Clock::duration m_interval{0};

    mutable std::mutex m_mutex;
    std::vector<Notification> m_pending; // guarded by m_mutex
    bool m_wakePending = false;          // guarded by m_mutex
    bool m_taken = false;                // guarded by m_mutex: a batch was ever taken
    Clock::time_point m_lastTaken{};     // guarded by m_mutex

    // The consumer's batch and its position.
    std::vector<Notification> m_batch;
    std::size_t m_position = 0;
    std::uint64_t m_generation = 0;
};
