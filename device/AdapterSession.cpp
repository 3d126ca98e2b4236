#include "device/AdapterSession.h"

#include "device/FrameRules.h"

namespace {

constexpr DevStatus Refused = 1;

void stamp(CAN_Frame &frame, BusTime at)
{
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(at).count();
    const auto clamped = micros < 0 ? 0 : micros;
    frame.timestampHigh = static_cast<std::uint32_t>(clamped / 1'000'000);
    frame.timestampLow = static_cast<std::uint32_t>(clamped % 1'000'000);
}

} // namespace

// --- SessionCore ----------------------------------------------------------

DevStatus SessionCore::send(const CAN_Frame &frame, BusTime now)
{
    if (!FrameRules::isTransmittable(frame) || m_lost)
        return Refused;
    m_port.transmit(frame, std::max(now, m_time));
    return DevSuccess;
}

DevStatus SessionCore::setPeriodicFrame(int row, const CAN_Frame &frame)
{
    if (!FrameRules::isTransmittable(frame))
        return Refused;
    return m_rows.load(row, frame) ? DevSuccess : Refused;
}

DevStatus SessionCore::setPeriod(int row, std::uint16_t periodMs, BusTime now)
{
    return m_rows.setPeriod(row, periodMs, std::max(now, m_time)) ? DevSuccess : Refused;
}

DevStatus SessionCore::enablePeriodic(int row, bool on, BusTime now)
{
    return m_rows.enable(row, on, std::max(now, m_time)) ? DevSuccess : Refused;
}

DevStatus SessionCore::setResponse(bool enable, const CAN_Frame &trigger, const CAN_Frame &response)
{
    if (enable && !FrameRules::isTransmittable(response)) {
        // An answer that cannot be sent is not armed.
        m_responseArmed = false;
        return Refused;
    }
    m_responseArmed = enable;
    m_trigger = trigger;
    m_response = response;
    return DevSuccess;
}

void SessionCore::requestErrorStatus()
{
    m_statuses.push_back(m_port.errorStatus());
}

void SessionCore::advanceTo(BusTime now)
{
    if (m_lost)
        return;
    for (;;) {
        const BusTime rowDue = m_rows.nextDue();
        const BusTime busDue = m_port.nextEventTime();
        const BusTime next = std::min(rowDue, busDue);
        if (next > now || next == BusTimeNever)
            break;
        m_time = std::max(m_time, next);
        if (rowDue <= busDue)
            m_port.transmit(m_rows.fire(now), rowDue);
        else
            m_port.advanceTo(busDue, *this);
        if (m_lost)
            return;
    }
    m_time = std::max(m_time, now);
    m_port.advanceTo(now, *this);
}

void SessionCore::skipTo(BusTime t)
{
    if (t <= m_time)
        return;
    m_port.skipTo(t);
    m_time = t;
}

BusTime SessionCore::nextEventTime() const
{
    if (m_lost)
        return BusTimeNever;
    return std::min(m_rows.nextDue(), m_port.nextEventTime());
}

void SessionCore::frameOnBus(const CAN_Frame &frame, bool ownFrame, BusTime at)
{
    CAN_Frame record =
        ownFrame ? FrameRules::transmittedRecord(frame) : FrameRules::receivedRecord(frame);
    stamp(record, at);
    if (m_frames.size() < m_frameLimit)
        m_frames.push_back(record);
    else
        ++m_dropped;
    if (!ownFrame && m_responseArmed && FrameRules::matchesTrigger(m_trigger, frame))
        m_port.transmit(m_response, at);
}

void SessionCore::errorStatusChanged(const CAN_ErrorStatus &status)
{
    m_statuses.push_back(status);
}

// --- AdapterSession -------------------------------------------------------

AdapterSession::AdapterSession(std::unique_ptr<BusPort> port, Clock &clock,
                               SessionListener &listener, Options options)
    : m_port(std::move(port))
    , m_clock(clock)
    , m_listener(listener)
    , m_options(options)
    , m_core(*m_port)
{
    m_core.setFrameLimit(m_options.maxHeldFrames);
    m_port->setWakeFunction([this] {
        std::lock_guard guard(m_mutex);
        wakeLocked();
    });
    m_thread = std::thread([this] { run(); });
}

AdapterSession::~AdapterSession()
{
    stop();
    // The port may be calling in from a thread of its own until it is told
    // not to.
    m_port->setWakeFunction({});
    m_port.reset();
}

void AdapterSession::wakeLocked()
{
    m_woken = true;
    m_wake.notify_all();
}

BusTime AdapterSession::busNow() const
{
    if (!m_started)
        return BusTime{0};
    if (!m_options.paced)
        return m_core.time();
    return std::chrono::duration_cast<BusTime>(m_clock.now() - m_origin);
}

void AdapterSession::start()
{
    std::lock_guard guard(m_mutex);
    if (m_started)
        return;
    m_origin = m_clock.now();
    m_port->begin(std::chrono::steady_clock::now());
    m_started = true;
    wakeLocked();
}

bool AdapterSession::isStarted() const
{
    std::lock_guard guard(m_mutex);
    return m_started;
}

void AdapterSession::runToNowLocked()
{
    const BusTime now = busNow();
    // The bus catches up with a short hold-up, but a periodic row does not
    // send the frames it owes back to back: a real bus would be flooded.
    m_core.skipMissedCycles(now);
    if (now - m_core.time() > MaxCatchUp)
        m_core.skipTo(now - MaxCatchUp);
    m_core.advanceTo(now);
}

void AdapterSession::catchUpLocked()
{
    // What was due before this moment happens before the change.
    if (m_started && m_options.paced && !m_lostMarked)
        runToNowLocked();
}

DevStatus AdapterSession::send(const CAN_Frame &frame)
{
    std::lock_guard guard(m_mutex);
    if (!m_started || m_lostMarked)
        return Refused;
    catchUpLocked();
    const DevStatus status = m_core.send(frame, busNow());
    wakeLocked();
    return status;
}

DevStatus AdapterSession::setPeriodicFrame(int row, const CAN_Frame &frame)
{
    std::lock_guard guard(m_mutex);
    catchUpLocked();
    return m_core.setPeriodicFrame(row, frame);
}

DevStatus AdapterSession::setPeriod(int row, std::uint16_t periodMs)
{
    std::lock_guard guard(m_mutex);
    catchUpLocked();
    const DevStatus status = m_core.setPeriod(row, periodMs, busNow());
    wakeLocked();
    return status;
}

DevStatus AdapterSession::enablePeriodic(int row, bool on)
{
    std::lock_guard guard(m_mutex);
    if (on && (!m_started || m_core.isLost()))
        return Refused;
    catchUpLocked();
    const DevStatus status = m_core.enablePeriodic(row, on, busNow());
    wakeLocked();
    return status;
}

DevStatus AdapterSession::setResponse(bool enable, const CAN_Frame &trigger,
                                      const CAN_Frame &response)
{
    std::lock_guard guard(m_mutex);
    catchUpLocked();
    return m_core.setResponse(enable, trigger, response);
}

DevStatus AdapterSession::requestErrorStatus()
{
    std::lock_guard guard(m_mutex);
    m_core.requestErrorStatus();
    wakeLocked();
    return DevSuccess;
}

void AdapterSession::setPause(bool pause)
{
    std::lock_guard guard(m_mutex);
    m_paused = pause;
    wakeLocked();
}

std::optional<std::uint32_t> AdapterSession::busBitrate() const
{
    // Fixed when the port was opened: no lock needed.
    return m_port->busBitrate();
}

std::uint64_t AdapterSession::droppedFrames() const
{
    std::lock_guard guard(m_mutex);
    return m_core.droppedFrames();
}

void AdapterSession::markLost()
{
    std::lock_guard guard(m_mutex);
    m_lostMarked = true;
    m_lostReported = true; // whoever marked it announces it
    wakeLocked();
}

bool AdapterSession::isLost() const
{
    std::lock_guard guard(m_mutex);
    return m_lostMarked || m_core.isLost();
}

void AdapterSession::stop()
{
    {
        std::lock_guard guard(m_mutex);
        m_stopping = true;
        wakeLocked();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void AdapterSession::run()
{
    DisplayHintPolicy hints(
        [this](const CAN_Frame &frame, int hint) { m_listener.frameReady(frame, hint); });
    std::unique_lock lock(m_mutex);
    for (;;) {
        const bool stopping = m_stopping;
        const bool lost = m_lostMarked || m_core.isLost();
        if (m_started && !stopping && !lost) {
            if (m_options.paced) {
                runToNowLocked();
            } else {
                // As fast as the bus can be computed, a batch at a time.
                for (int i = 0; i < 4096; ++i) {
                    const BusTime next = m_core.nextEventTime();
                    if (next == BusTimeNever)
                        break;
                    m_core.advanceTo(next);
                }
            }
        }
        std::deque<CAN_Frame> frames;
        if (!m_paused || stopping)
            frames.swap(m_core.frames());
        const auto statuses = m_core.takeStatuses();
        const auto notices = m_core.takeNotices();
        const bool lostNow = m_lostMarked || m_core.isLost();
        const bool reportLoss = lostNow && !m_lostReported;
        if (reportLoss)
            m_lostReported = true;

        lock.unlock();
        const auto now = m_clock.now();
        for (const auto &status : statuses)
            m_listener.errorStatusReady(status);
        for (const auto &text : notices)
            m_listener.noticeReady(text);
        for (const auto &frame : frames)
            hints.push(frame, now);
        if (stopping || lostNow)
            hints.finish(now);
        else
            hints.settle(now);
        if (reportLoss)
            m_listener.adapterLost();
        lock.lock();

        if (stopping)
            break;
        if (m_woken) {
            m_woken = false;
            continue;
        }
        Clock::time_point deadline = hints.deadline();
        const bool running = m_started && !m_lostMarked && !m_core.isLost();
        if (running) {
            const BusTime next = m_core.nextEventTime();
            if (next != BusTimeNever) {
                if (!m_options.paced)
                    continue;
                const auto due = m_origin + std::chrono::duration_cast<Clock::duration>(next);
                deadline = std::min(deadline, std::max(due, now + m_options.slice));
            }
        }
        m_clock.waitUntil(lock, m_wake, deadline);
        m_woken = false;
    }
}
