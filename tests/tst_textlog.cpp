#include "capture/CanPacket.h"
#include "logfile/TextLog.h"
#include "logfile/TextLogFields.h"

#include "LogPackets.h"

#include <QTest>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The three worked frames and their lines.
std::vector<CAN_Packet> workedFrames()
{
    return {
        storedPacket(0, 0x04, 0x123, 8, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF}, 75,
                     123456),
        storedPacket(1, 0x16, 0x7AB, 3, {0x12, 0x34, 0x56}, 75, 200000),
        storedPacket(2, 0x07, 0x7AB, 0, {}, 76, 5),
    };
}

const std::string WorkedLines =
    "0,4,0x0123,8,123456789ABCDEFF,322122670656,12 34 56 78 9A BC DE FF,01:15  123.456\0\r\n"
    "1,22,0x07AB,3,123456,322122747200,12 34 56,01:15  200.000\0\r\n"
    "2,7,0x000007AB,0,,326417514501,,01:16  000.005\0\r\n"s;

std::string writeText(const std::vector<CAN_Packet> &frames, LogStatus expected = LogStatus::Ok)
{
    std::string bytes = "previous";
    const LogStatus status = WriteTextLog(frames, bytes);
    if (status != expected)
        qWarning("WriteTextLog gave status %d", int(status));
    return bytes;
}

// A literal with the NULs it holds.
template <std::size_t N> QByteArray bytesOf(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

QByteArray printable(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).replace('\0', "<NUL>").replace('\r', "<CR>");
}

} // namespace

class TestTextLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workedExamples();
    void emptyCapture();
    void linesRead_data();
    void linesRead();
    void badFiles_data();
    void badFiles();
    void decimalField_data();
    void decimalField();
    void hexAndTimeFields_data();
    void hexAndTimeFields();
    void dataField_data();
    void dataField();
    void framesWritten_data();
    void framesWritten();
    void packetErrorWritesNothing();
    void roundTripOfFiftyThousandFrames();
};

void TestTextLog::workedExamples()
{
    QCOMPARE(printable(writeText(workedFrames())), printable(WorkedLines));

    // The remote frame with DLC 0 reads back too.
    std::vector<CAN_Packet> read;
    QCOMPARE(ReadTextLog(WorkedLines, read), LogStatus::Ok);
    QCOMPARE(firstDifference(read, workedFrames()), QString());
}

void TestTextLog::emptyCapture()
{
    QCOMPARE(printable(writeText({})), QByteArray());
    std::vector<CAN_Packet> read = workedFrames();
    QCOMPARE(ReadTextLog("", read), LogStatus::Ok);
    QVERIFY(read.empty());
}

void TestTextLog::linesRead_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("lastFrame"); // number,type,id,dlc,data0,timestamp|dataText|timeText

    QTest::newRow("CR LF from another tool")
        << QByteArray("0,4,0x0123,2,ABCD,7,AB CD,00:00  000.007\r\n"
                      "1,5,0x0124,0,,8,,00:00  000.008\r\n")
        << 2 << "1,5,292,0,0,8||00:00  000.008";
    QTest::newRow("LF only, no line end at the end")
        << QByteArray("0,4,0x10,1,AA,1,AA,t\n1,6,0x20,1,BB,2,BB,u") << 2 << "1,6,32,1,187,2|BB|u";
    QTest::newRow("blank lines anywhere are skipped")
        << QByteArray("\r\n0,4,0x10,1,AA,1,AA,t\r\n\n  \t\r\n1,4,0x11,1,BB,2,BB,u\r\n\r\n") << 2
        << "1,4,17,1,187,2|BB|u";
    QTest::newRow("a line of only NUL CR LF is blank")
        << bytesOf("0,4,0x10,1,AA,1,AA,t\0\r\n\0\r\n") << 1 << "0,4,16,1,170,1|AA|t";
    QTest::newRow("the line ends at its first NUL")
        << bytesOf("0,4,0x10,1,AA,1,AA,t\0,junk\r\n") << 1 << "0,4,16,1,170,1|AA|t";
    QTest::newRow("missing fields count as empty") << QByteArray("3,4") << 1 << "3,4,0,0,0,0||";
    QTest::newRow("fields after the eighth are ignored")
        << QByteArray("0,4,0x10,1,AA,1,AA,t,extra,more\n") << 1 << "0,4,16,1,170,1|AA|t";
    QTest::newRow("empty fields keep their place")
        << QByteArray(",4,,,,,,t\n") << 1 << "0,4,0,0,0,0||t";
    QTest::newRow("dlc 0 data frame")
        << QByteArray("0,4,0x100,0,,1,,t\n") << 1 << "0,4,256,0,0,1||t";
    QTest::newRow("transmitted extended remote")
        << QByteArray("9,23,0x1FFFFFFF,4,,1,,t\n") << 1 << "9,23,536870911,4,0,1||t";
    QTest::newRow("type with further bits is carried")
        << QByteArray("0,236,0x1,1,01,1,01,t\n") << 1 << "0,236,1,1,1,1|01|t";
    QTest::newRow("dlc above 8 kept, eight bytes read")
        << QByteArray("0,4,0x1,12,0102030405060708090A,1,x,t\n") << 1 << "0,4,1,12,1,1|x|t";
    QTest::newRow("high characters of the texts")
        << QByteArray("0,4,0x1,0,,1,\xE9,\xFC\n") << 1 << "0,4,1,0,0,1|é|ü";
    QTest::newRow("CR inside a field is kept")
        << QByteArray("0,4,0x1,0,,1,a\rb,t\r\n") << 1 << "0,4,1,0,0,1|a\rb|t";
}

void TestTextLog::linesRead()
{
    QFETCH(QByteArray, file);
    QFETCH(int, frames);
    QFETCH(QString, lastFrame);

    std::vector<CAN_Packet> read;
    QCOMPARE(ReadTextLog(file.toStdString(), read), LogStatus::Ok);
    QCOMPARE(int(read.size()), frames);
    const CAN_Packet &p = read.back();
    const QString actual =
        QStringLiteral("%1,%2,%3,%4,%5,%6|%7|%8")
            .arg(p.number)
            .arg(p.type)
            .arg(p.id)
            .arg(p.dlc)
            .arg(p.data[0])
            .arg(p.timestamp)
            .arg(QString::fromStdString(p.dataText), QString::fromStdString(p.timeText));
    QCOMPARE(actual, lastFrame);
    QCOMPARE(p.shown, std::uint8_t{1});
}

void TestTextLog::badFiles_data()
{
    QTest::addColumn<QByteArray>("file");

    const QByteArray good = "0,4,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("empty type field") << good + "1,,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("type field not a number") << good + "1,x4,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("type field only a sign") << good + "1,-,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("type 0") << good + "1,0,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("frame bit clear") << good + "1,3,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("frame bit clear, transmitted") << good + "1,16,0x10,1,AA,1,AA,t\r\n";
    QTest::newRow("a line with one field") << good + "garbage\r\n";
    QTest::newRow("bad first line, good lines after") << "x\n" + good + good;
    QTest::newRow("a binary log") << bytesOf("\xCC\x01\x00\x00\x00\x00");
}

void TestTextLog::badFiles()
{
    QFETCH(QByteArray, file);
    std::vector<CAN_Packet> read;
    QCOMPARE(ReadTextLog(file.toStdString(), read), LogStatus::FileOpenError);
    QVERIFY(read.empty());
}

void TestTextLog::decimalField_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("isNumber");

    QTest::newRow("empty") << QByteArray("") << 0 << false;
    QTest::newRow("digits") << QByteArray("22") << 22 << true;
    QTest::newRow("leading blanks and plus") << QByteArray(" \t+7") << 7 << true;
    QTest::newRow("negative") << QByteArray("-12") << -12 << true;
    QTest::newRow("stops at the first other character") << QByteArray("12ab3") << 12 << true;
    QTest::newRow("letters only") << QByteArray("ab") << 0 << false;
    QTest::newRow("sign without digits") << QByteArray("+") << 0 << false;
    QTest::newRow("largest int32") << QByteArray("2147483647") << 2147483647 << true;
    QTest::newRow("beyond int32 saturates") << QByteArray("2147483648") << 2147483647 << true;
    QTest::newRow("far beyond int32 saturates")
        << QByteArray("99999999999999999999999") << 2147483647 << true;
    QTest::newRow("smallest int32") << QByteArray("-2147483648") << int(-2147483648LL) << true;
    QTest::newRow("below int32 saturates")
        << QByteArray("-2147483649") << int(-2147483648LL) << true;
}

void TestTextLog::decimalField()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(bool, isNumber);

    const DecimalField read = readDecimalField(field.toStdString());
    QCOMPARE(read.value, value);
    QCOMPARE(read.isNumber, isNumber);
}

void TestTextLog::hexAndTimeFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<quint32>("hex");
    QTest::addColumn<quint64>("unsignedDecimal");

    QTest::newRow("empty") << QByteArray("") << 0U << Q_UINT64_C(0);
    QTest::newRow("prefix 0x") << QByteArray("0x07AB") << 0x7ABU << Q_UINT64_C(0);
    QTest::newRow("prefix 0X, lower case digits") << QByteArray("0Xab") << 0xABU << Q_UINT64_C(0);
    QTest::newRow("no prefix") << QByteArray("123") << 0x123U << Q_UINT64_C(123);
    QTest::newRow("prefix alone") << QByteArray("0x") << 0U << Q_UINT64_C(0);
    QTest::newRow("stops at a non-digit") << QByteArray("12G4") << 0x12U << Q_UINT64_C(12);
    QTest::newRow("leading blanks") << QByteArray("  0x10") << 0x10U << Q_UINT64_C(0);
    QTest::newRow("leading zeros do not overflow")
        << QByteArray("0000000000001FFFFFFF") << 0x1FFFFFFFU << Q_UINT64_C(1);
    QTest::newRow("beyond 32 bits saturates")
        << QByteArray("123456789") << 0xFFFFFFFFU << Q_UINT64_C(123456789);
    QTest::newRow("largest uint64")
        << QByteArray("18446744073709551615") << 0xFFFFFFFFU << Q_UINT64_C(18446744073709551615);
    QTest::newRow("beyond uint64 saturates")
        << QByteArray("18446744073709551616") << 0xFFFFFFFFU << Q_UINT64_C(18446744073709551615);
    QTest::newRow("negative time stamp is no number") << QByteArray("-5") << 0U << Q_UINT64_C(0);
    QTest::newRow("plus sign") << QByteArray("+5") << 0U << Q_UINT64_C(5);
}

void TestTextLog::hexAndTimeFields()
{
    QFETCH(QByteArray, field);
    QFETCH(quint32, hex);
    QFETCH(quint64, unsignedDecimal);

    QCOMPARE(readHexField(field.toStdString()), hex);
    QCOMPARE(readUnsignedDecimalField(field.toStdString()), unsignedDecimal);
}

void TestTextLog::dataField_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("three bytes") << QByteArray("123456") << 3 << QByteArray("1234560000000000");
    QTest::newRow("only dlc bytes are read")
        << QByteArray("11223344") << 2 << QByteArray("1122000000000000");
    QTest::newRow("short field leaves zeros")
        << QByteArray("AB") << 4 << QByteArray("AB00000000000000");
    QTest::newRow("odd digit count") << QByteArray("ABC") << 2 << QByteArray("AB0C000000000000");
    QTest::newRow("lower case") << QByteArray("abcd") << 2 << QByteArray("ABCD000000000000");
    QTest::newRow("pair stops at a non-digit")
        << QByteArray("1G2H") << 2 << QByteArray("0102000000000000");
    QTest::newRow("pair starting with a non-digit")
        << QByteArray("AAG1BB") << 3 << QByteArray("AA00BB0000000000");
    QTest::newRow("more than eight bytes asked")
        << QByteArray("0102030405060708090A") << 12 << QByteArray("0102030405060708");
}

void TestTextLog::dataField()
{
    QFETCH(QByteArray, field);
    QFETCH(int, count);
    QFETCH(QByteArray, bytes);

    std::uint8_t data[8] = {};
    readDataField(field.toStdString(), count, data);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(data), 8).toHex().toUpper(), bytes);
}

void TestTextLog::framesWritten_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("id");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("standard data") << 0x04 << 0x100U << 1 << QByteArray("5,4,0x0100,1,AA,9,x,t");
    QTest::newRow("standard remote")
        << 0x05 << 0x100U << 2 << QByteArray("5,5,0x0100,2,AABB,9,x,t");
    QTest::newRow("extended data keeps four digits")
        << 0x06 << 0x100U << 0 << QByteArray("5,6,0x0100,0,,9,x,t");
    QTest::newRow("extended data, long identifier")
        << 0x16 << 0x1ABCDEFU << 0 << QByteArray("5,22,0x1ABCDEF,0,,9,x,t");
    QTest::newRow("extended remote has eight digits")
        << 0x07 << 0x100U << 0 << QByteArray("5,7,0x00000100,0,,9,x,t");
    QTest::newRow("further type bits carried")
        << 0xE7 << 0x1U << 0 << QByteArray("5,231,0x00000001,0,,9,x,t");
    QTest::newRow("dlc above 8 writes eight bytes")
        << 0x04 << 0x1U << 13 << QByteArray("5,4,0x0001,13,AABBCCDDEEFF0102,9,x,t");
    QTest::newRow("dlc 255 writes eight bytes")
        << 0x04 << 0x1U << 255 << QByteArray("5,4,0x0001,255,AABBCCDDEEFF0102,9,x,t");
}

void TestTextLog::framesWritten()
{
    QFETCH(int, type);
    QFETCH(quint32, id);
    QFETCH(int, dlc);
    QFETCH(QByteArray, line);

    CAN_Packet p = storedPacket(5, static_cast<std::uint8_t>(type), id,
                                static_cast<std::uint8_t>(dlc), {}, 0, 9);
    const std::uint8_t data[8] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02};
    std::copy(data, data + 8, p.data);
    p.dataText = "x";
    p.timeText = "t";
    QCOMPARE(printable(writeText({p})), printable(line.toStdString() + "\0\r\n"s));
}

void TestTextLog::packetErrorWritesNothing()
{
    for (const int type : {0x00, 0x03, 0x0C, 0x10, 0x1B}) {
        std::vector<CAN_Packet> frames = workedFrames();
        frames[1].type = static_cast<std::uint8_t>(type);
        std::string bytes = "previous";
        QCOMPARE(WriteTextLog(frames, bytes), LogStatus::PacketError);
        QVERIFY(bytes.empty());
    }
}

void TestTextLog::roundTripOfFiftyThousandFrames()
{
    const std::vector<CAN_Packet> capture = randomCapture(50000, 7);
    std::vector<CAN_Packet> read;
    QCOMPARE(ReadTextLog(writeText(capture), read), LogStatus::Ok);
    QCOMPARE(firstDifference(read, capture), QString());

    // Texts that would break a line (only a crafted binary log holds them)
    // are written with blanks, so the line keeps its fields.
    CAN_Packet odd = storedPacket(0xFFFFFFFF, 0x04, 0x1, 1, {0x5A}, 1, 2);
    odd.dataText = "a,b\nc";
    odd.timeText = std::string("d\0e\xE2\x82\xAC", 6);
    QCOMPARE(ReadTextLog(writeText({odd}), read), LogStatus::Ok);
    QCOMPARE(read.size(), std::size_t{1});
    QCOMPARE(read[0].number, 0xFFFFFFFFU);
    QCOMPARE(read[0].data[0], std::uint8_t{0x5A});
    QCOMPARE(QString::fromStdString(read[0].dataText), QStringLiteral("a b c"));
    QCOMPARE(QString::fromStdString(read[0].timeText), QStringLiteral("d e?"));
}

QTEST_GUILESS_MAIN(TestTextLog)
#include "tst_textlog.moc"
