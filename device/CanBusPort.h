#pragma once

#include "device/BusPort.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class CanBusWorker;

// A Qt Serial Bus interface as an adapter's bus. The device itself lives in
// the library's CAN thread; frames it receives (its own ones included, as
// the interface echoes them) are queued here until the session takes them.
class CanBusPort : public BusPort {
public:
    ~CanBusPort() override;

    // Connects to the interface, asking for the bit rate where one is given;
    // null with the reason when that fails. busOffRecovery: a SocketCAN
    // controller that goes bus-off is restarted, where the kernel does not do
    // it by itself and the program may.
    static std::unique_ptr<CanBusPort> open(const QString &plugin, const QString &interfaceName,
                                            std::optional<std::uint32_t> bitrate,
                                            QString *error = nullptr, bool busOffRecovery = false);

    void begin(std::chrono::steady_clock::time_point origin) override;
    void transmit(const CAN_Frame &frame, BusTime at) override;
    BusTime nextEventTime() const override { return BusTimeNever; }
    void advanceTo(BusTime t, BusObserver &observer) override;
    CAN_ErrorStatus errorStatus() const override;
    std::optional<std::uint32_t> busBitrate() const override;
    void setWakeFunction(std::function<void()> wake) override;
    std::uint64_t lostFrames() const override { return m_lostFrames.load(); }
    std::string kernelInterface() const override { return m_socketCan ? m_interfaceName : ""; }
    bool ownsBitrate() const override { return m_socketCan; }
    RateChange changeBitrate(std::uint32_t bitsPerSecond) override;
    std::string bitrateCommand(std::uint32_t bitsPerSecond) const override;
    std::uint64_t framesLeftOut() const override { return m_framesLeftOut; }

    // True for a short while around the program's own change of a SocketCAN
    // interface's rate, when the interface is down for a moment: that is
    // neither its removal nor a lost connection.
    static bool changingRate(const std::string &interfaceName);

    // The rate an interface runs at once connected: what the kernel reports
    // where it can tell; else the requested rate where the interface took it
    // without objecting; else unknown.
    static std::optional<std::uint32_t> connectedBitrate(std::optional<std::uint32_t> requested,
                                                         bool refused,
                                                         std::optional<std::uint32_t> reported);

    // Called from the CAN thread.
    struct Received {
        enum Kind { Frame, ErrorFrame, Lost, FdFrame } kind = Frame;
        CAN_Frame frame;
        bool own = false;
        std::uint32_t errorClass = 0;
        // Seconds and microseconds as the interface stamped it.
        std::int64_t seconds = 0;
        std::int64_t microseconds = 0;
        std::chrono::steady_clock::time_point arrival;
    };
    void received(const Received &event);
    // The interface reported frames lost; how many is not always known.
    void countLost(std::uint64_t frames) { m_lostFrames += frames; }

private:
    CanBusPort() = default;
    BusTime busTimeOf(const Received &event) const;

    void refreshFromKernel() const;

    CanBusWorker *m_worker = nullptr; // lives in the CAN thread
    std::optional<std::uint32_t> m_busBitrate;
    bool m_socketCan = false;
    std::string m_interfaceName;
    bool m_busOffRecovery = false;
    std::atomic<std::uint64_t> m_framesLeftOut = 0;
    std::atomic<std::uint64_t> m_lostFrames{0};

    mutable std::mutex m_mutex;
    std::deque<Received> m_inbox;
    mutable CAN_ErrorStatus m_status; // also refreshed from the kernel when read
    bool m_started = false;
    std::chrono::steady_clock::time_point m_origin;
    std::chrono::system_clock::time_point m_wallOrigin;

    std::mutex m_wakeMutex;
    std::function<void()> m_wake;
};
