#include "transmit/TransmitRows.h"

#include <QTest>

#include <vector>

Q_DECLARE_METATYPE(FrameRowFields)

namespace {

using Bytes = std::vector<int>;

FrameRowFields rowOf(int kind, const char *identifier, int dlc, std::vector<const char *> data)
{
    FrameRowFields row;
    row.kind = kind;
    row.identifier = identifier;
    row.dlc = dlc;
    for (std::size_t i = 0; i < data.size() && i < row.data.size(); ++i)
        row.data[i] = data[i];
    return row;
}

const std::vector<const char *> Defaults = {"12", "34", "56", "78", "9A", "BC", "DE", "FF"};

// The whole record, reserved bytes and time stamp included, against what it
// must hold; everything not named is zero.
void compareRecord(const CAN_Frame &record, int type, unsigned id, int dlc, const Bytes &data)
{
    QCOMPARE(int(record.type), type);
    QCOMPARE(unsigned(record.id), id);
    QCOMPARE(int(record.dlc), dlc);
    for (std::size_t i = 0; i < 8; ++i)
        QCOMPARE(int(record.data[i]), i < data.size() ? data[i] : 0);
    for (const std::uint8_t b : record.reserved1)
        QCOMPARE(int(b), 0);
    for (const std::uint8_t b : record.reserved2)
        QCOMPARE(int(b), 0);
    QCOMPARE(record.timestampLow, 0U);
    QCOMPARE(record.timestampHigh, 0U);
}

} // namespace

class TransmitRowsTest : public QObject {
    Q_OBJECT

private slots:
    void rowRecord_data()
    {
        QTest::addColumn<FrameRowFields>("row");
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("id");
        QTest::addColumn<int>("dlc");
        QTest::addColumn<Bytes>("data");

        QTest::newRow("std data dlc 3 sends three bytes")
            << rowOf(0, "123", 3, Defaults) << 0x14 << 0x123U << 3 << Bytes{0x12, 0x34, 0x56};
        QTest::newRow("ext remote dlc 8 carries its disabled fields")
            << rowOf(3, "1ABCDEFF", 8, Defaults) << 0x17 << 0x1ABCDEFFU << 8
            << Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF};
    }
    void rowRecord()
    {
        QFETCH(FrameRowFields, row);
        QFETCH(int, type);
        QFETCH(unsigned, id);
        QFETCH(int, dlc);
        QFETCH(Bytes, data);
        compareRecord(FillRowRecord(row), type, id, dlc, data);
    }

    void responseRecords_data()
    {
        QTest::addColumn<FrameRowFields>("input");
        QTest::addColumn<FrameRowFields>("response");
        QTest::addColumn<int>("inputType");
        QTest::addColumn<unsigned>("inputId");
        QTest::addColumn<Bytes>("inputData");
        QTest::addColumn<int>("responseType");
        QTest::addColumn<unsigned>("responseId");
        QTest::addColumn<Bytes>("responseData");

        const Bytes all = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF};
        QTest::newRow("defaults: remote input carries no data")
            << DefaultInputRow() << DefaultResponseRow() << 0x05 << 0x456U << Bytes{} << 0x14
            << 0x456U << all;
        QTest::newRow("remote response dlc 4 still writes four bytes")
            << DefaultInputRow() << rowOf(1, "456", 4, Defaults) << 0x05 << 0x456U << Bytes{}
            << 0x15 << 0x456U << Bytes{0x12, 0x34, 0x56, 0x78};
        QTest::newRow("ext remote input")
            << rowOf(3, "ABCDEF", 3, Defaults) << rowOf(2, "ABCDEF", 1, Defaults) << 0x07
            << 0xABCDEFU << Bytes{} << 0x16 << 0xABCDEFU << Bytes{0x12};
    }
    void responseRecords()
    {
        QFETCH(FrameRowFields, input);
        QFETCH(FrameRowFields, response);
        QFETCH(int, inputType);
        QFETCH(unsigned, inputId);
        QFETCH(Bytes, inputData);
        QFETCH(int, responseType);
        QFETCH(unsigned, responseId);
        QFETCH(Bytes, responseData);
        compareRecord(FillInputRecord(input), inputType, inputId, input.dlc, inputData);
        compareRecord(FillResponseRecord(response), responseType, responseId, response.dlc,
                      responseData);
    }

    void identifierClamp_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("replacement"); // empty: the text stays

        QTest::newRow("ext value under std") << 0 << QByteArray("12345678") << QByteArray("7FF");
        QTest::newRow("eight characters of a small value stay")
            << 0 << QByteArray("00000123") << QByteArray();
        QTest::newRow("std limit itself stays") << 1 << QByteArray("7FF") << QByteArray();
        QTest::newRow("just above the std limit") << 1 << QByteArray("800") << QByteArray("7FF");
        QTest::newRow("ext limit itself stays") << 2 << QByteArray("1FFFFFFF") << QByteArray();
        QTest::newRow("just above the ext limit")
            << 3 << QByteArray("20000000") << QByteArray("1FFFFFFF");
        QTest::newRow("empty stays") << 0 << QByteArray() << QByteArray();
    }
    void identifierClamp()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, replacement);
        const auto clamped = ClampedIdentifierText(kind, text.toStdString());
        QCOMPARE(clamped.has_value(), !replacement.isEmpty());
        if (clamped)
            QCOMPARE(QByteArray(clamped->data(), qsizetype(clamped->size())), replacement);
    }

    void hexFieldCut_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("position"); // -1: the text passes

        QTest::newRow("hex digits pass") << QByteArray("09AF") << -1;
        QTest::newRow("empty passes") << QByteArray() << -1;
        QTest::newRow("G after a digit") << QByteArray("1G") << 1;
        QTest::newRow("lower-case letters are bad") << QByteArray("a") << 0;
        QTest::newRow("first of several bad characters") << QByteArray("12 X") << 2;
        QTest::newRow("a byte above ASCII") << QByteArray("7\xC3\xA9") << 1;
    }
    void hexFieldCut()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, position);
        const auto cut = HexFieldCutPosition(text.toStdString());
        QCOMPARE(cut ? int(*cut) : -1, position);
    }

    void intervals_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("problem");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("message");

        const int none = int(IntervalProblem::None);
        const int notInteger = int(IntervalProblem::NotAnInteger);
        const int range = int(IntervalProblem::OutOfRange);
        const QString integer = QStringLiteral("Enter an integer.");
        const QString between = QStringLiteral("Enter an integer between 1 and 1000.");
        QTest::newRow("defaults") << QStringList{"100", "100", "100", "100"} << none << -1
                                  << QString();
        QTest::newRow("range ends")
            << QStringList{"1", "1000", "0001", "999"} << none << -1 << QString();
        QTest::newRow("an emptied field")
            << QStringList{"100", "", "100", "100"} << notInteger << 1 << integer;
        QTest::newRow("zero") << QStringList{"100", "100", "100", "0"} << range << 3 << between;
        QTest::newRow("above 1000")
            << QStringList{"1001", "100", "100", "100"} << range << 0 << between;
        QTest::newRow("a text is reported before an earlier range fault")
            << QStringList{"0", "100", "x", "100"} << notInteger << 2 << integer;
        QTest::newRow("a sign and blanks are read")
            << QStringList{" +5 ", "100", "100", "100"} << none << -1 << QString();
        QTest::newRow("negative") << QStringList{"100", "-5", "100", "100"} << range << 1
                                  << between;
        QTest::newRow("beyond 32 bits")
            << QStringList{"100", "100", "4294967397", "100"} << notInteger << 2 << integer;
    }
    void intervals()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, problem);
        QFETCH(int, field);
        QFETCH(QString, message);
        std::array<std::string, 4> fields;
        for (int i = 0; i < 4; ++i)
            fields[static_cast<std::size_t>(i)] = texts.at(i).toStdString();
        const IntervalCheck check = CheckIntervals(fields);
        QCOMPARE(int(check.problem), problem);
        QCOMPARE(check.field, field);
        QCOMPARE(QString::fromStdString(IntervalMessage(check.problem)), message);
        if (check.problem == IntervalProblem::None) {
            for (int i = 0; i < 4; ++i)
                QCOMPARE(check.values[static_cast<std::size_t>(i)], texts.at(i).trimmed().toInt());
        }
    }
};

QTEST_GUILESS_MAIN(TransmitRowsTest)
#include "tst_transmitrows.moc"
