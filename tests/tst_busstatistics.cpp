#include "capture/CanPacket.h"
#include "statistics/BusStatistics.h"

#include "FrameBuilders.h"

#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(std::vector<qint64>)

namespace {

// Two frames whose length on the wire was counted by hand, stuff bits and
// the 13 bits from the CRC delimiter to the end of the intermission included.
// Identifier 0 with DLC 0: 34 dominant bits need six stuff bits, 34 + 6 + 13.
const CAN_Frame Short53 = frameOf(0x04, 0x000, 0);
// Extended 0x1ABCDE with the byte A5: 64 stuffed bits (two of them stuff
// bits), + 13.
const CAN_Frame Extended77 = frameOf(0x06, 0x1ABCDE, 1, {0xA5});

void add(BusStatistics &s, const CAN_Frame &f, std::int64_t timeUs)
{
    s.addFrame(f.type, f.id, f.dlc, f.data, timeUs);
}

// Short frames back to back at 1 Mbit/s from 0 to durationUs.
void saturate(BusStatistics &s, std::int64_t durationUs)
{
    for (std::int64_t t = 53; t <= durationUs; t += 53)
        add(s, Short53, t);
}

constexpr qint64 Reconnect = -1;

} // namespace

class TestBusStatistics : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cycleTimes_data()
    {
        QTest::addColumn<std::vector<qint64>>("times");
        QTest::addColumn<int>("intervals");
        QTest::addColumn<qint64>("last");
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("jitter");

        QTest::newRow("one frame has no cycle")
            << std::vector<qint64>{5000} << 0 << qint64(0) << qint64(0) << qint64(0) << 0.0 << 0.0;
        QTest::newRow("9 and 11 ms in turn")
            << std::vector<qint64>{0, 9000, 20000, 29000, 40000} << 4 << qint64(11000)
            << qint64(9000) << qint64(11000) << 10000.0 << 1000.0;
        QTest::newRow("the bus time starts again: no negative cycle")
            << std::vector<qint64>{10'000'000, 10'010'000, 2'000'000, 2'020'000} << 2
            << qint64(20000) << qint64(10000) << qint64(20000) << 15000.0 << 5000.0;
        QTest::newRow("no cycle across a reconnect")
            << std::vector<qint64>{0, 100000, Reconnect, 5'000'000, 5'100'000} << 2
            << qint64(100000) << qint64(100000) << qint64(100000) << 100000.0 << 0.0;
    }
    void cycleTimes()
    {
        QFETCH(std::vector<qint64>, times);
        BusStatistics s;
        for (const qint64 t : times) {
            if (t == Reconnect)
                s.restartTiming();
            else
                add(s, frameOf(0x04, 0x0C4, 8), t);
        }
        QFETCH(int, intervals);
        QFETCH(qint64, last);
        QFETCH(qint64, min);
        QFETCH(qint64, max);
        QFETCH(double, mean);
        QFETCH(double, jitter);
        QCOMPARE(s.rows().size(), std::size_t{1});
        const BusStatistics::CycleTime &cycle = s.rows().front().cycle;
        QCOMPARE(int(cycle.intervals), intervals);
        QCOMPARE(qint64(cycle.last), last);
        QCOMPARE(qint64(cycle.min), min);
        QCOMPARE(qint64(cycle.max), max);
        QCOMPARE(cycle.mean(), mean);
        QVERIFY(std::abs(cycle.jitter() - jitter) < 1e-6);
    }

    void rowsByIdentifierAndKind()
    {
        BusStatistics s;
        s.setBitrate(1'000'000);
        add(s, frameOf(0x04, 0x123, 2, {0x11, 0x22}), 0);
        add(s, frameOf(0x14, 0x123, 1, {0x33}), 10);
        add(s, frameOf(0x05, 0x123, 4), 20);
        add(s, frameOf(0x06, 0x123, 0), 30);
        QCOMPARE(s.rows().size(), std::size_t{3});
        const BusStatistics::Row &data = s.rows()[0];
        QCOMPARE(int(data.kind), 0);
        QCOMPARE(data.count, std::uint64_t{2});
        QCOMPARE(data.rxCount(), std::uint64_t{1});
        QCOMPARE(data.txCount, std::uint64_t{1});
        QCOMPARE(int(data.dlc), 1);
        QCOMPARE(int(data.data[0]), 0x33);
        QCOMPARE(int(s.rows()[1].kind), 1);
        QCOMPARE(int(s.rows()[2].kind), 2);
        QCOMPARE(s.frameCount(), std::uint64_t{4});
    }

    void sharesOfTheBus()
    {
        // Over one second at 1 Mbit/s: 1,001 short frames, one every
        // millisecond, and 101 extended ones, one every 10 ms.
        BusStatistics s;
        s.setBitrate(1'000'000);
        for (std::int64_t t = 0; t <= 1'000'000; t += 1000) {
            add(s, Short53, t);
            if (t % 10000 == 0)
                add(s, Extended77, t);
        }
        QCOMPARE(s.measuredTime(), std::int64_t{1'000'000});
        QVERIFY(std::abs(*s.sharePercent(s.rows()[0]) - 5.3053) < 1e-9);
        QVERIFY(std::abs(*s.sharePercent(s.rows()[1]) - 0.7777) < 1e-9);
        QVERIFY(std::abs(*s.meanLoadPercent() - 6.083) < 1e-9);
        s.setBitrate(0);
        QVERIFY(!s.sharePercent(s.rows()[0]));
        QVERIFY(!s.loadPercent());
    }

    void loadOfTheLastSecond_data()
    {
        QTest::addColumn<int>("bitrate");
        QTest::addColumn<int>("periodUs");
        QTest::addColumn<bool>("alternate"); // short and extended frames in turn
        QTest::addColumn<double>("percent");

        QTest::newRow("back to back at 1 Mbit/s") << 1'000'000 << 53 << false << 100.0;
        // 53 + 77 bits every millisecond.
        QTest::newRow("two lengths in turn") << 1'000'000 << 500 << true << 13.0;
        // 53 + 77 bits every 2 ms at half the rate.
        QTest::newRow("at 500 kbit/s") << 500'000 << 1000 << true << 13.0;
    }
    void loadOfTheLastSecond()
    {
        QFETCH(int, bitrate);
        QFETCH(int, periodUs);
        QFETCH(bool, alternate);
        QFETCH(double, percent);
        BusStatistics s;
        s.setBitrate(static_cast<std::uint32_t>(bitrate));
        QCOMPARE(*s.loadPercent(), 0.0);
        int n = 0;
        for (std::int64_t t = periodUs; t <= 3'000'000; t += periodUs)
            add(s, alternate && n++ % 2 ? Extended77 : Short53, t);
        QVERIFY2(std::abs(*s.loadPercent() - percent) < 0.05,
                 qPrintable(QString::number(*s.loadPercent())));
    }

    void quietBusAfterTraffic_data()
    {
        QTest::addColumn<qint64>("quietUs");
        QTest::addColumn<double>("percent");
        QTest::newRow("right after the last frame") << qint64(0) << 100.0;
        QTest::newRow("half a second later") << qint64(500'000) << 50.0;
        QTest::newRow("more than a second later") << qint64(1'200'000) << 0.0;
    }
    void quietBusAfterTraffic()
    {
        QFETCH(qint64, quietUs);
        QFETCH(double, percent);
        BusStatistics s;
        s.setBitrate(1'000'000);
        saturate(s, 2'000'000);
        // The wall clock has its own origin; only its progress counts.
        s.advanceClock(7'000'000);
        s.advanceClock(7'000'000 + quietUs);
        QVERIFY2(std::abs(*s.loadPercent() - percent) < 0.1,
                 qPrintable(QString::number(*s.loadPercent())));
        // Frames tell the time again as soon as they come.
        add(s, Short53, 2'000'100);
        s.advanceClock(7'000'000 + quietUs + 1);
        QCOMPARE(s.now(), std::int64_t{2'000'100});
    }

    void loadHistory()
    {
        BusStatistics s;
        s.setBitrate(1'000'000);
        saturate(s, 2'000'000);
        // The last frame ended at 1,999,955 us.
        s.advanceClock(0);
        s.advanceClock(450'045);
        // Whole windows from 1.1 s in steps of 100 ms, then now (2.45 s).
        const auto history = s.loadHistory(60'000'000, 100'000);
        QCOMPARE(history.size(), std::size_t{15});
        QCOMPARE(history.front().ageUs, std::int64_t{1'350'000});
        QVERIFY(std::abs(history.front().percent - 100.0) < 0.1);
        QCOMPARE(history[13].ageUs, std::int64_t{50'000});
        QVERIFY(std::abs(history[13].percent - 60.0) < 0.1);
        QCOMPARE(history.back().ageUs, std::int64_t{0});
        QVERIFY(std::abs(history.back().percent - 55.0) < 0.1);

        // Less than a second of frames: only now.
        BusStatistics young;
        young.setBitrate(1'000'000);
        saturate(young, 500'000);
        QCOMPARE(young.loadHistory(60'000'000, 100'000).size(), std::size_t{1});
    }

    void loadedCaptureStartsAfresh()
    {
        BusStatistics s;
        s.setBitrate(250'000);
        add(s, frameOf(0x04, 0x7FF, 0), 0);
        const std::uint64_t before = s.generation();
        const std::uint8_t bytes[8] = {1, 2};
        std::vector<CAN_Packet> log;
        log.emplace_back(0, 0x04, 0x100, 2, bytes, 0, 75, "01 02", "01:15  000.000");
        log.emplace_back(1, 0x04, 0x100, 2, bytes, 20000, 75, "01 02", "01:15  020.000");
        s.replaceWith(log);
        QVERIFY(s.generation() != before);
        QCOMPARE(s.rows().size(), std::size_t{1});
        QCOMPARE(s.rows()[0].id, 0x100U);
        QCOMPARE(s.rows()[0].cycle.last, std::int64_t{20000});
        QCOMPARE(s.bitrate(), 250'000U);

        s.clear();
        QVERIFY(s.rows().empty());
        QCOMPARE(s.frameCount(), std::uint64_t{0});
        QCOMPARE(*s.loadPercent(), 0.0);
    }

    // A loaded capture is measured at the rate chosen for logs, a change of
    // that choice applies to it at once, and a connection's rate takes over.
    void loadedCaptureTakesTheRateChosenForLogs()
    {
        BusStatistics s;
        s.setBitrate(1'000'000);
        s.setLogBitrate(250'000);
        QCOMPARE(s.bitrate(), 1'000'000U); // live figures keep the adapter's
        std::vector<CAN_Packet> log;
        for (std::uint32_t n = 0; n < 10; ++n)
            log.emplace_back(n, 0x04, 0x000, 0, Short53.data, n * 1000, 75, "", "");
        s.replaceWith(log);
        QVERIFY(s.ofLog());
        QCOMPARE(s.bitrate(), 250'000U);
        const double at250 = *s.meanLoadPercent();
        s.setLogBitrate(500'000);
        QCOMPARE(s.bitrate(), 500'000U);
        QVERIFY(std::abs(*s.meanLoadPercent() * 2 - at250) < 1e-9);

        s.setBitrate(125'000); // connected
        QVERIFY(!s.ofLog());
        s.setLogBitrate(1'000'000);
        QCOMPARE(s.bitrate(), 125'000U);
    }

    void identifiersBeyondTheTableAreStillCounted()
    {
        BusStatistics s;
        s.setBitrate(1'000'000);
        for (std::uint32_t i = 0; i <= BusStatistics::MaxRows; ++i)
            add(s, frameOf(0x06, 0x100000 + i, 0), i * 100);
        add(s, frameOf(0x06, 0x100000, 0), 600'000);
        QCOMPARE(s.rows().size(), BusStatistics::MaxRows);
        QCOMPARE(s.unlistedFrameCount(), std::uint64_t{1});
        QCOMPARE(s.frameCount(), std::uint64_t{BusStatistics::MaxRows + 2});
        QCOMPARE(s.rows()[0].count, std::uint64_t{2});
    }
};

QTEST_GUILESS_MAIN(TestBusStatistics)
#include "tst_busstatistics.moc"
