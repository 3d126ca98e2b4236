#include "dbc/DbcDatabase.h"
#include "dbc/ExpectedCycle.h"
#include "dbc/SignalDecoder.h"

#include "FrameBuilders.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cmath>
#include <random>
#include <string>

namespace {

using State = DecodedSignal::State;

// A database of one message, 0x064 standard (or extended), holding the
// signal lines given.
DbcDatabase databaseOf(const std::string &signalLines, const std::string &tail = {},
                       bool extended = false)
{
    const std::string id = extended ? "2147483748" : "100";
    DbcDatabase database;
    DbcReport report;
    const DbcStatus status =
        parseDbc("VERSION \"\"\nBU_: N\nBO_ " + id + " Test: 8 N\n" + signalLines + "\n" + tail,
                 database, report);
    if (status != DbcStatus::Ok || report.badLineCount != 0)
        qWarning("%s", report.text().c_str());
    return database;
}

} // namespace

class TestDbcDecoder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each row: one signal, a frame, and what the signal reads in it.
    void signalValues_data()
    {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<QString>("tail"); // lines after the message
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("dlc");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("state");
        QTest::addColumn<qint64>("raw");
        QTest::addColumn<double>("value");

        const auto present = int(State::Present);
        const auto missing = int(State::NotInFrame);
        const QString none;
        QTest::newRow("little-endian across a byte boundary")
            << "SG_ S : 4|8@1+ (1,0) [0|0] \"\" N" << none << 4 << 8 << QByteArray::fromHex("F00A")
            << present << qint64(0xAF) << 175.0;
        QTest::newRow("little-endian 12 bits over two bytes")
            << "SG_ S : 0|12@1+ (1,0) [0|0] \"\" N" << none << 4 << 2 << QByteArray::fromHex("3412")
            << present << qint64(0x234) << 564.0;
        QTest::newRow("big-endian 16 bits from bit 7")
            << "SG_ S : 7|16@0+ (1,0) [0|0] \"\" N" << none << 4 << 2 << QByteArray::fromHex("1234")
            << present << qint64(0x1234) << 4660.0;
        QTest::newRow("big-endian from the middle of a byte")
            << "SG_ S : 3|8@0+ (1,0) [0|0] \"\" N" << none << 4 << 2 << QByteArray::fromHex("0AB0")
            << present << qint64(0xAB) << 171.0;
        QTest::newRow("big-endian 12 bits from bit 12")
            << "SG_ S : 12|12@0+ (1,0) [0|0] \"\" N" << none << 4 << 3
            << QByteArray::fromHex("0015AA") << present << qint64(0xAD5) << 2773.0;
        QTest::newRow("big-endian in the last two bytes")
            << "SG_ S : 55|16@0+ (1,0) [0|0] \"\" N" << none << 4 << 8
            << QByteArray::fromHex("000000000000BEEF") << present << qint64(0xBEEF) << 48879.0;
        QTest::newRow("1 bit, little-endian, the last bit")
            << "SG_ S : 63|1@1+ (1,0) [0|0] \"\" N" << none << 4 << 8
            << QByteArray::fromHex("0000000000000080") << present << qint64(1) << 1.0;
        QTest::newRow("1 bit, big-endian bit 0 is the first byte's lowest")
            << "SG_ S : 0|1@0+ (1,0) [0|0] \"\" N" << none << 4 << 1 << QByteArray::fromHex("01")
            << present << qint64(1) << 1.0;
        QTest::newRow("64 bits little-endian")
            << "SG_ S : 0|64@1+ (1,0) [0|0] \"\" N" << none << 4 << 8
            << QByteArray::fromHex("0102030405060708") << present << qint64(0x0807060504030201)
            << double(0x0807060504030201);
        QTest::newRow("64 bits big-endian")
            << "SG_ S : 7|64@0+ (1,0) [0|0] \"\" N" << none << 4 << 8
            << QByteArray::fromHex("0102030405060708") << present << qint64(0x0102030405060708)
            << double(0x0102030405060708);
        QTest::newRow("64 bits signed, all ones")
            << "SG_ S : 0|64@1- (1,0) [0|0] \"\" N" << none << 4 << 8
            << QByteArray::fromHex("FFFFFFFFFFFFFFFF") << present << qint64(-1) << -1.0;
        QTest::newRow("signed byte with factor and offset")
            << "SG_ S : 0|8@1- (0.5,10) [0|0] \"\" N" << none << 4 << 1 << QByteArray::fromHex("80")
            << present << qint64(-128) << -54.0;
        QTest::newRow("signed 12 bits big-endian, negative")
            << "SG_ S : 7|12@0- (1,0) [0|0] \"\" N" << none << 4 << 2 << QByteArray::fromHex("FFE0")
            << present << qint64(-2) << -2.0;
        QTest::newRow("signed 12 bits, the top bit clear stays positive")
            << "SG_ S : 0|12@1- (1,0) [0|0] \"\" N" << none << 4 << 2 << QByteArray::fromHex("FF07")
            << present << qint64(0x7FF) << 2047.0;
        QTest::newRow("factor and offset")
            << "SG_ S : 0|8@1+ (0.1,-40) [0|0] \"\" N" << none << 4 << 1
            << QByteArray::fromHex("64") << present << qint64(100) << -30.0;
        QTest::newRow("IEEE float, little-endian")
            << "SG_ S : 0|32@1- (1,0) [0|0] \"\" N"
            << "SIG_VALTYPE_ 100 S : 1;" << 4 << 4 << QByteArray::fromHex("0000C03F") << present
            << qint64(0x3FC00000) << 1.5;
        QTest::newRow("IEEE double, big-endian, scaled")
            << "SG_ S : 7|64@0- (2,1) [0|0] \"\" N"
            << "SIG_VALTYPE_ 100 S : 2;" << 4 << 8 << QByteArray::fromHex("4004000000000000")
            << present << qint64(0x4004000000000000) << 6.0;
        QTest::newRow("past a short DLC")
            << "SG_ S : 8|16@1+ (1,0) [0|0] \"\" N" << none << 4 << 2
            << QByteArray::fromHex("11223344") << missing << qint64(0) << 0.0;
        QTest::newRow("ends in the last byte the DLC gives")
            << "SG_ S : 8|16@1+ (1,0) [0|0] \"\" N" << none << 4 << 3
            << QByteArray::fromHex("112233") << present << qint64(0x3322) << 13090.0;
        QTest::newRow("big-endian past a short DLC")
            << "SG_ S : 15|16@0+ (1,0) [0|0] \"\" N" << none << 4 << 2
            << QByteArray::fromHex("112233") << missing << qint64(0) << 0.0;
        QTest::newRow("a remote frame carries no signal")
            << "SG_ S : 0|8@1+ (1,0) [0|0] \"\" N" << none << 5 << 8 << QByteArray::fromHex("FF")
            << missing << qint64(0) << 0.0;
    }
    void signalValues()
    {
        QFETCH(QString, signal);
        QFETCH(QString, tail);
        QFETCH(int, type);
        QFETCH(int, dlc);
        QFETCH(QByteArray, data);
        QFETCH(int, state);
        QFETCH(qint64, raw);
        QFETCH(double, value);

        const DbcDatabase database = databaseOf(" " + signal.toStdString(), tail.toStdString());
        std::uint8_t bytes[8] = {};
        std::copy_n(data.constData(), std::min<qsizetype>(data.size(), 8), bytes);
        std::vector<DecodedSignal> decoded;
        QVERIFY(decodeFrame(database, std::uint8_t(type), 100, std::uint8_t(dlc), bytes, decoded));
        QCOMPARE(decoded.size(), std::size_t(1));
        QCOMPARE(int(decoded[0].state), state);
        QCOMPARE(decoded[0].raw, raw);
        QCOMPARE(decoded[0].value, value);
    }

    // Signals under a multiplexer count only under the value that selects
    // them, and none of them without the multiplexer.
    void multiplexing_data()
    {
        QTest::addColumn<int>("dlc");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<int>>("states"); // Mux, A (m1), B (m2), Plain

        const auto p = int(State::Present);
        const auto n = int(State::NotSelected);
        const auto m = int(State::NotInFrame);
        QTest::newRow("1 selects A")
            << 3 << QByteArray::fromHex("010203") << QList<int>{p, p, n, p};
        QTest::newRow("2 selects B")
            << 3 << QByteArray::fromHex("020203") << QList<int>{p, n, p, p};
        QTest::newRow("7 selects neither")
            << 3 << QByteArray::fromHex("070203") << QList<int>{p, n, n, p};
        QTest::newRow("B past the DLC although selected")
            << 2 << QByteArray::fromHex("0202") << QList<int>{p, n, m, p};
        QTest::newRow("no multiplexer, no multiplexed signal")
            << 0 << QByteArray() << QList<int>{m, m, m, m};
    }
    void multiplexing()
    {
        QFETCH(int, dlc);
        QFETCH(QByteArray, data);
        QFETCH(QList<int>, states);

        const DbcDatabase database = databaseOf(" SG_ Mux M : 0|8@1+ (1,0) [0|0] \"\" N\n"
                                                " SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\n"
                                                " SG_ B m2 : 8|16@1+ (1,0) [0|0] \"\" N\n"
                                                " SG_ Plain : 8|1@1+ (1,0) [0|0] \"\" N");
        std::uint8_t bytes[8] = {};
        std::copy_n(data.constData(), data.size(), bytes);
        std::vector<DecodedSignal> decoded;
        QVERIFY(decodeFrame(database, 4, 100, std::uint8_t(dlc), bytes, decoded));
        QList<int> got;
        for (const DecodedSignal &d : decoded)
            got << int(d.state);
        QCOMPARE(got, states);
    }

    // Standard 0x064 and extended 0x064 are different messages.
    void extendedIdentifiersKeptApart()
    {
        DbcDatabase database;
        DbcReport report;
        QCOMPARE(parseDbc("BU_: N\nBO_ 100 Standard: 1 N\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" N\n"
                          "BO_ 2147483748 Extended: 1 N\n SG_ E : 0|8@1+ (2,0) [0|0] \"\" N\n",
                          database, report),
                 DbcStatus::Ok);
        std::vector<DecodedSignal> decoded;
        const std::uint8_t data[8] = {21};
        const DbcMessage *standard = decodeFrame(database, 0x04, 100, 1, data, decoded);
        QVERIFY(standard && standard->name == "Standard");
        QCOMPARE(decoded[0].value, 21.0);
        const DbcMessage *extended = decodeFrame(database, 0x06, 100, 1, data, decoded);
        QVERIFY(extended && extended->name == "Extended" && extended->id == 100);
        QCOMPARE(decoded[0].value, 42.0);
        QVERIFY(!decodeFrame(database, 0x06, 101, 1, data, decoded));
        QVERIFY(decoded.empty());
    }

    // The headless line: values with the decimals their factor gives, units,
    // descriptions in quotes, signals not in the frame left out.
    void decodedLine_data()
    {
        QTest::addColumn<QString>("signalLines");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<int>("dlc");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("line");

        QTest::newRow("factor 0.25 gives two decimals, unit after the value")
            << " SG_ Speed : 7|16@0+ (0.25,0) [0|0] \"rpm\" N" << QString() << 2
            << QByteArray::fromHex("1CE9") << "12.000034 064 Test Speed=1850.25 rpm";
        QTest::newRow("factor 0.1 shows no binary noise")
            << " SG_ T : 0|16@1+ (0.1,0) [0|0] \"V\" N" << QString() << 2
            << QByteArray::fromHex("3900") << "12.000034 064 Test T=5.7 V";
        QTest::newRow("description in quotes, no unit")
            << " SG_ Door : 0|1@1+ (1,0) [0|1] \"\" N"
            << "VAL_ 100 Door 1 \"Open\" 0 \"Closed\" ;" << 1 << QByteArray::fromHex("01")
            << "12.000034 064 Test Door=1 \"Open\"";
        QTest::newRow("a signal past the DLC is left out")
            << " SG_ A : 0|8@1+ (1,-40) [0|0] \"degC\" N\n SG_ B : 8|8@1+ (1,0) [0|0] \"\" N"
            << QString() << 1 << QByteArray::fromHex("28") << "12.000034 064 Test A=0 degC";
    }
    void decodedLine()
    {
        QFETCH(QString, signalLines);
        QFETCH(QString, tail);
        QFETCH(int, dlc);
        QFETCH(QByteArray, data);
        QFETCH(QString, line);

        const DbcDatabase database = databaseOf(signalLines.toStdString(), tail.toStdString());
        std::uint8_t bytes[8] = {};
        std::copy_n(data.constData(), data.size(), bytes);
        std::vector<DecodedSignal> decoded;
        const DbcMessage *message =
            decodeFrame(database, 4, 100, std::uint8_t(dlc), bytes, decoded);
        QVERIFY(message);
        QCOMPARE(QString::fromStdString(formatDecodedLine(*message, decoded, 12, 34)), line);
    }

    // A message against the cycle its database gives: late by the interval,
    // missing by the silence since the latest frame.
    void expectedCycle_data()
    {
        QTest::addColumn<int>("expectedMs"); // 0: none given
        QTest::addColumn<qint64>("intervalUs");
        QTest::addColumn<qint64>("sinceUs");
        QTest::addColumn<QString>("text");

        QTest::newRow("no cycle given") << 0 << qint64(90'000) << qint64(10'000'000) << "";
        QTest::newRow("on time, first frame only") << 100 << qint64(0) << qint64(50'000) << "100";
        QTest::newRow("half a cycle too long is still on time")
            << 100 << qint64(150'000) << qint64(0) << "100";
        QTest::newRow("longer is late") << 100 << qint64(150'001) << qint64(0) << "100 late";
        QTest::newRow("10 ms silent for 400 ms is not yet missing")
            << 10 << qint64(10'000) << qint64(400'000) << "10";
        QTest::newRow("silent for three cycles is missing")
            << 1000 << qint64(1'000'000) << qint64(3'000'001) << "1000 missing";
    }
    void expectedCycle()
    {
        QFETCH(int, expectedMs);
        QFETCH(qint64, intervalUs);
        QFETCH(qint64, sinceUs);
        QFETCH(QString, text);
        const auto expected =
            expectedMs > 0 ? std::optional<std::uint32_t>(expectedMs) : std::nullopt;
        QCOMPARE(QString::fromStdString(
                     cycleStateText(expected, cycleState(expected, intervalUs, sinceUs))),
                 text);
    }

    // Random frames of every message, decoded here and by canmatrix: every
    // physical value the same.
    void sameAsCanmatrix_data()
    {
        QTest::addColumn<QString>("database");
        QTest::newRow("tricky layouts") << VEXO_SOURCE_DIR "/tests/data/crosscheck.dbc";
        QTest::newRow("the example vehicle") << VEXO_SOURCE_DIR "/examples/vehicle.dbc";
    }
    void sameAsCanmatrix()
    {
        QFETCH(QString, database);
        if (QProcess::execute("/usr/bin/python3", {"-c", "import canmatrix"}) != 0)
            QSKIP("python3-canmatrix is not installed (scripts/setup-debian.sh installs it)");

        DbcDatabase db;
        DbcReport report;
        QCOMPARE(loadDbcFile(database.toStdString(), db, report), DbcStatus::Ok);
        QCOMPARE(report.badLineCount, std::size_t(0));

        std::mt19937 random(26);
        QTemporaryDir dir;
        QFile framesFile(dir.filePath("frames.txt"));
        QVERIFY(framesFile.open(QIODevice::WriteOnly));
        QTextStream frames(&framesFile);
        QStringList expected;
        std::vector<DecodedSignal> decoded;
        for (int n = 0; n < 300; ++n) {
            const DbcMessage &message = db.messages[random() % db.messages.size()];
            std::uint8_t data[8];
            for (std::uint8_t &byte : data)
                byte = static_cast<std::uint8_t>(random());
            const std::uint8_t type = message.extended ? 0x06 : 0x04;
            decodeFrame(db, type, message.id, message.dlc, data, decoded);
            frames << QString::number(message.id, 16) << (message.extended ? " 1 " : " 0 ")
                   << QByteArray(reinterpret_cast<const char *>(data), message.dlc).toHex() << '\n';
            for (const DecodedSignal &d : decoded) {
                if (d.present())
                    expected << QString::fromStdString(d.signal->name) + "="
                            + QString::number(d.value, 'g', 17);
            }
            expected << "-";
        }
        frames.flush();
        framesFile.close();

        QProcess canmatrix;
        canmatrix.start(
            "/usr/bin/python3",
            {VEXO_SOURCE_DIR "/tests/canmatrix_decode.py", database, framesFile.fileName()});
        QVERIFY(canmatrix.waitForFinished(60000));
        QCOMPARE(canmatrix.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(canmatrix.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), expected.size());
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList ours = expected[i].split('=');
            const QStringList theirs = lines[i].split('=');
            QCOMPARE(theirs.first(), ours.first());
            if (ours.size() < 2)
                continue;
            const double a = ours[1].toDouble();
            const double b = theirs[1].toDouble();
            if (std::fabs(a - b) > 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)}))
                QFAIL(
                    qPrintable(QString("%1: ours %2, canmatrix's %3").arg(ours[0]).arg(a).arg(b)));
        }
    }
};

QTEST_GUILESS_MAIN(TestDbcDecoder)
#include "tst_dbcdecoder.moc"
