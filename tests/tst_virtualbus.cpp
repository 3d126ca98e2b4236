// The virtual adapters' bus and the session around it, on bus time and on a
// clock driven by hand: nothing here waits for real time to pass.

#include "capture/CanBitStream.h"
#include "capture/WindowMessages.h"
#include "device/AdapterSession.h"
#include "device/DisplayHintPolicy.h"
#include "device/FrameRules.h"
#include "device/PeriodicRows.h"
#include "device/VirtualBus.h"

#include "FrameBuilders.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>

using namespace std::chrono_literals;

namespace {

struct Seen {
    CAN_Frame frame;
    bool own = false;
    BusTime at{0};
};

class Observer : public BusObserver {
public:
    void frameOnBus(const CAN_Frame &f, bool own, BusTime at) override
    {
        frames.push_back({f, own, at});
    }
    void errorStatusChanged(const CAN_ErrorStatus &s) override { statuses.push_back(s); }
    void portLost() override { lost = true; }
    std::vector<Seen> frames;
    std::vector<CAN_ErrorStatus> statuses;
    bool lost = false;
};

VirtualBus::Options busOptions(BusProfile profile, std::uint32_t bitrate = 500'000)
{
    VirtualBus::Options options;
    options.profile = profile;
    options.bitrate = bitrate;
    options.seed = 42;
    return options;
}

// A quiet bus without bus errors of its own on which a failed frame is not sent again.
VirtualBus::Options quietBusWithoutRetransmission()
{
    auto options = busOptions(BusProfile::Quiet);
    options.autoRetransmit = false;
    options.errorRate = 0.0;
    return options;
}

double seconds(const CAN_Frame &f)
{
    return f.timestampHigh + f.timestampLow / 1e6;
}

// Collects what a session delivers, for a test on the main thread to wait on.
class Collector : public SessionListener {
public:
    void frameReady(const CAN_Frame &f, int hint) override
    {
        std::lock_guard guard(m_mutex);
        m_frames.push_back({f, hint});
        m_changed.notify_all();
    }
    void errorStatusReady(const CAN_ErrorStatus &) override { }
    void adapterLost() override { }

    std::vector<std::pair<CAN_Frame, int>> waitForFrames(std::size_t count,
                                                         std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_frames.size() >= count; });
        return m_frames;
    }

    // Moves the clock on in small steps until the session has delivered
    // the given number of frames (or a minute of clock time has passed).
    std::vector<std::pair<CAN_Frame, int>> advanceUntil(ManualClock &clock, std::size_t count)
    {
        for (int step = 0; step < 6000; ++step) {
            if (waitForFrames(count, 5ms).size() >= count)
                break;
            clock.advance(10ms);
        }
        return waitForFrames(count, 0ms);
    }
    std::size_t size()
    {
        std::lock_guard guard(m_mutex);
        return m_frames.size();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<CAN_Frame, int>> m_frames;
};

} // namespace

class VirtualBusTest : public QObject {
    Q_OBJECT

private slots:
    void saturatedBusFillsTheBitRate_data()
    {
        QTest::addColumn<int>("bitrate");
        QTest::newRow("125 kbit/s") << 125'000;
        QTest::newRow("1 Mbit/s") << 1'000'000;
    }
    void saturatedBusFillsTheBitRate()
    {
        QFETCH(int, bitrate);
        VirtualBus bus(busOptions(BusProfile::Saturated, static_cast<std::uint32_t>(bitrate)));
        Observer observer;
        bus.advanceTo(1s, observer);
        // Back to back: each frame ends exactly its length after the previous one.
        std::uint64_t bits = 0;
        BusTime previous{0};
        for (const Seen &seen : observer.frames) {
            const int length = FrameRules::bitCount(seen.frame);
            bits += static_cast<std::uint64_t>(length);
            const auto expected =
                BusTime(static_cast<std::int64_t>(length) * 1'000'000'000LL / bitrate);
            QVERIFY(std::chrono::abs(seen.at - previous - expected) <= 1ns);
            // The detailed view gives every frame the time the bus gave it.
            const CanBitStream stream(seen.frame.type, seen.frame.id, seen.frame.dlc,
                                      seen.frame.data);
            QCOMPARE((seen.at - previous).count(), stream.durationNs(std::uint32_t(bitrate)));
            previous = seen.at;
        }
        QVERIFY(bits <= static_cast<std::uint64_t>(bitrate));
        QVERIFY(bits > static_cast<std::uint64_t>(bitrate) - 200);
        // A full bus of mostly eight-byte frames: far below the 47-bit maximum rate.
        QVERIFY(observer.frames.size() < static_cast<std::size_t>(bitrate / 47));
        QVERIFY(observer.frames.size() > static_cast<std::size_t>(bitrate / 160));
    }

    void ownFramesWinArbitrationByIdentifier()
    {
        VirtualBus bus(busOptions(BusProfile::Quiet));
        Observer observer;
        bus.transmit(frameOf(0x14, 0x300, 1), 0ns);
        bus.transmit(frameOf(0x14, 0x100, 1), 0ns);
        bus.advanceTo(10ms, observer);
        // The adapter sends its own frames in order, one after the other.
        QCOMPARE(observer.frames.size(), std::size_t(2));
        QCOMPARE(observer.frames[0].frame.id, 0x300U);
        QVERIFY(observer.frames[0].own);
        QVERIFY(observer.frames[1].at > observer.frames[0].at);
        QVERIFY(observer.statuses.empty());
    }

    void vehicleBusIsPlausible()
    {
        VirtualBus bus(busOptions(BusProfile::Vehicle));
        Observer observer;
        bus.transmit(frameOf(0x15, 0x0E0, 4), 300ms);
        bus.advanceTo(10s, observer);
        std::map<std::uint32_t, int> perId;
        int remote = 0;
        int extended = 0;
        for (const Seen &s : observer.frames) {
            ++perId[s.frame.id];
            remote += (s.frame.type & FrameType::Remote) ? 1 : 0;
            extended += (s.frame.type & FrameType::Extended) ? 1 : 0;
        }
        // The 10 ms engine message about 1000 times in 10 s; the 1 s one about 10.
        QVERIFY(perId[0x0C4] >= 990 && perId[0x0C4] <= 1001);
        QVERIFY(perId[0x18FEEE00] >= 9 && perId[0x18FEEE00] <= 11);
        QVERIFY(remote >= 20);
        QVERIFY(extended >= 100);
        // Our remote frame was answered with data by node 0x0E0.
        auto request = std::find_if(observer.frames.begin(), observer.frames.end(),
                                    [](const Seen &s) { return s.own; });
        QVERIFY(request != observer.frames.end());
        auto answer = std::find_if(request, observer.frames.end(), [](const Seen &s) {
            return s.frame.id == 0x0E0 && !(s.frame.type & FrameType::Remote);
        });
        QVERIFY(answer != observer.frames.end());
        QVERIFY(answer->at - request->at < 5ms);
        // Bus errors happen now and then, and the counters move.
        QVERIFY(!observer.statuses.empty());
        int counted = 0;
        for (const auto &st : observer.statuses)
            counted = std::max(counted,
                               st.stuffErrors + st.formErrors + st.crcErrors + st.ackErrors
                                   + st.bitErrors);
        QVERIFY(counted >= 5);
    }

    void vehicleBusErrorEpisodes_data()
    {
        QTest::addColumn<int>("seed");
        QTest::newRow("seed 1") << 1;
        QTest::newRow("seed 2") << 2;
        QTest::newRow("seed 3") << 3;
    }
    void vehicleBusErrorEpisodes()
    {
        // Looked at as the link icon does, every 100 ms: episodes in which an
        // error counter stays above zero for a second or more, which end.
        QFETCH(int, seed);
        auto options = busOptions(BusProfile::Vehicle);
        options.seed = static_cast<std::uint64_t>(seed);
        VirtualBus bus(options);
        Observer observer;
        std::vector<int> episodes; // lengths in polls
        int run = 0;
        for (int poll = 1; poll <= 900; ++poll) {
            bus.advanceTo(poll * 100ms, observer);
            const CAN_ErrorStatus status = bus.errorStatus();
            if (status.tec != 0 || status.rec != 0) {
                ++run;
            } else if (run > 0) {
                episodes.push_back(run);
                run = 0;
            }
        }
        QCOMPARE(run, 0);
        const auto longOnes =
            std::count_if(episodes.begin(), episodes.end(), [](int polls) { return polls >= 10; });
        // 90 s: two to four episodes, each seen for at least a second.
        QVERIFY2(longOnes >= 2 && longOnes <= 4, qPrintable(QString::number(longOnes)));
        QCOMPARE(longOnes, static_cast<long>(episodes.size()));
        QVERIFY(std::all_of(observer.statuses.begin(), observer.statuses.end(),
                            [](const CAN_ErrorStatus &s) { return s.errorMode == 0; }));

        // A bus told to have no errors has no episodes either.
        options.errorRate = 0.0;
        VirtualBus clean(options);
        Observer cleanObserver;
        clean.advanceTo(90s, cleanObserver);
        QVERIFY(cleanObserver.statuses.empty());
    }

    void skippingLeavesOutWhatWasDue_data()
    {
        QTest::addColumn<int>("profile");
        QTest::newRow("saturated") << int(BusProfile::Saturated);
        QTest::newRow("vehicle") << int(BusProfile::Vehicle);
    }
    void skippingLeavesOutWhatWasDue()
    {
        // The process stood still for ten seconds: the bus goes on from the
        // moment it is told to, and nothing of the ten seconds is reported.
        QFETCH(int, profile);
        auto options = busOptions(static_cast<BusProfile>(profile));
        options.errorRate = 0.0;
        VirtualBus bus(options);
        Observer observer;
        bus.transmit(frameOf(0x14, 0x7F0, 1), 500ms);
        bus.advanceTo(1s, observer);
        const std::size_t before = observer.frames.size();
        bus.transmit(frameOf(0x14, 0x7F1, 1), 2s);
        bus.skipTo(11s);
        bus.advanceTo(11s + 100ms, observer);
        QVERIFY(observer.frames.size() > before);
        std::vector<Seen> after(observer.frames.begin() + static_cast<std::ptrdiff_t>(before),
                                observer.frames.end());
        QVERIFY(std::all_of(after.begin(), after.end(),
                            [](const Seen &seen) { return seen.at >= 11s; }));
        // About a tenth of a second of traffic, not ten seconds of it.
        const std::size_t perSecond = before;
        QVERIFY(after.size() < perSecond / 5);
        // What this adapter had queued is still sent.
        QCOMPARE(std::count_if(after.begin(), after.end(),
                               [](const Seen &seen) { return seen.own && seen.frame.id == 0x7F1; }),
                 1L);
    }

    void busOffAndRecovery_data()
    {
        QTest::addColumn<bool>("recovery");
        QTest::newRow("ABOR on") << true;
        QTest::newRow("ABOR off") << false;
    }
    void busOffAndRecovery()
    {
        QFETCH(bool, recovery);
        auto options = busOptions(BusProfile::Quiet);
        options.autoRetransmit = true;
        options.busOffRecovery = recovery;
        options.errorRate = 1.0; // every frame fails
        VirtualBus bus(options);
        Observer observer;
        bus.transmit(frameOf(0x14, 0x123, 8), 0ns);
        bus.advanceTo(50ms, observer);
        QVERIFY(observer.frames.empty());
        QCOMPARE(int(observer.statuses.back().errorMode), recovery ? 0 : 4);
        QVERIFY(std::any_of(observer.statuses.begin(), observer.statuses.end(),
                            [](const CAN_ErrorStatus &s) { return s.errorMode == 4; }));
        QVERIFY(std::any_of(observer.statuses.begin(), observer.statuses.end(),
                            [](const CAN_ErrorStatus &s) { return s.errorMode == 1; }));
    }

    void withoutRetransmissionAFailedFrameIsDropped()
    {
        VirtualBus bus(quietBusWithoutRetransmission());
        Observer observer;
        bus.injectTransmitError();
        bus.transmit(frameOf(0x14, 0x1, 1), 0ns);
        bus.transmit(frameOf(0x14, 0x2, 1), 0ns);
        bus.advanceTo(10ms, observer);
        QCOMPARE(observer.frames.size(), std::size_t(1));
        QCOMPARE(observer.frames[0].frame.id, 0x2U);
        QCOMPARE(int(observer.statuses.front().tec), 8);
        QCOMPARE(int(bus.errorStatus().tec), 7);
    }

    void countersBackAtZeroAreReported()
    {
        VirtualBus bus(quietBusWithoutRetransmission());
        Observer observer;
        bus.injectTransmitError();
        for (std::uint32_t id = 1; id <= 9; ++id)
            bus.transmit(frameOf(0x14, id, 1), 0ns);
        bus.advanceTo(20ms, observer);
        // One failure (TEC 8) and eight good frames bring TEC back to 0; the
        // error and the recovery are both reported, nothing in between.
        QCOMPARE(observer.statuses.size(), std::size_t(2));
        QCOMPARE(int(observer.statuses.front().tec), 8);
        QCOMPARE(int(observer.statuses.back().tec), 0);
        QCOMPARE(int(observer.statuses.back().rec), 0);
    }

    void periodicRowsDoNotDrift()
    {
        // On a busy bus each frame waits for the bus, but the rows keep
        // their rhythm: frame k goes out shortly after k periods.
        VirtualBus bus(busOptions(BusProfile::Saturated, 125'000));
        SessionCore core(bus);
        QCOMPARE(int(core.setPeriodicFrame(0, frameOf(0x14, 0x010, 8))), 0);
        QCOMPARE(int(core.setPeriod(0, 7, 0ns)), 0);
        QCOMPARE(int(core.enablePeriodic(0, true, 0ns)), 0);
        // The session's thread advances in small steps.
        for (BusTime t = 0ns; t <= 7s; t += 2ms)
            core.advanceTo(t);
        std::vector<double> times;
        for (const CAN_Frame &f : core.frames()) {
            if (f.id == 0x010 && (f.type & FrameType::Transmitted))
                times.push_back(seconds(f));
        }
        QCOMPARE(times.size(), std::size_t(1000));
        for (std::size_t k = 0; k < times.size(); ++k) {
            const double late = times[k] - 0.007 * static_cast<double>(k);
            QVERIFY2(late >= 0 && late < 0.003,
                     qPrintable(QStringLiteral("frame %1 late %2").arg(k).arg(late)));
        }
    }

    void periodChangeAndBacklog()
    {
        PeriodicRows rows;
        QVERIFY(!rows.enable(1, true, 0ns)); // nothing loaded
        QVERIFY(rows.load(1, frameOf(0x14, 1, 0)));
        QVERIFY(rows.enable(1, true, 0ns));
        QCOMPARE(rows.nextDue(), BusTime(0));
        rows.fire(0ns);
        QCOMPARE(rows.nextDue(), BusTime(100ms));
        rows.fire(100ms);
        // The new period counts from the last frame sent.
        QVERIFY(rows.setPeriod(1, 30, 150ms));
        QCOMPARE(rows.nextDue(), BusTime(150ms));
        QVERIFY(rows.setPeriod(1, 500, 150ms));
        QCOMPARE(rows.nextDue(), BusTime(600ms));
        rows.fire(600ms);
        // Suspended for a minute: the row resumes instead of catching up.
        rows.fire(61s);
        QVERIFY(rows.nextDue() > BusTime(61s));
        QVERIFY(rows.nextDue() <= BusTime(61s + 500ms));
        // Starting a running row again keeps its rhythm.
        const BusTime due = rows.nextDue();
        QVERIFY(rows.enable(1, true, 61s + 1ms));
        QCOMPARE(rows.nextDue(), due);
        QVERIFY(rows.enable(1, false, 0ns));
        QCOMPARE(rows.nextDue(), BusTimeNever);
    }

    void responseAnswersOnlyReceivedMatches()
    {
        VirtualBus bus(busOptions(BusProfile::Vehicle));
        SessionCore core(bus);
        // The diagnostic node polls 0x0E0 (remote, DLC 4) twice a second.
        QCOMPARE(
            int(core.setResponse(true, frameOf(0x05, 0x0E0, 4), frameOf(0x14, 0x456, 1, {0x77}))),
            0);
        core.advanceTo(2100ms);
        auto count = [&](std::uint32_t id, bool remote) {
            return std::count_if(core.frames().begin(), core.frames().end(),
                                 [&](const CAN_Frame &f) {
                                     return f.id == id && bool(f.type & FrameType::Remote) == remote
                                         && (id != 0x456 || (f.type & FrameType::Transmitted));
                                 });
        };
        const auto polls = count(0x0E0, true);
        QVERIFY(polls >= 4);
        QCOMPARE(count(0x456, false), polls);
        // Our own frame that matches the trigger is not answered.
        core.setResponse(true, frameOf(0x04, 0x3, 0), frameOf(0x14, 0x457, 0));
        core.send(frameOf(0x14, 0x3, 0), core.time());
        core.advanceTo(2200ms);
        QCOMPARE(count(0x457, false), 0);
        // A response the bus cannot carry is not armed.
        QVERIFY(core.setResponse(true, frameOf(0x05, 0x0E0, 4), frameOf(0x14, 0xFFF, 0)) != 0);
        const auto before = count(0x456, false);
        core.advanceTo(3s);
        QCOMPARE(count(0x456, false), before);
    }

    void hintPolicy()
    {
        std::vector<int> hints;
        DisplayHintPolicy policy([&](const CAN_Frame &, int hint) { hints.push_back(hint); });
        Clock::time_point t{1h};
        // A lone frame is shown at once.
        policy.push({}, t);
        policy.settle(t);
        QCOMPARE(hints, std::vector<int>({0}));
        // A burst 1 ms apart for 100 ms: stored quietly, shown every 40 ms...
        hints.clear();
        for (int i = 1; i <= 100; ++i) {
            t += 1ms;
            policy.push({}, t);
            policy.settle(t);
        }
        QCOMPARE(int(hints.size()), 99);
        QCOMPARE(std::count(hints.begin(), hints.end(), 0), 2L);
        // ...and its last frame is shown once the burst is over.
        QVERIFY(policy.holdsFrame());
        QVERIFY(policy.deadline() <= t + DisplayHintPolicy::SettleTime);
        policy.settle(policy.deadline());
        QCOMPARE(int(hints.size()), 100);
        QCOMPARE(hints.back(), 0);
        QVERIFY(!policy.holdsFrame());
        QCOMPARE(policy.deadline(), Clock::never());
    }

    void sessionSkipsAStalledClock()
    {
        // Ten seconds pass at once: the saturated bus delivers a moment's
        // traffic from just before now, not ten seconds of it.
        ManualClock clock;
        Collector collector;
        auto options = busOptions(BusProfile::Saturated, 125'000);
        AdapterSession session(std::make_unique<VirtualBus>(options), clock, collector,
                               AdapterSession::Options());
        session.start();
        clock.advance(10s);
        std::vector<std::pair<CAN_Frame, int>> frames;
        for (int step = 0; step < 1000; ++step) {
            frames = collector.waitForFrames(1, 5ms);
            if (!frames.empty() && seconds(frames.back().first) >= 9.99)
                break;
            clock.advance(1ms);
        }
        session.stop();
        frames = collector.waitForFrames(0, 0ms);
        QVERIFY(!frames.empty());
        QVERIFY(seconds(frames.front().first) >= 9.7);
        // 125 kbit/s carries at most about 1,200 of these frames a second.
        QVERIFY2(frames.size() < 500, qPrintable(QString::number(frames.size())));
    }

    void sessionOnAManualClock()
    {
        ManualClock clock;
        Collector collector;
        auto bus = std::make_unique<VirtualBus>(busOptions(BusProfile::Quiet));
        AdapterSession session(std::move(bus), clock, collector, AdapterSession::Options());
        QVERIFY(session.send(frameOf(0x14, 0x1, 0)) != 0); // not started
        session.start();
        QCOMPARE(int(session.setPeriodicFrame(3, frameOf(0x14, 0x333, 2, {1, 2}))), 0);
        QCOMPARE(int(session.setPeriod(3, 250)), 0);
        QCOMPARE(int(session.enablePeriodic(3, true)), 0);
        // Five frames in a second, stamped at 0, 250, 500, 750 and 1000 ms
        // plus their time on the bus.
        const auto frames = collector.advanceUntil(clock, 5);
        QCOMPARE(frames.size(), std::size_t(5));
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const double late = seconds(frames[k].first) - 0.25 * static_cast<double>(k);
            QVERIFY(late > 0 && late < 0.001);
        }
        QCOMPARE(frames.back().second, int(DisplayHint::ShowNow));

        // Paused, the frames wait; resumed, all of them come. (Any operation
        // catches the session up with the clock at once.)
        session.setPause(true);
        for (int step = 0; step < 20; ++step) {
            clock.advance(50ms);
            session.setResponse(false, CAN_Frame{}, CAN_Frame{});
        }
        session.enablePeriodic(3, false);
        QCOMPARE(collector.size(), std::size_t(5));
        session.setPause(false);
        const auto all = collector.advanceUntil(clock, 9);
        QCOMPARE(all.size(), std::size_t(9));
        session.stop();
    }

    void periodicRowSkipsTheCyclesItMissed()
    {
        // A 10 ms row whose thread is held up for half a second goes on in
        // its phase instead of sending the fifty frames it owes back to back.
        ManualClock clock;
        Collector collector;
        AdapterSession session(std::make_unique<VirtualBus>(busOptions(BusProfile::Quiet)), clock,
                               collector, AdapterSession::Options());
        const auto origin = clock.now();
        session.start();
        QCOMPARE(int(session.setPeriodicFrame(0, frameOf(0x14, 0x010, 1))), 0);
        QCOMPARE(int(session.setPeriod(0, 10)), 0);
        QCOMPARE(int(session.enablePeriodic(0, true)), 0);
        QCOMPARE(collector.advanceUntil(clock, 3).size(), std::size_t(3));
        const double heldAt = std::chrono::duration<double>(clock.now() - origin).count();
        const std::size_t before = collector.size();
        clock.advance(500ms);
        const auto frames = collector.advanceUntil(clock, before + 6);
        session.stop();
        // Between the hold-up and now, at most the frame cut off by it goes
        // out again; then the row runs on its 10 ms grid.
        std::vector<double> after;
        int owed = 0;
        for (const auto &[frame, hint] : frames) {
            const double t = seconds(frame);
            if (t > heldAt + 0.011 && t < heldAt + 0.489)
                ++owed;
            if (t > heldAt + 0.489) {
                QVERIFY2(std::fmod(t, 0.010) < 0.001, qPrintable(QString::number(t)));
                after.push_back(t);
            }
        }
        QVERIFY2(owed <= 1, qPrintable(QString::number(owed)));
        QVERIFY(after.size() >= 3);
        for (std::size_t k = 1; k < after.size(); ++k)
            QVERIFY2(after[k] - after[k - 1] > 0.009 && after[k] - after[k - 1] < 0.011,
                     qPrintable(QString::number(after[k] - after[k - 1])));
    }
};

QTEST_GUILESS_MAIN(VirtualBusTest)
#include "tst_virtualbus.moc"
