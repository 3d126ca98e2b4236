// The logs of other CAN tools: candump logs and ASC files, with lines as
// can-utils, python-can and Vector tools write them.

#include "capture/CanPacket.h"
#include "logfile/AscLog.h"
#include "logfile/LogFormat.h"

#include "LogPackets.h"

#include <QTest>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// A frame as "type id dlc data seconds.microseconds", in hexadecimal but the time.
QString describe(const CAN_Packet &p)
{
    const int count = storedByteCount(p.type, p.dlc);
    return QStringLiteral("%1 %2 %3 %4 %5.%6")
        .arg(p.type, 2, 16, QLatin1Char('0'))
        .arg(p.id, 0, 16)
        .arg(p.dlc)
        .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p.data), count).toHex()))
        .arg(p.timestamp >> 32)
        .arg(p.timestamp & 0xFFFFFFFF, 6, 10, QLatin1Char('0'))
        .toUpper();
}

QStringList describe(const std::vector<CAN_Packet> &frames)
{
    QStringList lines;
    for (const CAN_Packet &p : frames)
        lines << describe(p);
    return lines;
}

QString skipped(const LogReport &report)
{
    return QStringLiteral("%1 error, %2 FD, %3 other")
        .arg(report.skippedErrorFrames)
        .arg(report.skippedFdFrames)
        .arg(report.skippedOtherLines);
}

const QString NoneSkipped = QStringLiteral("0 error, 0 FD, 0 other");

} // namespace

Q_DECLARE_METATYPE(LogFormat)
Q_DECLARE_METATYPE(CaptureStart)

class TestInterchangeLogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void linesRead_data();
    void linesRead();
    void badLines_data();
    void badLines();
    void linesWritten();
    void unwritableFrames_data();
    void unwritableFrames();
    void roundTripOfFiftyThousandFrames_data();
    void roundTripOfFiftyThousandFrames();
    void openedTimes_data();
    void openedTimes();
    void writtenAtTheStart();
};

void TestInterchangeLogs::initTestCase()
{
    // The ASC date is local time.
    qputenv("TZ", "UTC");
    tzset();
}

void TestInterchangeLogs::linesRead_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("skipped");

    const auto candump = LogFormat::Candump;
    QTest::newRow("candump: standard and extended data")
        << candump
        << QByteArray("(1700000000.123456) can0 123#1122334455667788\n"
                      "(1700000000.223456) can0 1ABCDEF0#AABB\n")
        << QStringList{"04 123 8 1122334455667788 1700000000.123456",
                       "06 1ABCDEF0 2 AABB 1700000000.223456"}
        << NoneSkipped;
    QTest::newRow("candump: remote frames with and without DLC, DLC 0")
        << candump
        << QByteArray("(0000000003.000001) can0 123#R\n"
                      "(0000000003.000002) can0 00000123#R4\n"
                      "(0000000003.000003) can0 7FF#\n")
        << QStringList{"05 123 0  3.000001", "07 123 4  3.000002", "04 7FF 0  3.000003"}
        << NoneSkipped;
    QTest::newRow("candump: direction marks of newer can-utils")
        << candump
        << QByteArray("(1.000000) can0 123#11 T\n(2.000000) can0 124#22 R\n"
                      "(3.000000) can0 00000125#R2 T\n")
        << QStringList{"14 123 1 11 1.000000", "04 124 1 22 2.000000", "17 125 2  3.000000"}
        << NoneSkipped;
    QTest::newRow("candump: python-can lines, CR LF, blank lines")
        << candump
        << QByteArray("(1700000000.500000) vcan0 00000100#DEADBEEF\r\n\r\n"
                      "(1700000000.600000) vcan1 0a1#r\r\n")
        << QStringList{"06 100 4 DEADBEEF 1700000000.500000", "05 A1 0  1700000000.600000"}
        << NoneSkipped;
    QTest::newRow("candump: dotted data, DLC above 8")
        << candump
        << QByteArray("(5.5) can0 123#11.22.33\n"
                      "(5.1234567) can0 123#1122334455667788_F\n"
                      "(5.000000) can0 123#R8_E\n")
        << QStringList{"04 123 3 112233 5.500000", "04 123 15 1122334455667788 5.123456",
                       "05 123 14  5.000000"}
        << NoneSkipped;
    QTest::newRow("candump: comments and blank lines")
        << candump
        << QByteArray("# candump -l can0, Tue Nov 14\n\n  # indented remark\n"
                      "(1.000000) can0 123#11\n \t\n")
        << QStringList{"04 123 1 11 1.000000"} << NoneSkipped;
    QTest::newRow("candump: error and CAN FD frames skipped")
        << candump
        << QByteArray("(1.000000) can0 20000080#0000000000000000\n"
                      "(2.000000) can0 123##1112233\n"
                      "(3.000000) can0 123#44\n")
        << QStringList{"04 123 1 44 3.000000"} << QStringLiteral("1 error, 1 FD, 0 other");

    const auto asc = LogFormat::Asc;
    QTest::newRow("asc: as log2asc writes it")
        << asc
        << QByteArray("date Tue Nov 14 22:13:20 2023\n"
                      "base hex  timestamps absolute\n"
                      "no internal events logged\n"
                      "   0.000000 1  123             Rx   d 8 11 22 33 44 55 66 77 88\n"
                      "   0.100000 1  12345678x       Rx   d 2 AA BB\n"
                      "   0.200000 1  123             Rx   r 4\n"
                      "   0.300000 2  1ABCDEF0x       Rx   r\n"
                      "   0.400000 1  7FF             Tx   d 0\n"
                      "   0.800000 1  ErrorFrame\n")
        << QStringList{"04 123 8 1122334455667788 0.000000", "06 12345678 2 AABB 0.100000",
                       "05 123 4  0.200000", "07 1ABCDEF0 0  0.300000", "14 7FF 0  0.400000"}
        << QStringLiteral("1 error, 0 FD, 0 other");
    QTest::newRow("asc: Vector header, events, statistics, comments")
        << asc
        << QByteArray("date Tue Nov 14 10:13:20.123 pm 2023\r\n"
                      "base hex  timestamps absolute\r\n"
                      "internal events logged\r\n"
                      "// version 13.0.0\r\n"
                      "Begin Triggerblock Tue Nov 14 10:13:20.123 pm 2023\r\n"
                      "   0.000000 Start of measurement\r\n"
                      "   0.001234 1  123             Rx   d 2 0A 0B  Length = 111000 "
                      "BitCount = 57 ID = 291\r\n"
                      "   0.002000 CAN 1 Status:chip status error active\r\n"
                      "   0.003000 CANFD   1 Rx        123  1 0 8  8 11 22 33 44 55 66 77 88\r\n"
                      "   0.004000 1  Statistic: D 1 R 0 XD 0 XR 0 E 0 O 0 B 0.01%\r\n"
                      "   0.005000 1  456             TxRq d 1 01\r\n"
                      "// a remark of the engineer\r\n"
                      "   0.006000 1  1FFFFFFFx       Tx   d 1 FF\r\n"
                      "End TriggerBlock\r\n")
        << QStringList{"04 123 2 0A0B 0.001234", "16 1FFFFFFF 1 FF 0.006000"}
        << QStringLiteral("0 error, 1 FD, 4 other");
    QTest::newRow("asc: CANFD lines holding classic frames, as log2asc -f writes them")
        << asc
        << QByteArray("0.0 CANFD 1 Rx 123 0 0 3 3 11 22 33 130000 130 0 0 0 0 0 0\n"
                      "0.1 CANFD 1 Tx 12345678x 0 0 0 0 130000 130 10 0 0 0 0 0\n"
                      "0.2 CANFD 1 Rx 123 Engine 0 0 8 8 1 2 3 4 5 6 7 8 130000 130 0 0\n"
                      "0.3 CANFD 1 Rx 123 1 0 3 3 11 22 33 130000 130 3000 0 0 0 0 0\n"
                      "0.4 CANFD 1 Rx 123 0 0 9 10 1 2 3 4 5 6 7 8 9 10 1 130 1000 0\n"
                      "0.5 CANFD 1 Rx 123 0 0 2 2 11 22 130000 130 1000 0 0 0 0 0\n")
        << QStringList{"04 123 3 112233 0.000000", "17 12345678 0  0.100000",
                       "04 123 8 0102030405060708 0.200000"}
        << QStringLiteral("0 error, 3 FD, 0 other");
    QTest::newRow("asc: decimal base, relative time stamps")
        << asc
        << QByteArray("base dec  timestamps relative\n"
                      "   1.000000 1  291             Rx   d 2 17 255\n"
                      "   0.500000 1  Statistic: D 1 R 0\n"
                      "   0.250000 1  4660x           Tx   r 3\n")
        << QStringList{"04 123 2 11FF 1.000000", "17 1234 3  1.750000"}
        << QStringLiteral("0 error, 0 FD, 1 other");
}

void TestInterchangeLogs::linesRead()
{
    QFETCH(LogFormat, format);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, frames);
    QFETCH(QString, skipped);

    std::vector<CAN_Packet> read;
    LogReport report;
    QCOMPARE(readLog(format, file.toStdString(), read, &report), LogStatus::Ok);
    QCOMPARE(describe(read), frames);
    QCOMPARE(::skipped(report), skipped);
    for (std::size_t i = 0; i < read.size(); ++i)
        QCOMPARE(read[i].number, std::uint32_t(i));
}

void TestInterchangeLogs::badLines_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<QByteArray>("line"); // the second line, after a good one
    QTest::addColumn<QString>("reason");

    const auto candump = LogFormat::Candump;
    QTest::newRow("candump: no time stamp")
        << candump << QByteArray("1700000000.1 can0 123#11") << "no time stamp";
    QTest::newRow("candump: seconds beyond 32 bits")
        << candump << QByteArray("(4294967296.000000) can0 123#11") << "no time stamp";
    QTest::newRow("candump: no frame") << candump << QByteArray("(1.0) can0") << "no interface";
    QTest::newRow("candump: no '#'") << candump << QByteArray("(1.0) can0 12311") << "no '#'";
    QTest::newRow("candump: four identifier digits")
        << candump << QByteArray("(1.0) can0 1234#11") << "not 3 or 8";
    QTest::newRow("candump: standard identifier above 7FF")
        << candump << QByteArray("(1.0) can0 800#") << "above 7FF";
    QTest::newRow("candump: extended identifier beyond 29 bits")
        << candump << QByteArray("(1.0) can0 40000000#") << "wider than 29 bits";
    QTest::newRow("candump: odd data digits")
        << candump << QByteArray("(1.0) can0 123#112") << "pairs";
    QTest::newRow("candump: nine data bytes")
        << candump << QByteArray("(1.0) can0 123#112233445566778899") << "more than 8";
    QTest::newRow("candump: long DLC after four bytes")
        << candump << QByteArray("(1.0) can0 123#11223344_F") << "after '_'";
    QTest::newRow("candump: long DLC of 8")
        << candump << QByteArray("(1.0) can0 123#1122334455667788_8") << "after '_'";
    QTest::newRow("candump: remote DLC 9")
        << candump << QByteArray("(1.0) can0 123#R9") << "remote frame's DLC";
    QTest::newRow("candump: unknown mark")
        << candump << QByteArray("(1.0) can0 123#11 X") << "direction mark";
    QTest::newRow("candump: longer than the bound")
        << candump << "(1.0) can0 123#11 " + QByteArray(5000, 'T') << "longer than 4096";

    const auto asc = LogFormat::Asc;
    QTest::newRow("asc: identifier no hexadecimal number")
        << asc << QByteArray("1.0 1 12G Rx d 1 11") << "identifier";
    QTest::newRow("asc: neither d nor r")
        << asc << QByteArray("1.0 1 123 Rx x 1 11") << "neither d";
    QTest::newRow("asc: no DLC") << asc << QByteArray("1.0 1 123 Rx d") << "DLC";
    QTest::newRow("asc: fewer bytes than the DLC")
        << asc << QByteArray("1.0 1 123 Rx d 3 11 22") << "fewer data bytes";
    QTest::newRow("asc: decimal byte above 255")
        << asc << QByteArray("base dec\n1.0 1 291 Rx d 1 256") << "fewer data bytes";
    QTest::newRow("asc: time no number") << asc << QByteArray("1.2.3 1 123 Rx d 0") << "time";
    QTest::newRow("asc: unknown base") << asc << QByteArray("base oct") << "base";
    QTest::newRow("asc: classic CANFD line with fewer bytes than its length")
        << asc << QByteArray("1.0 CANFD 1 Rx 123 0 0 3 3 11 22") << "fewer data bytes";
}

void TestInterchangeLogs::badLines()
{
    QFETCH(LogFormat, format);
    QFETCH(QByteArray, line);
    QFETCH(QString, reason);

    const QByteArray good = format == LogFormat::Candump ? "(1.000000) can0 123#11\n"
                                                         : "   1.000000 1  123  Rx   d 1 11\n";
    std::vector<CAN_Packet> read;
    LogReport report;
    QCOMPARE(readLog(format, (good + line + "\n" + good).toStdString(), read, &report),
             LogStatus::FileOpenError);
    QVERIFY(read.empty());
    QCOMPARE(report.badLineCount, std::size_t{1});
    QCOMPARE(report.badLines[0].line, std::size_t(2 + line.count('\n')));
    QVERIFY2(QString::fromStdString(report.badLines[0].reason).contains(reason),
             report.badLines[0].reason.c_str());
}

void TestInterchangeLogs::linesWritten()
{
    const std::vector<CAN_Packet> frames = {
        storedPacket(0, 0x04, 0x123, 8, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF}, 75,
                     123456),
        storedPacket(1, 0x16, 0x7AB, 3, {0x12, 0x34, 0x56}, 75, 200000),
        storedPacket(2, 0x05, 0x7FF, 4, {}, 1700000000, 5),
        storedPacket(3, 0x07, 0x1FFFFFFF, 0, {}, 0, 0),
        storedPacket(4, 0x04, 0x001, 0, {}, 76, 999999),
        storedPacket(5, 0x04, 0x002, 15, {1, 2, 3, 4, 5, 6, 7, 8}, 76, 999999),
    };
    std::string candump;
    QCOMPARE(writeLog(LogFormat::Candump, frames, candump), LogStatus::Ok);
    QCOMPARE(QString::fromStdString(candump),
             QStringLiteral("(0000000075.123456) can0 123#123456789ABCDEFF R\n"
                            "(0000000075.200000) can0 000007AB#123456 T\n"
                            "(1700000000.000005) can0 7FF#R4 R\n"
                            "(0000000000.000000) can0 1FFFFFFF#R R\n"
                            "(0000000076.999999) can0 001# R\n"
                            "(0000000076.999999) can0 002#0102030405060708_F R\n"));

    std::string asc;
    LogReport report;
    QCOMPARE(WriteAscLog(frames, asc, report, 1700000000), LogStatus::Ok);
    QCOMPARE(QString::fromStdString(asc),
             QStringLiteral("date Tue Nov 14 22:13:20 2023\n"
                            "base hex  timestamps absolute\n"
                            "no internal events logged\n"
                            "  75.123456 1  123             Rx   d 8 12 34 56 78 9A BC DE FF\n"
                            "  75.200000 1  7ABx            Tx   d 3 12 34 56\n"
                            "1700000000.000005 1  7FF             Rx   r 4\n"
                            "   0.000000 1  1FFFFFFFx       Rx   r 0\n"
                            "  76.999999 1  1               Rx   d 0\n"
                            "  76.999999 1  2               Rx   d F 01 02 03 04 05 06 07 08\n"));
}

void TestInterchangeLogs::unwritableFrames_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<quint32>("microseconds");
    QTest::addColumn<QString>("reason");

    QTest::newRow("frame bit clear") << 0x03 << 0x1U << 1 << 0U << "its type 3 names no";
    QTest::newRow("standard identifier of 12 bits")
        << 0x04 << 0x800U << 1 << 0U << "identifier 0x800 is wider than 11 bits";
    QTest::newRow("extended identifier of 30 bits")
        << 0x06 << 0x20000000U << 1 << 0U << "identifier 0x20000000 is wider than 29 bits";
    QTest::newRow("DLC 16") << 0x04 << 0x1U << 16 << 0U << "DLC 16 is above 15";
    QTest::newRow("a whole second of microseconds")
        << 0x14 << 0x1U << 1 << 1000000U << "1000000 microseconds";
}

void TestInterchangeLogs::unwritableFrames()
{
    QFETCH(int, type);
    QFETCH(quint32, id);
    QFETCH(int, dlc);
    QFETCH(quint32, microseconds);
    QFETCH(QString, reason);

    std::vector<CAN_Packet> frames = randomCapture(3, 1);
    frames[1] = storedPacket(1, static_cast<std::uint8_t>(type), id, static_cast<std::uint8_t>(dlc),
                             {1}, 2, microseconds);
    for (const LogFormat format : {LogFormat::Candump, LogFormat::Asc}) {
        std::string bytes = "previous";
        LogReport report;
        QCOMPARE(writeLog(format, frames, bytes, &report), LogStatus::PacketError);
        QVERIFY(bytes.empty());
        const QString text = QString::fromStdString(report.unwritableFrame);
        QVERIFY2(text.startsWith(QStringLiteral("Frame 1 cannot be written"))
                     && text.contains(reason),
                 qPrintable(text));
    }
}

void TestInterchangeLogs::roundTripOfFiftyThousandFrames_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::newRow("candump") << LogFormat::Candump;
    QTest::newRow("asc") << LogFormat::Asc;
}

void TestInterchangeLogs::roundTripOfFiftyThousandFrames()
{
    QFETCH(LogFormat, format);

    const std::vector<CAN_Packet> capture = randomCapture(50000, 11);
    std::string bytes;
    QCOMPARE(writeLog(format, capture, bytes), LogStatus::Ok);
    std::vector<CAN_Packet> read;
    LogReport report;
    QCOMPARE(readLog(format, bytes, read, &report), LogStatus::Ok);
    QCOMPARE(firstDifference(read, capture), QString());
    QCOMPARE(report.skippedLines(), std::size_t{0});
}

void TestInterchangeLogs::openedTimes_data()
{
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<CaptureStart>("start");
    QTest::addColumn<int>("clipped");

    const auto candump = LogFormat::Candump;
    const auto asc = LogFormat::Asc;
    QTest::newRow("candump with absolute times")
        << candump
        << QByteArray("(1700000000.123456) can0 123#11\n(1700000002.000001) can0 124#22\n")
        << QStringList{"04 123 1 11 0.000000", "04 124 1 22 1.876545"}
        << CaptureStart(1700000000123456) << 0;
    QTest::newRow("candump whose earliest frame is not the first line")
        << candump << QByteArray("(10.500000) can0 123#11\n(10.250000) can0 124#22\n")
        << QStringList{"04 123 1 11 0.250000", "04 124 1 22 0.000000"} << CaptureStart(10250000)
        << 0;
    QTest::newRow("candump with DLCs above 8")
        << candump
        << QByteArray("(1.0) can0 123#1122334455667788_F\n(1.0) can0 123#R8_9\n"
                      "(1.0) can0 123#R8\n")
        << QStringList{"04 123 8 1122334455667788 0.000000", "05 123 8  0.000000",
                       "05 123 8  0.000000"}
        << CaptureStart(1000000) << 2;
    QTest::newRow("asc dated as log2asc writes it")
        << asc
        << QByteArray("date Tue Nov 14 22:13:20 2023\nbase hex  timestamps absolute\n"
                      "   0.500000 1  123             Rx   d 1 11\n"
                      "   1.000000 1  124             Rx   d 1 22\n")
        << QStringList{"04 123 1 11 0.000000", "04 124 1 22 0.500000"}
        << CaptureStart(1700000000500000) << 0;
    QTest::newRow("asc dated as Vector writes it")
        << asc
        << QByteArray("date Tue Nov 14 10:13:20.123 pm 2023\n"
                      "   0.001000 1  123             Rx   d 1 11\n")
        << QStringList{"04 123 1 11 0.000000"} << CaptureStart(1700000000124000) << 0;
    QTest::newRow("asc with a date of 12 am")
        << asc << QByteArray("date Tue Nov 14 12:00:00 am 2023\n   0.0 1  1  Rx   d 0\n")
        << QStringList{"04 1 0  0.000000"} << CaptureStart(1699920000000000) << 0;
    QTest::newRow("asc without a readable date")
        << asc << QByteArray("date 14.11.2023\n   2.500000 1  123  Rx   d 1 11\n")
        << QStringList{"04 123 1 11 0.000000"} << CaptureStart(2500000) << 0;
    QTest::newRow("empty asc keeps its date")
        << asc << QByteArray("date Tue Nov 14 22:13:20 2023\n") << QStringList{}
        << CaptureStart(1700000000000000) << 0;

    std::string binary;
    const std::vector<CAN_Packet> longDlc = {storedPacket(0, 0x04, 0x1, 12, {1}, 1700000000, 5)};
    writeLog(LogFormat::Binary, longDlc, binary);
    QTest::newRow("binary log keeps its times, clips its DLC")
        << LogFormat::Binary << QByteArray::fromStdString(binary)
        << QStringList{"04 1 8 0100000000000000 1700000000.000005"} << CaptureStart{} << 1;
}

void TestInterchangeLogs::openedTimes()
{
    QFETCH(LogFormat, format);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, frames);
    QFETCH(CaptureStart, start);
    QFETCH(int, clipped);

    std::vector<CAN_Packet> read;
    LogReport report;
    CaptureStart opened = 42;
    QCOMPARE(openLog(format, file.toStdString(), read, report, opened), LogStatus::Ok);
    QCOMPARE(describe(read), frames);
    QCOMPARE(opened, start);
    QCOMPARE(report.clippedDlcFrames, std::size_t(clipped));
}

void TestInterchangeLogs::writtenAtTheStart()
{
    // Frames relative to a start of 1700000000.900000 s (22:13:20.9 UTC).
    const std::vector<CAN_Packet> frames = {
        storedPacket(0, 0x04, 0x123, 1, {0x11}, 0, 200000),
        storedPacket(1, 0x16, 0x7AB, 0, {}, 2, 0),
    };
    const CaptureStart start = 1700000000900000;
    std::string candump;
    QCOMPARE(writeLog(LogFormat::Candump, frames, candump, nullptr, start), LogStatus::Ok);
    QCOMPARE(QString::fromStdString(candump),
             QStringLiteral("(1700000001.100000) can0 123#11 R\n"
                            "(1700000002.900000) can0 000007AB# T\n"));
    std::string asc;
    QCOMPARE(writeLog(LogFormat::Asc, frames, asc, nullptr, start), LogStatus::Ok);
    QCOMPARE(QString::fromStdString(asc),
             QStringLiteral("date Tue Nov 14 22:13:21 2023\n"
                            "base hex  timestamps absolute\n"
                            "no internal events logged\n"
                            "   0.100000 1  123             Rx   d 1 11\n"
                            "   1.900000 1  7ABx            Tx   d 0\n"));

    // Opened again, both give the frames and the start of the first frame.
    for (const std::string &bytes : {candump, asc}) {
        std::vector<CAN_Packet> read;
        LogReport report;
        CaptureStart opened;
        const auto format = bytes == asc ? LogFormat::Asc : LogFormat::Candump;
        QCOMPARE(openLog(format, bytes, read, report, opened), LogStatus::Ok);
        QCOMPARE(opened, CaptureStart(1700000001100000));
        QCOMPARE(describe(read), (QStringList{"04 123 1 11 0.000000", "16 7AB 0  1.800000"}));
    }
}

QTEST_GUILESS_MAIN(TestInterchangeLogs)
#include "tst_interchangelogs.moc"
