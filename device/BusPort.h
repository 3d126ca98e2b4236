#pragma once

#include "capture/CanFrame.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Time on the bus: nanoseconds since the adapter was started.
using BusTime = std::chrono::nanoseconds;
inline constexpr BusTime BusTimeNever = BusTime::max();

// What a bus reports to the session that drives it.
class BusObserver {
public:
    virtual ~BusObserver() = default;
    // A frame completed on the bus at the given time; ownFrame when this
    // adapter sent it.
    virtual void frameOnBus(const CAN_Frame &frame, bool ownFrame, BusTime at) = 0;
    virtual void errorStatusChanged(const CAN_ErrorStatus &status) = 0;
    // The adapter has gone (unplugged, connection lost).
    virtual void portLost() = 0;
    // Something the user should be told once, in words.
    virtual void notice(const std::string &text) { (void)text; }
};

// One open adapter's connection to its bus: a simulated bus, or a real
// interface. All calls come from the session's thread.
class BusPort {
public:
    virtual ~BusPort() = default;

    // Fixes the moment bus time 0 stands for.
    virtual void begin(std::chrono::steady_clock::time_point origin) { (void)origin; }
    // Queues a frame for sending, at the given bus time at the earliest.
    virtual void transmit(const CAN_Frame &frame, BusTime at) = 0;
    // The time of the next thing the bus will do by itself; BusTimeNever when
    // it reports on its own (and calls the wake function).
    virtual BusTime nextEventTime() const = 0;
    // Runs the bus up to the given time, reporting what happened.
    virtual void advanceTo(BusTime t, BusObserver &observer) = 0;
    // A simulated bus leaves out what it would have done before t, instead of
    // catching up with it; a real interface has nothing to skip.
    virtual void skipTo(BusTime t) { (void)t; }
    virtual CAN_ErrorStatus errorStatus() const = 0;
    // The bit rate the bus runs at in bit/s; nullopt when the interface
    // cannot tell. May be called from any thread.
    virtual std::optional<std::uint32_t> busBitrate() const { return std::nullopt; }
    // Frames the interface reported lost so far (its buffers overflowed, a
    // read failed). May be called from any thread.
    virtual std::uint64_t lostFrames() const { return 0; }
    // The kernel network interface the port receives from, whose own drop
    // counters count as losses too; empty when there is none.
    virtual std::string kernelInterface() const { return {}; }
    // Ports that receive on a thread of their own call this when they have
    // something to report. An empty function ends the calls; once set, no
    // call of the previous function is still running.
    virtual void setWakeFunction(std::function<void()> wake) { (void)wake; }

    // An interface that keeps its bit rate itself (a SocketCAN interface)
    // rather than in the adapter's stored settings.
    virtual bool ownsBitrate() const { return false; }
    enum class RateChange { Changed, NotPermitted, Failed };
    // Gives such an interface a new bit rate now.
    virtual RateChange changeBitrate(std::uint32_t bitsPerSecond)
    {
        (void)bitsPerSecond;
        return RateChange::Failed;
    }
    // What an administrator runs to give the interface that rate.
    virtual std::string bitrateCommand(std::uint32_t bitsPerSecond) const
    {
        (void)bitsPerSecond;
        return {};
    }
    // Frames received that the capture cannot hold (CAN FD frames).
    virtual std::uint64_t framesLeftOut() const { return 0; }
};
