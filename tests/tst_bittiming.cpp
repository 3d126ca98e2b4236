#include "device/BitTiming.h"
#include "device/DeviceLibrary.h"

#include <QTest>

#include <cmath>
#include <vector>

Q_DECLARE_METATYPE(CAN_Timing)

class BitTimingTest : public QObject {
    Q_OBJECT

private slots:
    void presetsAreExact_data()
    {
        QTest::addColumn<int>("kbps");
        for (int kbps : {50, 100, 125, 250, 500, 1000})
            QTest::newRow(qPrintable(QString::number(kbps))) << kbps;
        QTest::newRow("10, the slowest") << 10;
        QTest::newRow("800") << 800;
    }
    void presetsAreExact()
    {
        QFETCH(int, kbps);
        CAN_Timing timing;
        QVERIFY(BitTiming::calculate(static_cast<std::uint32_t>(kbps * 1000), timing));
        QVERIFY(BitTiming::isValid(timing));
        QCOMPARE(BitTiming::bitrate(timing), kbps * 1000.0);
        std::int32_t readBack = 0;
        QVERIFY(BitTiming::toKbitPerSecond(timing, readBack));
        QCOMPARE(readBack, kbps);
        // The sample point lands where CAN networks want it.
        QVERIFY(BitTiming::samplePoint(timing) >= 75.0F);
        QVERIFY(BitTiming::samplePoint(timing) <= 90.0F);
        QVERIFY(timing.sjw + 1 <= timing.tseg2);
    }

    void unreachableRatesFail_data()
    {
        QTest::addColumn<unsigned>("bitsPerSecond");
        QTest::newRow("0") << 0U;
        QTest::newRow("3 kbit/s") << 3000U;
        QTest::newRow("9.9 kbit/s") << 9900U;
        QTest::newRow("1001 kbit/s") << 1001000U;
        QTest::newRow("2 Mbit/s") << 2000000U;
    }
    void unreachableRatesFail()
    {
        QFETCH(unsigned, bitsPerSecond);
        CAN_Timing timing{7, 1, 2, 3, 4};
        const CAN_Timing untouched = timing;
        QVERIFY(!BitTiming::calculate(bitsPerSecond, timing));
        QVERIFY(timing == untouched);
    }

    void timingToBitrate_data()
    {
        QTest::addColumn<CAN_Timing>("timing");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("kbps");
        QTest::addColumn<float>("samplePoint");
        // 16 MHz / (1 * 12 * 16) = 83.333 kbit/s
        QTest::newRow("83.333 reads as 83") << CAN_Timing{12, 1, 12, 3, 0} << true << 83 << 81.25F;
        QTest::newRow("500, divider 2") << CAN_Timing{1, 1, 13, 2, 1} << true << 500 << 87.5F;
        QTest::newRow("50, divider 5") << CAN_Timing{8, 0, 6, 1, 3} << true << 50 << 87.5F;
        QTest::newRow("1000, late sample point")
            << CAN_Timing{1, 0, 14, 1, 0} << true << 1000 << 93.75F;
        QTest::newRow("BTR 0") << CAN_Timing{0, 0, 13, 2, 0} << false << 0 << 87.5F;
        QTest::newRow("TSEG2 0") << CAN_Timing{2, 0, 13, 0, 0} << false << 0 << 100.0F;
        QTest::newRow("SJW beyond phase 2") << CAN_Timing{2, 2, 13, 2, 0} << false << 0 << 87.5F;
        QTest::newRow("divider selector 8") << CAN_Timing{2, 0, 13, 2, 8} << false << 0 << 87.5F;
        QTest::newRow("too few quanta") << CAN_Timing{4, 0, 4, 2, 0} << false << 0 << 71.428574F;
        QTest::newRow("too fast") << CAN_Timing{1, 0, 5, 2, 0} << false << 0 << 75.0F;
        QTest::newRow("too slow") << CAN_Timing{255, 0, 13, 2, 7} << false << 0 << 87.5F;
    }
    void timingToBitrate()
    {
        QFETCH(CAN_Timing, timing);
        QFETCH(bool, valid);
        QFETCH(int, kbps);
        QFETCH(float, samplePoint);
        std::int32_t readBack = -1;
        QCOMPARE(BitTiming::toKbitPerSecond(timing, readBack), valid);
        if (valid)
            QCOMPARE(readBack, kbps);
        else
            QCOMPARE(readBack, -1);
        QCOMPARE(BitTiming::samplePoint(timing), samplePoint);
    }

    void everyWholeRateReachesTheNearestTiming()
    {
        // Every rate the controller can make: the clock over divider,
        // prescaler and quanta per bit.
        std::vector<double> makeable;
        for (const int divider : {1, 2, 3, 5, 9, 17, 33, 65})
            for (int btr = 1; btr <= 255; ++btr)
                for (int quanta = BitTiming::MinQuanta; quanta <= BitTiming::MaxQuanta; ++quanta) {
                    const double rate = double(BitTiming::ClockHz) / (divider * btr * quanta);
                    if (rate >= BitTiming::MinBitrate && rate <= BitTiming::MaxBitrate)
                        makeable.push_back(rate);
                }
        for (std::uint32_t kbps = 10; kbps <= 1000; ++kbps) {
            const double wanted = kbps * 1000.0;
            CAN_Timing timing;
            QVERIFY2(BitTiming::calculate(kbps * 1000, timing), qPrintable(QString::number(kbps)));
            QVERIFY(BitTiming::isValid(timing));
            double nearest = makeable.front();
            for (const double rate : makeable) {
                if (std::abs(rate - wanted) < std::abs(nearest - wanted))
                    nearest = rate;
            }
            QVERIFY2(std::abs(BitTiming::bitrate(timing) - wanted)
                         <= std::abs(nearest - wanted) + 1e-6,
                     qPrintable(QString::number(kbps)));
        }
        // 83 kbit/s is made as 83.333 kbit/s, 997 as 1000.
        CAN_Timing timing;
        QVERIFY(BitTiming::calculate(83'000, timing));
        QCOMPARE(qRound(BitTiming::bitrate(timing)), 83'333);
        QVERIFY(BitTiming::calculate(997'000, timing));
        QCOMPARE(BitTiming::bitrate(timing), 1'000'000.0);
    }
};

QTEST_GUILESS_MAIN(BitTimingTest)
#include "tst_bittiming.moc"
