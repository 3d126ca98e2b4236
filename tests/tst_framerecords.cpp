#include "capture/CanFrame.h"
#include "capture/CanPacket.h"

#include <QTest>

#include <vector>

class TestFrameRecords : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dataText_data();
    void dataText();
    void timeText_data();
    void timeText();
    void packetKeepsEveryField();
    void textsOfAnyLength_data();
    void textsOfAnyLength();
    void kindLabels();
};

void TestFrameRecords::dataText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("dlc");
    QTest::addColumn<QString>("expected");

    QTest::newRow("three bytes") << 0x04 << 3 << "11 22 33";
    QTest::newRow("eight bytes") << 0x04 << 8 << "11 22 33 44 55 66 77 88";
    QTest::newRow("dlc 0") << 0x04 << 0 << "";
    QTest::newRow("remote with dlc 4") << 0x05 << 4 << "";
    QTest::newRow("transmitted extended data") << 0x16 << 2 << "11 22";
    QTest::newRow("dlc 9 formats eight bytes") << 0x04 << 9 << "11 22 33 44 55 66 77 88";
    QTest::newRow("dlc 127 formats eight bytes") << 0x04 << 127 << "11 22 33 44 55 66 77 88";
    QTest::newRow("dlc 0x80 reads as negative") << 0x04 << 0x80 << "";
    QTest::newRow("dlc 0xFF reads as negative") << 0x04 << 0xFF << "";
}

void TestFrameRecords::dataText()
{
    QFETCH(int, type);
    QFETCH(int, dlc);
    QFETCH(QString, expected);

    const std::uint8_t bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const int count =
        storedByteCount(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(dlc));
    QCOMPARE(QString::fromStdString(formatDataText(bytes, count)), expected);
}

void TestFrameRecords::timeText_data()
{
    QTest::addColumn<quint32>("seconds");
    QTest::addColumn<quint32>("microseconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0U << 0U << "00:00  000.000";
    QTest::newRow("75 s 123456 us") << 75U << 123456U << "01:15  123.456";
    QTest::newRow("only the low 16 bits of seconds") << 65541U << 0U << "00:05  000.000";
    QTest::newRow("largest 16-bit seconds") << 65535U << 999999U << "1092:15  999.999";
    QTest::newRow("microseconds beyond a second") << 1U << 4294967295U << "00:01  4294967.295";
    QTest::newRow("5 us") << 76U << 5U << "01:16  000.005";
}

void TestFrameRecords::timeText()
{
    QFETCH(quint32, seconds);
    QFETCH(quint32, microseconds);
    QFETCH(QString, expected);

    QCOMPARE(QString::fromStdString(formatTimeText(microseconds, seconds)), expected);
}

void TestFrameRecords::packetKeepsEveryField()
{
    const std::uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const CAN_Packet packet(7, 0x16, 0x1ABCDEFF, 8, bytes, 123456, 75, "01 02", "01:15  123.456");
    QCOMPARE(packet.number, 7U);
    QCOMPARE(packet.type, 0x16);
    QCOMPARE(packet.id, 0x1ABCDEFFU);
    QCOMPARE(packet.dlc, 8);
    QCOMPARE(packet.data[7], 8);
    QCOMPARE(packet.timestamp, (std::uint64_t{75} << 32) | 123456U);
    QCOMPARE(packet.shown, 1);

    CAN_Packet copy;
    QCOMPARE(copy.shown, 1);
    QVERIFY(copy.dataText.empty());
    copy = packet;
    QCOMPARE(copy.timestamp, packet.timestamp);
    QCOMPARE(copy.dataText, packet.dataText);
    QCOMPARE(copy.timeText, packet.timeText);
}

void TestFrameRecords::textsOfAnyLength_data()
{
    QTest::addColumn<std::string>("text");

    // Short texts live in the record, long ones (from logs) on the heap; the
    // border between the two and texts with NUL characters come out whole.
    QTest::newRow("empty") << std::string();
    QTest::newRow("eight data bytes") << std::string("A0 A1 A2 A3 A4 A5 A6 A7");
    QTest::newRow("longest kept inside") << std::string(PacketText::LocalCapacity, 'x');
    QTest::newRow("shortest on the heap") << std::string(PacketText::LocalCapacity + 1, 'y');
    QTest::newRow("NUL inside") << std::string("d\0e\xE2\x82\xAC", 6);
    QTest::newRow("a long log text") << std::string(70000, 't');
}

void TestFrameRecords::textsOfAnyLength()
{
    QFETCH(std::string, text);

    PacketText original(text);
    QCOMPARE(std::string(original), text);
    PacketText copy(original);
    PacketText assigned("old");
    assigned = copy;
    assigned = assigned;
    PacketText moved(std::move(copy));
    QVERIFY(copy.empty());
    PacketText movedInto(std::string(40, 'z'));
    movedInto = std::move(moved);
    for (const PacketText *t : {&original, &assigned, &movedInto}) {
        QCOMPARE(t->size(), text.size());
        QVERIFY(*t == text);
    }
    // A text assigned from a part of itself.
    if (!text.empty()) {
        assigned = assigned.view().substr(1);
        QCOMPARE(std::string(assigned), text.substr(1));
    }
}

void TestFrameRecords::kindLabels()
{
    const std::vector<std::string_view> expected = {"STD DATA", "STD REMOTE", "EXT DATA",
                                                    "EXT REMOTE"};
    for (std::uint8_t type = 0x14; type <= 0x17; ++type)
        QCOMPARE(frameKindLabel(type), expected[type & 3]);
}

QTEST_GUILESS_MAIN(TestFrameRecords)
#include "tst_framerecords.moc"
