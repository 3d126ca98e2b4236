#include "inspect/BitStreamLayout.h"

#include "FrameBuilders.h"

#include <QTest>

Q_DECLARE_METATYPE(CAN_Frame)
Q_DECLARE_METATYPE(CanBitStream::Field)

using namespace BitStreamLayout;

namespace {

CanBitStream streamOf(const CAN_Frame &f)
{
    return CanBitStream(f.type, f.id, f.dlc, f.data);
}

// Identifier 0x078, DLC 0: 52 bits, stuff bits at 5, 10, 15, 21 and 28.
const CAN_Frame Standard = frameOf(0x04, 0x078, 0);
// Identifier 0x1ABCDE, one byte 0xA5: 77 bits.
const CAN_Frame Extended = frameOf(0x06, 0x1ABCDE, 1, {0xA5});

constexpr int PageWidth = 1120; // 44 bits to a lane

} // namespace

class BitStreamLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void lanesWrapAtThePagesWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("perLane");
        QTest::addColumn<int>("lanes");
        QTest::addColumn<int>("height");
        QTest::newRow("52 bits on the dialog's page") << PageWidth << 52 << 44 << 2 << 270;
        QTest::newRow("exactly one lane") << PageWidth << 44 << 44 << 1 << 182;
        QTest::newRow("the longest stream") << PageWidth << 160 << 44 << 4 << 446;
        QTest::newRow("narrow: ten to a lane") << 2 * 10 + 34 + 24 * 10 << 52 << 10 << 6 << 622;
        QTest::newRow("too narrow for one cell") << 20 << 3 << 1 << 3 << 358;
        QTest::newRow("nothing to show") << PageWidth << 0 << 44 << 0 << 94;
    }
    void lanesWrapAtThePagesWidth()
    {
        QFETCH(int, width);
        QFETCH(int, bits);
        QFETCH(int, perLane);
        QFETCH(int, lanes);
        QFETCH(int, height);
        QCOMPARE(bitsPerLane(width), perLane);
        QCOMPARE(laneCount(bits, width), lanes);
        QCOMPARE(heightFor(bits, width), height);
    }

    void theLongestFrameFitsTheDialogsDrawingArea()
    {
        // The detailed view gives its drawing 1120 x 500 pixels.
        QVERIFY(heightFor(CanBitStream::MaxBits, PageWidth) <= 500);
    }

    void nothingIsCutAtAnyWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("dialog") << PageWidth;
        QTest::newRow("half") << 560;
        QTest::newRow("narrow") << 300;
        QTest::newRow("one cell") << 68;
    }
    void nothingIsCutAtAnyWidth()
    {
        QFETCH(int, width);
        const CanBitStream stream = streamOf(
            frameOf(0x06, 0x000C3C3C, 8, {0x3C, 0x3C, 0x3F, 0xFF, 0x0F, 0x0F, 0x0F, 0x0F}));
        const int height = heightFor(stream.size(), width);
        for (const Segment &s : segments(stream, width)) {
            QVERIFY(s.band.left >= 0 && s.band.right <= width);
            QVERIFY(s.band.top >= LanesTop && s.band.bottom <= height);
            for (int bit = s.firstBit; bit < s.endBit; ++bit) {
                const PixelRect cell = cellRect(bit, width);
                QVERIFY(cell.left >= s.band.left && cell.right <= s.band.right);
                QVERIFY(cell.bottom <= s.band.top);
            }
        }
        QVERIFY(legendRect(stream.size(), width).bottom <= height);
    }

    void fieldsBecomeSegments()
    {
        const auto list = segments(streamOf(Standard), PageWidth);
        using F = CanBitStream::Field;
        struct Expected {
            F field;
            int first;
            int end;
            bool labelled;
        };
        // The end of frame is split by the lane break and named where it is wider.
        const Expected expected[] = {
            {F::StartOfFrame, 0, 1, true},    {F::Identifier, 1, 14, true},
            {F::RemoteRequest, 14, 16, true}, {F::IdentifierExtension, 16, 17, true},
            {F::Reserved0, 17, 18, true},     {F::DataLength, 18, 23, true},
            {F::Crc, 23, 39, true},           {F::CrcDelimiter, 39, 40, true},
            {F::AckSlot, 40, 41, true},       {F::AckDelimiter, 41, 42, true},
            {F::EndOfFrame, 42, 44, false},   {F::EndOfFrame, 44, 49, true},
            {F::Intermission, 49, 52, true},
        };
        QCOMPARE(list.size(), std::size(expected));
        for (std::size_t i = 0; i < list.size(); ++i) {
            QCOMPARE(list[i].field, expected[i].field);
            QCOMPARE(list[i].firstBit, expected[i].first);
            QCOMPARE(list[i].endBit, expected[i].end);
            QCOMPARE(list[i].labelled, expected[i].labelled);
        }
        QCOMPARE(list[1].band, (PixelRect{68, 116, 380, 138}));
        QCOMPARE(list[11].band, (PixelRect{44, 204, 164, 226}));
    }

    void dataBytesAreSegmentsOfTheirOwn()
    {
        const auto list = segments(streamOf(frameOf(0x04, 0x1, 2, {0x12, 0x34})), PageWidth);
        QList<int> groups;
        for (const Segment &s : list) {
            if (s.field == CanBitStream::Field::Data)
                groups << s.group;
        }
        QCOMPARE(groups, (QList<int>{0, 1}));
    }

    void labelsReadTheFieldsBits_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<CanBitStream::Field>("field");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("label");
        using F = CanBitStream::Field;
        QTest::newRow("identifier across two stuff bits")
            << Standard << F::Identifier << 0 << "Identifier 0x078";
        QTest::newRow("CRC across a stuff bit") << Standard << F::Crc << 0 << "CRC 0x7D65";
        QTest::newRow("first identifier part") << Extended << F::Identifier << 0 << "ID_A 0x006";
        QTest::newRow("second identifier part")
            << Extended << F::ExtendedIdentifier << 0 << "ID_B 0x2BCDE";
        QTest::newRow("DLC") << Extended << F::DataLength << 0 << "DLC 1";
        QTest::newRow("data byte") << Extended << F::Data << 0 << "Byte 0: 0xA5";
        QTest::newRow("second data byte")
            << frameOf(0x04, 0x1, 2, {0x12, 0x34}) << F::Data << 1 << "Byte 1: 0x34";
        QTest::newRow("single bit") << Extended << F::SubstituteRemoteRequest << 0 << "SRR";
        QTest::newRow("end of frame") << Standard << F::EndOfFrame << 0 << "End of frame";
    }
    void labelsReadTheFieldsBits()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(CanBitStream::Field, field);
        QFETCH(int, group);
        QFETCH(QString, label);
        QCOMPARE(QString::fromStdString(fieldLabel(streamOf(frame), field, group)), label);
    }

    void caption_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("measured"); // disconnected, with the Statistics rate
        QTest::newRow("standard, connected")
            << Standard << 250'000U << true
            << "STD DATA, ID 0x0078, DLC 0: 52 bits on the bus, 49 in the frame (5 stuff bits) and "
               "3 of interframe space. CRC 0x7D65."
            << "208 \u00B5s at 250 kbit/s, the adapter's bit rate." << false;
        QTest::newRow("disconnected: the default rate, whatever was given")
            << Standard << 250'000U << false
            << "STD DATA, ID 0x0078, DLC 0: 52 bits on the bus, 49 in the frame (5 stuff bits) and "
               "3 of interframe space. CRC 0x7D65."
            << "104 \u00B5s at 500 kbit/s, assumed while no adapter is connected." << false;
        QTest::newRow("connected without a rate")
            << Standard << 0U << true
            << "STD DATA, ID 0x0078, DLC 0: 52 bits on the bus, 49 in the frame (5 stuff bits) and "
               "3 of interframe space. CRC 0x7D65."
            << "104 \u00B5s at 500 kbit/s, assumed: the adapter reports no bit rate." << false;
        QTest::newRow("disconnected: the capture's rate in Statistics")
            << Standard << 250'000U << false
            << "STD DATA, ID 0x0078, DLC 0: 52 bits on the bus, 49 in the frame (5 stuff bits) and "
               "3 of interframe space. CRC 0x7D65."
            << "208 \u00B5s at 250 kbit/s, the capture's rate in Statistics." << true;
        QTest::newRow("one stuff bit at 125 kbit/s")
            << frameOf(0x14, 0x108, 1, {0x5A}) << 125'000U << true
            << "STD DATA, ID 0x0108, DLC 1: 56 bits on the bus, 53 in the frame (1 stuff bit) and "
               "3 of interframe space. CRC 0x64C6."
            << "448 \u00B5s at 125 kbit/s, the adapter's bit rate." << false;
    }
    void caption()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(uint, rate);
        QFETCH(bool, connected);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, measured);
        const auto lines = BitStreamLayout::caption(streamOf(frame), frame.type, frame.id,
                                                    frame.dlc, rate, connected, measured);
        QCOMPARE(QString::fromStdString(lines[0]), first);
        QCOMPARE(QString::fromStdString(lines[1]), second);
    }

    void durationAndRateTexts_data()
    {
        QTest::addColumn<qint64>("nanoseconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole microseconds") << qint64(222'000) << "222 \u00B5s";
        QTest::newRow("a tenth") << qint64(3'500) << "3.5 \u00B5s";
        QTest::newRow("just below a millisecond") << qint64(999'949) << "999.9 \u00B5s";
        QTest::newRow("rounds to a millisecond") << qint64(999'950) << "1 ms";
        QTest::newRow("milliseconds") << qint64(11'100'000) << "11.1 ms";
        QTest::newRow("three decimals") << qint64(3'000'030) << "3 ms";
    }
    void durationAndRateTexts()
    {
        QFETCH(qint64, nanoseconds);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(durationText(nanoseconds)), text);
    }

    void bitRateTexts()
    {
        QCOMPARE(QString::fromStdString(bitRateText(500'000)), QStringLiteral("500 kbit/s"));
        QCOMPARE(QString::fromStdString(bitRateText(33'333)), QStringLiteral("33.333 kbit/s"));
        QCOMPARE(QString::fromStdString(bitRateText(1'000'000)), QStringLiteral("1000 kbit/s"));
    }

    void bitsDescribeThemselves_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<int>("bit");
        QTest::addColumn<QString>("text");
        QTest::newRow("start of frame") << Standard << 0 << "Bit 0: Start of frame, 0 (dominant)";
        QTest::newRow("identifier numbered from its top")
            << Standard << 1 << "Bit 1: Identifier bit 10, 0 (dominant)";
        QTest::newRow("stuff bit")
            << Standard << 5
            << "Bit 5: stuff bit 1 (recessive) after five equal bits, in Identifier";
        QTest::newRow("end of frame")
            << Standard << 44 << "Bit 44: End of frame bit 3 of 7, 1 (recessive)";
        QTest::newRow("extended identifier, first part")
            << Extended << 1 << "Bit 1: Identifier, first part bit 28, 0 (dominant)";
        QTest::newRow("extended identifier, second part")
            << Extended << 15 << "Bit 15: Identifier, second part bit 17, 1 (recessive)";
        QTest::newRow("outside") << Standard << 52 << "";
    }
    void bitsDescribeThemselves()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(int, bit);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(bitDescription(streamOf(frame), bit)), text);
    }

    void pointsFindTheirBit_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("bit");
        QTest::newRow("first cell") << 44 << 90 << 0;
        QTest::newRow("level line above it") << 50 << 67 << 0;
        QTest::newRow("field band below it") << 67 << 137 << 0;
        QTest::newRow("gutter") << 43 << 90 << -1;
        QTest::newRow("right of the lane") << 1100 << 90 << -1;
        QTest::newRow("between lanes") << 50 << 145 << -1;
        QTest::newRow("second lane") << 70 << 178 << 45;
        QTest::newRow("after the last bit") << 44 + 8 * 24 << 178 << -1;
        QTest::newRow("caption") << 50 << 20 << -1;
    }
    void pointsFindTheirBit()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, bit);
        QCOMPARE(bitAt(x, y, 52, PageWidth), bit);
    }
};

QTEST_GUILESS_MAIN(BitStreamLayoutTest)
#include "tst_bitstreamlayout.moc"
