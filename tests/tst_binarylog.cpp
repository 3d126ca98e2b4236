#include "capture/CanPacket.h"
#include "logfile/ArchivedString.h"
#include "logfile/BinaryLog.h"
#include "logfile/ByteReader.h"

#include "LogPackets.h"

#include <QTest>

#include <string>
#include <vector>

namespace {

// The first worked frame: standard data, received, 75 s 123456 us.
CAN_Packet workedFrame()
{
    return storedPacket(0, 0x04, 0x123, 8, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF}, 75,
                        123456);
}

std::string writeBinary(const std::vector<CAN_Packet> &frames)
{
    std::string bytes;
    WriteBinaryLog(frames, bytes);
    return bytes;
}

QByteArray hexOf(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex(' ').toUpper();
}

} // namespace

class TestBinaryLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void workedExample();
    void emptyCapture();
    void archivedStringRead_data();
    void archivedStringRead();
    void archivedStringRefused_data();
    void archivedStringRefused();
    void archivedStringWritten_data();
    void archivedStringWritten();
    void logRead_data();
    void logRead();
    void truncatedAtEveryOffset();
    void unusualRecordsRoundTrip();
    void roundTripOfFiftyThousandFrames();
};

void TestBinaryLog::workedExample()
{
    const std::string expected =
        bytesFromHex("CC 01 00 00 00 | 00 00 00 00 | 04 | 23 01 00 00 | 08 | 12 34 56 78 9A BC DE "
                     "FF | 40 E2 01 00 4B 00 00 00 | FF FE FF 17")
        + utf16le("12 34 56 78 9A BC DE FF") + bytesFromHex("FF FE FF 0E")
        + utf16le("01:15  123.456");

    QCOMPARE(hexOf(writeBinary({workedFrame()})), hexOf(expected));

    std::vector<CAN_Packet> read;
    QCOMPARE(ReadBinaryLog(expected, read), LogStatus::Ok);
    QCOMPARE(firstDifference(read, {workedFrame()}), QString());
}

void TestBinaryLog::emptyCapture()
{
    QCOMPARE(hexOf(writeBinary({})), QByteArray("CC 00 00 00 00"));
    std::vector<CAN_Packet> read = {workedFrame()};
    QCOMPARE(ReadBinaryLog(bytesFromHex("CC 00 00 00 00"), read), LogStatus::Ok);
    QVERIFY(read.empty());
}

void TestBinaryLog::archivedStringRead_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("single-byte empty") << QByteArray("00") << "";
    QTest::newRow("single-byte short") << QByteArray("03 41 42 43") << "ABC";
    QTest::newRow("single-byte 254 escape boundary")
        << QByteArray("FE") + QByteArray(" 78").repeated(254) << QString(254, u'x');
    QTest::newRow("single-byte 16-bit length") << QByteArray("FF 03 00 41 42 43") << "ABC";
    QTest::newRow("single-byte 32-bit length")
        << QByteArray("FF FF FF 03 00 00 00 41 42 43") << "ABC";
    QTest::newRow("single-byte 64-bit length")
        << QByteArray("FF FF FF FF FF FF FF 03 00 00 00 00 00 00 00 41 42 43") << "ABC";
    QTest::newRow("single-byte high characters") << QByteArray("02 E9 FC") << "éü";
    QTest::newRow("utf-16 empty") << QByteArray("FF FE FF 00") << "";
    QTest::newRow("utf-16 short") << QByteArray("FF FE FF 02 41 00 42 00") << "AB";
    QTest::newRow("utf-16 16-bit length") << QByteArray("FF FE FF FF 02 00 41 00 42 00") << "AB";
    QTest::newRow("utf-16 32-bit length")
        << QByteArray("FF FE FF FF FF FF 02 00 00 00 41 00 42 00") << "AB";
    QTest::newRow("utf-16 64-bit length")
        << QByteArray("FF FE FF FF FF FF FF FF FF FF 02 00 00 00 00 00 00 00 41 00 42 00") << "AB";
    QTest::newRow("utf-16 beyond latin-1") << QByteArray("FF FE FF 02 E9 00 AC 20") << "é€";
    QTest::newRow("utf-16 surrogate pair")
        << QByteArray("FF FE FF 02 3D D8 00 DE") << QString::fromUtf8("\xF0\x9F\x98\x80");
    QTest::newRow("utf-16 unpaired surrogate") << QByteArray("FF FE FF 01 3D D8") << "\uFFFD";
}

void TestBinaryLog::archivedStringRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, expected);

    // One byte beyond the string shows that exactly the string was read.
    const std::string bytes = bytesFromHex(stored + " 5A");
    ByteReader in(bytes);
    std::string text = "previous";
    QVERIFY(readArchivedString(in, text));
    QCOMPARE(QString::fromStdString(text), expected);
    QCOMPARE(in.remaining(), std::size_t{1});
}

void TestBinaryLog::archivedStringRefused_data()
{
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("nothing") << QByteArray("");
    QTest::newRow("16-bit length cut") << QByteArray("FF 03");
    QTest::newRow("wide tag cut") << QByteArray("FF FE");
    QTest::newRow("wide length missing") << QByteArray("FF FE FF");
    QTest::newRow("32-bit length cut") << QByteArray("FF FF FF 03 00");
    QTest::newRow("characters past the end") << QByteArray("05 41 42 43 44");
    QTest::newRow("utf-16 units past the end") << QByteArray("FF FE FF 02 41 00 42");
    QTest::newRow("32-bit utf-16 length past the end")
        << QByteArray("FF FE FF FF FF FF FE FF FF FF 41 00");
    QTest::newRow("64-bit length of 2^31")
        << QByteArray("FF FF FF FF FF FF FF 00 00 00 80 00 00 00 00 41");
    QTest::newRow("64-bit length beyond 2^32")
        << QByteArray("FF FE FF FF FF FF FF FF FF FF 00 00 00 00 01 00 00 00 41 00");
}

void TestBinaryLog::archivedStringRefused()
{
    QFETCH(QByteArray, stored);
    const std::string bytes = bytesFromHex(stored);
    ByteReader in(bytes);
    std::string text;
    QVERIFY(!readArchivedString(in, text));
}

void TestBinaryLog::archivedStringWritten_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("prefix");

    QTest::newRow("empty") << 0 << QByteArray("FF FE FF 00");
    QTest::newRow("254: one length byte") << 254 << QByteArray("FF FE FF FE");
    QTest::newRow("255: 16-bit length") << 255 << QByteArray("FF FE FF FF FF 00");
    QTest::newRow("0xFFFD: 16-bit length") << 0xFFFD << QByteArray("FF FE FF FF FD FF");
    QTest::newRow("0xFFFE: 32-bit length") << 0xFFFE << QByteArray("FF FE FF FF FF FF FE FF 00 00");
}

void TestBinaryLog::archivedStringWritten()
{
    QFETCH(int, length);
    QFETCH(QByteArray, prefix);

    const std::string text(static_cast<std::size_t>(length), 'x');
    std::string bytes;
    appendArchivedString(bytes, text);
    QCOMPARE(hexOf(bytes.substr(0, prefix.size() / 3 + 1)), prefix);
    QCOMPARE(bytes.size(), prefix.size() / 3 + 1 + 2 * text.size());

    ByteReader in(bytes);
    std::string read;
    QVERIFY(readArchivedString(in, read));
    QVERIFY(read == text);
}

void TestBinaryLog::logRead_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<LogStatus>("status");
    QTest::addColumn<int>("frames");

    // A record with empty single-byte strings: 26 bytes and two zero lengths.
    const QByteArray record = "00 00 00 00 04 23 01 00 00 08 01 02 03 04 05 06 07 08 "
                              "00 00 00 00 00 00 00 00 00 00";

    QTest::newRow("one record, single-byte strings")
        << "CC 01 00 00 00 " + record << LogStatus::Ok << 1;
    QTest::newRow("bytes after the last record are ignored")
        << "CC 01 00 00 00 " + record + " 99 99" << LogStatus::Ok << 1;
    QTest::newRow("negative count is an empty log")
        << QByteArray("CC FF FF FF FF ") + record << LogStatus::Ok << 0;
    QTest::newRow("empty file") << QByteArray("") << LogStatus::CanNotOpen << 0;
    QTest::newRow("wrong magic byte") << "CD 01 00 00 00 " + record << LogStatus::CanNotOpen << 0;
    QTest::newRow("a text log") << QByteArray("30 2C 34 2C") << LogStatus::CanNotOpen << 0;
    QTest::newRow("magic byte only") << QByteArray("CC") << LogStatus::CanNotOpen << 0;
    QTest::newRow("count cut") << QByteArray("CC 01 00") << LogStatus::CanNotOpen << 0;
    QTest::newRow("more records counted than present")
        << "CC 02 00 00 00 " + record << LogStatus::CanNotOpen << 0;
    QTest::newRow("largest count, one record")
        << "CC FF FF FF 7F " + record << LogStatus::CanNotOpen << 0;
    QTest::newRow("data text longer than the file")
        << QByteArray("CC 01 00 00 00 00 00 00 00 04 23 01 00 00 08 01 02 03 04 05 06 07 08 "
                      "00 00 00 00 00 00 00 00 FF FE FF 40 41 00 00")
        << LogStatus::CanNotOpen << 0;
}

void TestBinaryLog::logRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(LogStatus, status);
    QFETCH(int, frames);

    std::vector<CAN_Packet> read = {workedFrame(), workedFrame()};
    QCOMPARE(ReadBinaryLog(bytesFromHex(stored), read), status);
    QCOMPARE(read.size(), std::size_t(frames));
}

void TestBinaryLog::truncatedAtEveryOffset()
{
    CAN_Packet longText = storedPacket(1, 0x16, 0x1ABCDEF, 3, {1, 2, 3}, 1, 2);
    longText.dataText = std::string(300, 'd'); // a 16-bit length escape
    const std::string log =
        writeBinary({workedFrame(), longText, storedPacket(2, 0x07, 0x7AB, 0, {}, 76, 5)});

    std::vector<CAN_Packet> read;
    QCOMPARE(ReadBinaryLog(log, read), LogStatus::Ok);
    QCOMPARE(read.size(), std::size_t{3});
    for (std::size_t size = 0; size < log.size(); ++size) {
        read = {workedFrame()};
        if (ReadBinaryLog(std::string_view(log).substr(0, size), read) != LogStatus::CanNotOpen)
            QFAIL(qPrintable(QStringLiteral("a log cut to %1 bytes was read").arg(size)));
        QVERIFY(read.empty());
    }
}

void TestBinaryLog::unusualRecordsRoundTrip()
{
    // Every field of a record is kept as stored, also where no live frame
    // would have it; only the shown flag is not stored.
    CAN_Packet bigDlc = storedPacket(0, 0x04, 0x123, 15, {1, 2, 3, 4, 5, 6, 7, 8}, 1, 2);
    CAN_Packet remoteWithData = storedPacket(1, 0x15, 0x7FF, 8, {}, 3, 4);
    std::fill(remoteWithData.data, remoteWithData.data + 8, 0xEE);
    CAN_Packet extremes = storedPacket(0xFFFFFFFF, 0xFF, 0xFFFFFFFF, 0xFF, {}, 0, 0);
    extremes.timestamp = ~std::uint64_t{0};
    extremes.dataText = "é€\xF0\x9F\x98\x80";
    extremes.timeText = std::string(70000, 't');
    CAN_Packet hidden = storedPacket(3, 0x06, 0x100, 2, {9, 9}, 5, 6);
    hidden.shown = 0;

    std::vector<CAN_Packet> expected = {bigDlc, remoteWithData, extremes, hidden};
    std::vector<CAN_Packet> read;
    QCOMPARE(ReadBinaryLog(writeBinary(expected), read), LogStatus::Ok);
    expected.back().shown = 1;
    QCOMPARE(firstDifference(read, expected), QString());
}

void TestBinaryLog::roundTripOfFiftyThousandFrames()
{
    const std::vector<CAN_Packet> capture = randomCapture(50000, 11);
    std::vector<CAN_Packet> read;
    QCOMPARE(ReadBinaryLog(writeBinary(capture), read), LogStatus::Ok);
    QCOMPARE(firstDifference(read, capture), QString());
}

QTEST_GUILESS_MAIN(TestBinaryLog)
#include "tst_binarylog.moc"
