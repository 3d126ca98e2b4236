#include "device/FrameRules.h"

#include "FrameBuilders.h"

#include <QTest>

#include <random>

Q_DECLARE_METATYPE(CAN_Frame)

namespace { } // namespace

class FrameRulesTest : public QObject {
    Q_OBJECT

private slots:
    void bitCountIncludesStuffing_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<int>("bits");
        // 34 zero bits from start of frame to the end of the (zero) CRC need
        // a stuff bit after every fifth: 34 + 6 + 13.
        QTest::newRow("all-zero standard frame") << frameOf(0x04, 0x000, 0) << 53;
    }
    void bitCountIncludesStuffing()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(int, bits);
        QCOMPARE(FrameRules::bitCount(frame), bits);
    }

    void bitCountStaysWithinTheFormatsBounds()
    {
        // Unstuffed: 47 + 8n bits (standard) or 67 + 8n (extended), with the
        // intermission; at most one stuff bit per four bits of the stuffed part.
        std::mt19937 random(7);
        for (int i = 0; i < 5000; ++i) {
            const bool extended = random() % 2;
            const bool remote = random() % 5 == 0;
            const auto dlc = static_cast<std::uint8_t>(random() % 9);
            CAN_Frame f =
                frameOf(static_cast<std::uint8_t>(0x04 | (extended ? 2 : 0) | (remote ? 1 : 0)),
                        random() & (extended ? 0x1FFFFFFF : 0x7FF), dlc);
            for (auto &b : f.data)
                b = static_cast<std::uint8_t>(random());
            const int n = remote ? 0 : dlc;
            const int unstuffed = (extended ? 67 : 47) + 8 * n;
            const int stuffedPart = (extended ? 54 : 34) + 8 * n;
            const int bits = FrameRules::bitCount(f);
            QVERIFY(bits >= unstuffed);
            QVERIFY(bits <= unstuffed + (stuffedPart - 1) / 4);
        }
    }

    void onlyFramesTheBusCanCarryAreSent_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<bool>("ok");
        QTest::newRow("std 0x7FF") << frameOf(0x14, 0x7FF, 8) << true;
        QTest::newRow("std 0x800") << frameOf(0x14, 0x800, 8) << false;
        QTest::newRow("ext 0x1FFFFFFF") << frameOf(0x16, 0x1FFFFFFF, 0) << true;
        QTest::newRow("ext 0x20000000") << frameOf(0x16, 0x20000000, 0) << false;
        QTest::newRow("dlc 9") << frameOf(0x14, 0x1, 9) << false;
        QTest::newRow("remote dlc 8") << frameOf(0x15, 0x1, 8) << true;
    }
    void onlyFramesTheBusCanCarryAreSent()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(bool, ok);
        QCOMPARE(FrameRules::isTransmittable(frame), ok);
    }

    void reportedRecordsAreClean()
    {
        CAN_Frame sent = frameOf(0xE5, 0x123, 3, {1, 2, 3, 4, 5});
        sent.reserved1[0] = 9;
        const CAN_Frame echo = FrameRules::transmittedRecord(sent);
        QCOMPARE(int(echo.type), 0x15);
        QCOMPARE(int(echo.data[0]), 0); // a remote frame carries no data
        QCOMPARE(int(echo.reserved1[0]), 0);
        const CAN_Frame data = FrameRules::receivedRecord(frameOf(0x16, 0x1234, 2, {7, 8, 9}));
        QCOMPARE(int(data.type), 0x06);
        QCOMPARE(int(data.data[1]), 8);
        QCOMPARE(int(data.data[2]), 0);
    }

    void triggerMatching_data()
    {
        QTest::addColumn<CAN_Frame>("trigger");
        QTest::addColumn<CAN_Frame>("received");
        QTest::addColumn<bool>("match");
        const CAN_Frame data = frameOf(0x04, 0x456, 2, {0x12, 0x34});
        QTest::newRow("same data frame")
            << data << frameOf(0x04, 0x456, 2, {0x12, 0x34, 0x99}) << true;
        QTest::newRow("other byte") << data << frameOf(0x04, 0x456, 2, {0x12, 0x35}) << false;
        QTest::newRow("other dlc") << data << frameOf(0x04, 0x456, 3, {0x12, 0x34}) << false;
        QTest::newRow("other id") << data << frameOf(0x04, 0x457, 2, {0x12, 0x34}) << false;
        QTest::newRow("extended, same number")
            << data << frameOf(0x06, 0x456, 2, {0x12, 0x34}) << false;
        QTest::newRow("remote ignores data")
            << frameOf(0x05, 0x456, 8, {1, 2, 3}) << frameOf(0x05, 0x456, 8) << true;
        QTest::newRow("remote vs data") << frameOf(0x05, 0x456, 2) << data << false;
        QTest::newRow("trigger with transmitted bit still matches by kind")
            << frameOf(0x14, 0x456, 2, {0x12, 0x34}) << data << true;
    }
    void triggerMatching()
    {
        QFETCH(CAN_Frame, trigger);
        QFETCH(CAN_Frame, received);
        QFETCH(bool, match);
        QCOMPARE(FrameRules::matchesTrigger(trigger, received), match);
    }
};

QTEST_GUILESS_MAIN(FrameRulesTest)
#include "tst_framerules.moc"
