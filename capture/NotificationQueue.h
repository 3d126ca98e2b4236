#pragma once

#include "capture/CanFrame.h"

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

// Hands the library's notifications from its thread to the user-interface
// thread in batches, in arrival order. The library's thread pushes; the
// consumer is woken once per batch (push tells when) and takes everything that
// is pending at once. Discarding drops whatever has not been handled yet, the
// rest of a batch being handled included, so that nothing notified before a
// connect, disconnect or close is ever stored.
class NotificationQueue {
public:
    // Any thread. True when the consumer has to be woken: nothing was waiting
    // for it yet.
    bool push(const Notification &notification);

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
    mutable std::mutex m_mutex;
    std::vector<Notification> m_pending; // guarded by m_mutex
    bool m_wakePending = false;          // guarded by m_mutex

    // The consumer's batch and its position.
    std::vector<Notification> m_batch;
    std::size_t m_position = 0;
    std::uint64_t m_generation = 0;
};
