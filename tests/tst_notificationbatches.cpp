// The receiver's batches on a hand-driven clock: how often the consumer wakes
// under a flood, how soon a frame is handled, and what the control bar shows
// after every batch.

#include "capture/FrameStore.h"
#include "capture/NotificationQueue.h"
#include "capture/WindowMessages.h"
#include "device/Clock.h"

#include "FrameBuilders.h"
#include "StoreDoubles.h"

#include <QTest>

#include <chrono>
#include <optional>

using namespace std::chrono_literals;

namespace {

constexpr Clock::duration Interval = 16'667us;

// The library's thread and the user-interface thread, one step at a time: a
// wake-up is handled when the clock reaches it.
struct Simulation {
    Simulation()
    {
        queue.setMinimumInterval(Interval);
        doc.OnNewDocument();
        doc.SetControlBar(&bar);
        doc.setMainFrame(&mainFrame);
    }

    void push(std::uint32_t n)
    {
        Notification notification;
        notification.message = WM_FRAME_NOTIFY;
        notification.frame = frameOf(n % 7 == 0 ? 0x14 : 0x04, n, 1);
        pushedAt.push_back(clock.now());
        schedule(queue.push(notification));
    }

    // A call to make with the next batch, as the link-status poller posts.
    void requestBatch()
    {
        ++callsWaiting;
        schedule(queue.requestBatch());
    }

    // Every wake-up asked for costs the consumer one, even one made early.
    void schedule(const WakeRequest &wake)
    {
        if (wake.kind != WakeRequest::None)
            ++wakeRequests;
        if (wake.kind == WakeRequest::Now)
            wakeAt = clock.now();
        else if (wake.kind == WakeRequest::Later)
            wakeAt = wake.at;
    }

    // Runs the consumer's wake-ups that fall due until the given time.
    void runUntil(Clock::time_point until)
    {
        while (wakeAt && *wakeAt <= until) {
            clock.advance(*wakeAt - clock.now());
            wakeAt.reset();
            handleBatch();
        }
        if (until > clock.now())
            clock.advance(until - clock.now());
    }

    void handleBatch()
    {
        ++wakes;
        queue.takePending();
        callsWaiting = 0;
        doc.beginBatch();
        Notification n;
        while (queue.next(n)) {
            const auto latency = clock.now() - pushedAt[n.frame.id];
            maxLatency = std::max(maxLatency, latency);
            doc.AddFrame({}, nullptr, n.frame, CVEXODoc::StoreOnly);
        }
        doc.endBatch();
        // What the bar shows is what the store holds, after every batch.
        QCOMPARE(bar.txText, std::to_string(doc.txCount()));
        QCOMPARE(bar.rxText, std::to_string(doc.rxCount()));
        QCOMPARE(mainFrame.progress, int(doc.frameCount() / CVEXODoc::ProgressDivisor));
        QCOMPARE(bar.pageCountText, "/" + std::to_string(doc.pageCount()));
    }

    ManualClock clock;
    NotificationQueue queue{clock};
    std::optional<Clock::time_point> wakeAt;
    std::vector<Clock::time_point> pushedAt;
    int wakes = 0;
    int wakeRequests = 0;
    Clock::duration maxLatency{0};
    int callsWaiting = 0;
    CVEXODoc doc;
    RecordingControlBar bar;
    RecordingMainFrame mainFrame;
};

} // namespace

class TestNotificationBatches : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wakeUpsStayBounded_data();
    void wakeUpsStayBounded();
    void quietSpellShowsAtOnce();
    void callsRideWithTheBatches();
};

void TestNotificationBatches::wakeUpsStayBounded_data()
{
    QTest::addColumn<int>("periodUs"); // between two frames
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("maxWakes");

    // A second of traffic: whatever the rate, at most one batch per interval
    // (60 in a second, and one for the first frame).
    QTest::newRow("saturated bus") << 100 << 10000 << 61;
    QTest::newRow("a frame every 5 ms") << 5000 << 200 << 61;
    QTest::newRow("just slower than the screen") << 17000 << 59 << 60;
    // Frames further apart than the interval each wake the consumer at once.
    QTest::newRow("a frame every 40 ms") << 40000 << 25 << 25;
}

void TestNotificationBatches::wakeUpsStayBounded()
{
    QFETCH(int, periodUs);
    QFETCH(int, frames);
    QFETCH(int, maxWakes);

    Simulation s;
    const auto start = s.clock.now();
    for (int n = 0; n < frames; ++n) {
        s.runUntil(start + n * std::chrono::microseconds(periodUs));
        s.push(static_cast<std::uint32_t>(n));
    }
    // The last frame of the burst is handled within an interval, with nothing
    // to prompt it.
    s.runUntil(s.clock.now() + Interval);
    QVERIFY(!s.wakeAt);
    QCOMPARE(s.doc.frameCount(), std::uint32_t(frames));
    QCOMPARE(s.queue.pendingCount(), std::size_t{0});
    QVERIFY2(s.wakes <= maxWakes, QByteArray::number(s.wakes));
    // No frame waits longer than an interval.
    QVERIFY(s.maxLatency <= Interval);
}

void TestNotificationBatches::quietSpellShowsAtOnce()
{
    Simulation s;
    for (std::uint32_t n = 0; n < 100; ++n) {
        s.runUntil(s.clock.now() + 100us);
        s.push(n);
    }
    // Right after a batch, the next frame waits for the interval ...
    QVERIFY(s.wakeAt);
    s.runUntil(*s.wakeAt);
    s.push(100);
    QVERIFY(s.wakeAt && *s.wakeAt == s.clock.now() + Interval);
    // ... but after a quiet spell it is handled the moment it arrives.
    s.runUntil(s.clock.now() + 200ms);
    const int wakes = s.wakes;
    s.push(101);
    QVERIFY(s.wakeAt && *s.wakeAt == s.clock.now());
    s.runUntil(s.clock.now());
    QCOMPARE(s.wakes, wakes + 1);
    QCOMPARE(s.doc.frameCount(), 102U);
}

void TestNotificationBatches::callsRideWithTheBatches()
{
    // A saturated bus for a second and a call every 100 ms: the calls cost no
    // wake-up of their own, and the last is made within an interval.
    Simulation s;
    const auto start = s.clock.now();
    for (int n = 0; n < 10000; ++n) {
        s.runUntil(start + n * 100us);
        if (n % 1000 == 500)
            s.requestBatch();
        s.push(static_cast<std::uint32_t>(n));
    }
    s.runUntil(s.clock.now() + Interval);
    QVERIFY2(s.wakeRequests <= 61, QByteArray::number(s.wakeRequests));
    QCOMPARE(s.callsWaiting, 0);
    // On a quiet bus a call is made at once.
    s.runUntil(s.clock.now() + 200ms);
    s.requestBatch();
    QVERIFY(s.wakeAt && *s.wakeAt == s.clock.now());
}

QTEST_GUILESS_MAIN(TestNotificationBatches)
#include "tst_notificationbatches.moc"
