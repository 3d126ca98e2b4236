#pragma once

#include "capture/CanFrame.h"

#include <cstdint>
#include <span>

// Sees every frame the library delivers, received and transmitted, on the
// library's thread and before it is posted to the receiver, whoever the
// receiver is and whatever it does with the frame. Must not block.
class FrameTap {
public:
    virtual ~FrameTap() = default;
    virtual void framesDelivered(std::span<const CAN_Frame> frames) = 0;
};

// What became of the frames since the adapter was opened: how many the
// library delivered and how many were lost on the way, by where.
struct DeliveryCounts {
    std::uint64_t delivered = 0;
    std::uint64_t lostInLibrary = 0;   // the library's own queue overflowed
    std::uint64_t lostByInterface = 0; // the CAN interface reported frames lost
    std::uint64_t lostInKernel = 0;    // the kernel's drop counters of the interface

    std::uint64_t lost() const { return lostInLibrary + lostByInterface + lostInKernel; }
    friend bool operator==(const DeliveryCounts &, const DeliveryCounts &) = default;
};

// A device library that lets a tap see its deliveries and counts its losses.
// Recording needs one; a library without it offers no recording.
class DeliveryMonitor {
public:
    virtual ~DeliveryMonitor() = default;
    // Every delivered frame also goes to the tap; null ends it. Once this
    // returns, the previous tap is no longer called.
    virtual void setFrameTap(FrameTap *tap) = 0;
    // Counts of the open adapter (all zero when none is open). Reads the
    // interface's counters, so callers poll it about once a second.
    virtual DeliveryCounts readDeliveryCounts() = 0;
};
