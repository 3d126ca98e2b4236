#include "device/FaultConfinement.h"

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
};

QTEST_GUILESS_MAIN(FaultConfinementTest)
#include "tst_faultconfinement.moc"
