#include "app/LinkStatusPoller.h"
#include "app/LinkStatusWatch.h"
#include "device/Clock.h"

#include <QCoreApplication>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// The link status byte as the main frame keeps it: the handler shows the
// icon for the value it is given and clears the activity bits.
struct Frame {
    std::atomic<std::uint8_t> status{0};
    std::vector<std::uint8_t> shown;
    QObject receiver;

    void handle(std::uint8_t value)
    {
        shown.push_back(value);
        status.fetch_and(static_cast<std::uint8_t>(~LinkStatusWatch::ActivityBits));
    }
};

} // namespace

class TestLinkStatus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void watch_data();
    void watch();
    void arrowSettlesAfterRenewedActivity();
    void stopServesNothingElse();
};

void TestLinkStatus::watch_data()
{
    // Readings of the status, one per poll, and the values handed over. The
    // handler clears the activity bits of every value it is handed.
    QTest::addColumn<std::vector<int>>("readings");
    QTest::addColumn<std::vector<int>>("handed");

    QTest::newRow("connected, one frame, settled")
        << std::vector<int>{8, 9, 8, 8} << std::vector<int>{8, 9, 8};
    QTest::newRow("activity raised again before the next poll")
        << std::vector<int>{8, 9, 9, 9, 8, 8} << std::vector<int>{8, 9, 9, 9, 8};
    QTest::newRow("bus error with receive activity")
        << std::vector<int>{8, 13, 12, 12} << std::vector<int>{8, 13, 12};
    QTest::newRow("transmit then receive")
        << std::vector<int>{10, 9, 8} << std::vector<int>{10, 9, 8};
    QTest::newRow("disconnected stays quiet") << std::vector<int>{0, 0} << std::vector<int>{};
}

void TestLinkStatus::watch()
{
    QFETCH(std::vector<int>, readings);
    QFETCH(std::vector<int>, handed);

    LinkStatusWatch watch;
    std::vector<int> result;
    for (const int value : readings) {
        const auto v = static_cast<std::uint8_t>(value);
        if (watch.needsHandOver(v)) {
            result.push_back(value);
            watch.handedOver(v);
        }
    }
    QCOMPARE(result, handed);
}

void TestLinkStatus::arrowSettlesAfterRenewedActivity()
{
    // A frame raises the receive bit again after the handler cleared it but
    // before the next poll; once traffic stops the arrow still goes.
    ManualClock clock;
    Frame frame;
    frame.status = 8;
    LinkStatusPoller poller(
        frame.status, LinkStatusPoller::postTo(&frame.receiver),
        [&](std::uint8_t v) { frame.handle(v); }, 100ms, &clock);
    poller.start();
    auto poll = [&] {
        const auto before = poller.pollCount();
        clock.advance(100ms);
        QTRY_VERIFY(poller.pollCount() > before);
    };

    poll();
    frame.status |= 0x01;
    poll();
    frame.status |= 0x01;
    poll();
    poll();
    poll();
    QCOMPARE(frame.shown, (std::vector<std::uint8_t>{8, 9, 9, 8}));
    QCOMPARE(int(frame.status), 8);
    poller.stop();
}

void TestLinkStatus::stopServesNothingElse()
{
    // The poller waits for its hand-over when the window closes: stopping it
    // neither runs the handler nor any other call queued to the window.
    ManualClock clock;
    Frame frame;
    frame.status = 8;
    int otherCalls = 0;
    LinkStatusPoller poller(
        frame.status, LinkStatusPoller::postTo(&frame.receiver),
        [&](std::uint8_t v) { frame.handle(v); }, 100ms, &clock);
    poller.start();
    QMetaObject::invokeMethod(
        &frame.receiver, [&] { ++otherCalls; }, Qt::QueuedConnection);
    clock.advance(100ms);
    // The hand-over is queued behind the other call; the poller waits for it.
    for (int i = 0; i < 10000 && poller.handOverCount() == 0; ++i)
        std::this_thread::sleep_for(1ms);
    QCOMPARE(poller.handOverCount(), std::uint64_t{1});
    poller.stop();
    QVERIFY(!poller.isRunning());
    QCOMPARE(otherCalls, 0);
    QVERIFY(frame.shown.empty());

    // Once the window's thread runs again, its own calls run; the abandoned
    // hand-over does nothing.
    QCoreApplication::processEvents();
    QCOMPARE(otherCalls, 1);
    QVERIFY(frame.shown.empty());
}

QTEST_GUILESS_MAIN(TestLinkStatus)
#include "tst_linkstatus.moc"
