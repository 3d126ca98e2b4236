#pragma once

#include "device/BusPort.h"
#include "device/Clock.h"
#include "device/DeviceLibrary.h"
#include "device/DisplayHintPolicy.h"
#include "device/PeriodicRows.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Where a session delivers what it has to report. Called from the session's
// thread.
class SessionListener {
public:
    virtual ~SessionListener() = default;
    virtual void frameReady(const CAN_Frame &frame, int hint) = 0;
    virtual void errorStatusReady(const CAN_ErrorStatus &status) = 0;
    virtual void adapterLost() = 0;
    virtual void noticeReady(const std::string &text) { (void)text; }
};

// What an open adapter does between its bus and the program, free of threads:
// sends the periodic rows when due, answers the response trigger, turns what
// the bus reports into frame records with time stamps, and keeps them until
// they are taken. Time is passed in.
class SessionCore : private BusObserver {
public:
    explicit SessionCore(BusPort &port) : m_port(port) { }

    DevStatus send(const CAN_Frame &frame, BusTime now);
    DevStatus setPeriodicFrame(int row, const CAN_Frame &frame);
    DevStatus setPeriod(int row, std::uint16_t periodMs, BusTime now);
    DevStatus enablePeriodic(int row, bool on, BusTime now);
    DevStatus setResponse(bool enable, const CAN_Frame &trigger, const CAN_Frame &response);
    void requestErrorStatus();

    // Runs rows and bus up to the given time.
    void advanceTo(BusTime now);
    // Now is the real time: the periodic rows skip the cycles they missed.
    void skipMissedCycles(BusTime now) { m_rows.skipMissed(now); }
    // The next time something is due; BusTimeNever when nothing is.
    BusTime nextEventTime() const;
    // The latest time the session has run to.
    BusTime time() const { return m_time; }

    std::deque<CAN_Frame> &frames() { return m_frames; }
    std::vector<CAN_ErrorStatus> takeStatuses() { return std::exchange(m_statuses, {}); }
    std::vector<std::string> takeNotices() { return std::exchange(m_notices, {}); }
    // The bus leaves out what it would have done before t (see BusPort).
    void skipTo(BusTime t);
    bool isLost() const { return m_lost; }
    // Frames dropped because the pause held more than the limit.
    std::uint64_t droppedFrames() const { return m_dropped; }
    void setFrameLimit(std::size_t limit) { m_frameLimit = limit; }

private:
    void frameOnBus(const CAN_Frame &frame, bool ownFrame, BusTime at) override;
    void errorStatusChanged(const CAN_ErrorStatus &status) override;
    void portLost() override { m_lost = true; }
    void notice(const std::string &text) override { m_notices.push_back(text); }

    BusPort &m_port;
    PeriodicRows m_rows;
    bool m_responseArmed = false;
    CAN_Frame m_trigger;
    CAN_Frame m_response;
    BusTime m_time{0};
    std::deque<CAN_Frame> m_frames;
    std::vector<CAN_ErrorStatus> m_statuses;
    std::vector<std::string> m_notices;
    std::size_t m_frameLimit = 1'000'000;
    std::uint64_t m_dropped = 0;
    bool m_lost = false;
};

// One open adapter: its bus port and the library's own thread for it, which
// runs the bus, times the periodic rows and delivers frames and error status
// to the listener. Delivery starts with start(); time stamps count from then.
class AdapterSession {
public:
    struct Options {
        // false: the bus runs as fast as it can instead of in real time.
        bool paced = true;
        // The most frames a pause holds back.
        std::size_t maxHeldFrames = 1'000'000;
        // The thread wakes at most this often while the bus is busy: on a
        // full bus it delivers some forty frames at a time, and the receiver
        // batches them further for the screen.
        Clock::duration slice = std::chrono::milliseconds(5);
    };

    // A clock that stood still (the process was stopped, or held in a
    // debugger) is caught up with by at most this much: a simulated bus
    // leaves out the rest instead of delivering it all at once.
    static constexpr BusTime MaxCatchUp = std::chrono::milliseconds(200);

    AdapterSession(std::unique_ptr<BusPort> port, Clock &clock, SessionListener &listener,
                   Options options);
    ~AdapterSession();
    AdapterSession(const AdapterSession &) = delete;
    AdapterSession &operator=(const AdapterSession &) = delete;

    void start();
    bool isStarted() const;
    DevStatus send(const CAN_Frame &frame);
    DevStatus setPeriodicFrame(int row, const CAN_Frame &frame);
    DevStatus setPeriod(int row, std::uint16_t periodMs);
    DevStatus enablePeriodic(int row, bool on);
    DevStatus setResponse(bool enable, const CAN_Frame &trigger, const CAN_Frame &response);
    DevStatus requestErrorStatus();
    void setPause(bool pause);
    // The bit rate the adapter's bus runs at; nullopt when it cannot tell.
    std::optional<std::uint32_t> busBitrate() const;
    // Frames held back beyond the limit and dropped.
    std::uint64_t droppedFrames() const;
    // What the port reports of its own losses and its kernel interface.
    std::uint64_t lostByInterface() const { return m_port->lostFrames(); }
    std::string kernelInterface() const { return m_port->kernelInterface(); }
    // The port itself, for what only some ports do; calls on it take the
    // session's lock.
    template <typename Call> auto withPort(Call call)
    {
        std::lock_guard guard(m_mutex);
        return call(*m_port);
    }
    // The adapter was unplugged: it stops. The caller announces the removal.
    void markLost();
    bool isLost() const;
    // Delivers what is still held (paused frames included) and ends the thread.
    void stop();

private:
    void run();
    BusTime busNow() const;
    void wakeLocked();
    void catchUpLocked();
    void runToNowLocked();

    std::unique_ptr<BusPort> m_port;
    Clock &m_clock;
    SessionListener &m_listener;
    Options m_options;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    SessionCore m_core;
    Clock::time_point m_origin;
    bool m_started = false;
    bool m_paused = false;
    bool m_stopping = false;
    bool m_woken = false;
    bool m_lostReported = false;
    bool m_lostMarked = false;
    std::thread m_thread;
};
