#include "device/FaultConfinement.h"
#include "device/SocketCanErrors.h"

#include <QTest>

using Error = FaultConfinement::Error;

class FaultConfinementTest : public QObject {
    Q_OBJECT

private slots:
    void transmitErrorsLeadToPassiveThenBusOff()
    {
        FaultConfinement fc;
        for (int i = 0; i < 15; ++i)
            fc.transmitError(Error::BitDominant);
        QCOMPARE(fc.transmitErrorCount(), 120);
        QCOMPARE(fc.mode(), FaultConfinement::ErrorActive);
        fc.transmitError(Error::Stuff);
        QCOMPARE(fc.mode(), FaultConfinement::ErrorPassive);
        for (int i = 0; i < 16; ++i)
            fc.transmitError(Error::Form);
        QCOMPARE(fc.mode(), FaultConfinement::BusOff);
        const CAN_ErrorStatus status = fc.status();
        QCOMPARE(int(status.tec), 255);
        QCOMPARE(int(status.errorMode), 4);
        QCOMPARE(int(status.lec), 2);
        QCOMPARE(int(status.bitErrors), 15);
        QCOMPARE(int(status.stuffErrors), 1);
        QCOMPARE(int(status.formErrors), 16);
        // Bus off counts nothing more until it recovers.
        fc.transmitError(Error::Form);
        fc.receiveSucceeded();
        QCOMPARE(int(fc.status().formErrors), 16);
        fc.recover();
        QCOMPARE(fc.mode(), FaultConfinement::ErrorActive);
        QCOMPARE(fc.transmitErrorCount(), 0);
        QCOMPARE(int(fc.status().formErrors), 16);
    }

    void passiveSenderIsNotPunishedForMissingAcknowledge()
    {
        FaultConfinement fc;
        for (int i = 0; i < 17; ++i)
            fc.transmitError(Error::Ack);
        QCOMPARE(fc.transmitErrorCount(), 128);
        QCOMPARE(fc.mode(), FaultConfinement::ErrorPassive);
        fc.transmitError(Error::Ack);
        QCOMPARE(fc.transmitErrorCount(), 128);
        QCOMPARE(int(fc.status().ackErrors), 18);
        QCOMPARE(int(fc.status().lec), 3);
    }

    void successesCountDown()
    {
        FaultConfinement fc;
        for (int i = 0; i < 130; ++i)
            fc.receiveError(Error::Crc);
        QCOMPARE(fc.receiveErrorCount(), 130);
        QCOMPARE(fc.mode(), FaultConfinement::ErrorPassive);
        fc.receiveSucceeded();
        QCOMPARE(fc.receiveErrorCount(), 119);
        QCOMPARE(fc.mode(), FaultConfinement::ErrorActive);
        fc.transmitError(Error::BitRecessive);
        fc.transmitSucceeded();
        QCOMPARE(fc.transmitErrorCount(), 7);
        for (int i = 0; i < 10; ++i)
            fc.transmitSucceeded();
        QCOMPARE(fc.transmitErrorCount(), 0);
        QCOMPARE(int(fc.status().crcErrors), 130);
    }

    void countsSaturate()
    {
        FaultConfinement fc;
        for (int i = 0; i < 70000; ++i) {
            fc.receiveError(Error::Stuff);
            fc.receiveSucceeded();
        }
        QCOMPARE(int(fc.status().stuffErrors), 0xFFFF);
    }

    // Error frames of a real interface feed the same status record.
    void socketCanErrorFrames_data()
    {
        QTest::addColumn<unsigned>("errorClass");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("lec");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("tec");
        QTest::addColumn<int>("rec");
        QTest::addColumn<int>("counted"); // stuff, form, ack, bit, crc as digits
        QTest::newRow("stuff error with counters")
            << 0x208U << QByteArray::fromHex("0000040000000a03") << 1 << 0 << 10 << 3 << 10000;
        QTest::newRow("CRC error by location")
            << 0x008U << QByteArray::fromHex("0000000800000000") << 6 << 0 << 0 << 0 << 1;
        QTest::newRow("bit error, dominant sent")
            << 0x008U << QByteArray::fromHex("0000080000000000") << 5 << 0 << 0 << 0 << 10;
        QTest::newRow("no acknowledgement")
            << 0x020U << QByteArray::fromHex("0000000000000000") << 3 << 0 << 0 << 0 << 100;
        QTest::newRow("passive") << 0x204U << QByteArray::fromHex("0020000000008000") << 0 << 1
                                 << 128 << 0 << 0;
        QTest::newRow("bus off") << 0x040U << QByteArray::fromHex("0000000000000000") << 0 << 4 << 0
                                 << 0 << 0;
    }
    void socketCanErrorFrames()
    {
        QFETCH(unsigned, errorClass);
        QFETCH(QByteArray, data);
        QFETCH(int, lec);
        QFETCH(int, mode);
        QFETCH(int, tec);
        QFETCH(int, rec);
        QFETCH(int, counted);
        std::uint8_t bytes[8] = {};
        std::copy(data.begin(), data.end(), bytes);
        CAN_ErrorStatus status;
        QVERIFY(SocketCanErrors::apply(errorClass, bytes, status));
        QCOMPARE(int(status.lec), lec);
        QCOMPARE(int(status.errorMode), mode);
        QCOMPARE(int(status.tec), tec);
        QCOMPARE(int(status.rec), rec);
        QCOMPARE(status.stuffErrors * 10000 + status.formErrors * 1000 + status.ackErrors * 100
                     + status.bitErrors * 10 + status.crcErrors,
                 counted);
        // The same frame again changes the counts but not the counters.
        const CAN_ErrorStatus once = status;
        SocketCanErrors::apply(errorClass, bytes, status);
        QCOMPARE(int(status.tec), int(once.tec));
    }
};

QTEST_GUILESS_MAIN(FaultConfinementTest)
#include "tst_faultconfinement.moc"
