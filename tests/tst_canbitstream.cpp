#include "capture/CanBitStream.h"

#include "FrameBuilders.h"

#include <QTest>

#include <random>

Q_DECLARE_METATYPE(CAN_Frame)

using Field = CanBitStream::Field;

namespace {

CanBitStream streamOf(const CAN_Frame &f)
{
    return CanBitStream(f.type, f.id, f.dlc, f.data);
}

// The levels, a stuff bit written as [0] or [1].
QString levels(const CanBitStream &stream)
{
    QString text;
    for (const auto &bit : stream) {
        const QChar level = bit.level ? u'1' : u'0';
        text += bit.stuff ? QStringLiteral("[%1]").arg(level) : QString(level);
    }
    return text;
}

// One letter per bit for its field.
QString fields(const CanBitStream &stream)
{
    static const char Letters[] = "SIsEXRqrLDCcAaFT";
    static_assert(sizeof Letters == CanBitStream::FieldCount + 1);
    QString text;
    for (const auto &bit : stream)
        text += QChar(Letters[static_cast<int>(bit.field)]);
    return text;
}

QString withoutBlanks(QString text)
{
    return text.remove(u' ');
}

// CRC delimiter, ACK slot, ACK delimiter, end of frame, intermission.
const QString Tail = QStringLiteral(" 1 0 1 1111111 111");

} // namespace

class CanBitStreamTest : public QObject {
    Q_OBJECT

private slots:
    void bitsAsTheBusCarriesThem_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<QString>("bits");
        QTest::addColumn<int>("crc");
        QTest::addColumn<int>("stuffBits");

        // 34 dominant bits: a recessive stuff bit after every five.
        QTest::newRow("identifier 0x000, DLC 0")
            << frameOf(0x04, 0x000, 0)
            << "00000[1]00000[1]00000[1]00000[1]00000[1]00000[1]0000" + Tail << 0x0000 << 6;
        // Twelve recessive bits (identifier and RTR), then six dominant ones.
        QTest::newRow("identifier 0x7FF remote")
            << frameOf(0x05, 0x7FF, 0) << "0 11111[0]11111[0]11 00000[1]0 101010011101010" + Tail
            << 0x54EA << 3;
        // The stuff bit after 1111 joins the four dominant bits that follow.
        QTest::newRow("a stuff bit starts the next run")
            << frameOf(0x04, 0x078, 0)
            << "00000[1]1111[0]0000[1]00000[1]0 11111[0]0101100101" + Tail << 0x7D65 << 5;
        QTest::newRow("standard data 0x123, 11 22")
            << frameOf(0x04, 0x123, 2, {0x11, 0x22})
            << "0 00100100011 000 00[1]10 00010001 00100010 0000[1]10010110111" + Tail << 0x04B7
            << 2;
        QTest::newRow("extended data 0x1ABCDE, A5")
            << frameOf(0x06, 0x1ABCDE, 1, {0xA5})
            << "00000[1]0000110 11 101011110011011110 0000[1]001 10100101 010101011000101" + Tail
            << 0x2AC5 << 2;
        QTest::newRow("extended remote 0x1FFFFFFF")
            << frameOf(0x07, 0x1FFFFFFF, 0)
            << "0 11111[0]11111[0]11111[0]11111[0]11111[0]11111[0]11 00000[1]0 110111101001101"
                + Tail
            << 0x6F4D << 7;
        QTest::newRow("remote frame with DLC 4 carries no data")
            << frameOf(0x05, 0x123, 4, {1, 2, 3, 4})
            << "0 00100100011 100 0100 100001101010010" + Tail << 0x4352 << 0;
        QTest::newRow("DLC 15 is sent as given with eight bytes")
            << frameOf(0x04, 0x123, 15, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88})
            << "0 00100100011 000 1111 00010001 00100010 00110011 01000100 01010101 01100110 "
               "01110111 10001000 101011100110100"
                + Tail
            << 0x5734 << 0;
        QTest::newRow("identifier bits beyond the format are not sent")
            << frameOf(0x04, 0x800, 0)
            << "00000[1]00000[1]00000[1]00000[1]00000[1]00000[1]0000" + Tail << 0x0000 << 6;
        // The longest standard data frame there is.
        QTest::newRow("longest standard frame")
            << frameOf(0x04, 0x078, 8, {0x01, 0xE1, 0xE1, 0xE1, 0xE1, 0xE1, 0xE0, 0x0F})
            << "00000[1]1111[0]0000[1]00100000[1]00000[1]1111[0]0000[1]1111[0]0000[1]1111[0]"
               "0000[1]1111[0]0000[1]1111[0]0000[1]1111[0]0000[1]00000[1]1111[0]0000[1]100000[1]"
               "1111[0]0"
                + Tail
            << 0x041E << 22;
        // Ends with a stuff bit after the last bit of the CRC.
        QTest::newRow("longest extended frame")
            << frameOf(0x06, 0x000C3C3C, 8, {0x3C, 0x3C, 0x3F, 0xFF, 0x0F, 0x0F, 0x0F, 0x0F})
            << "00000[1]00000[1]1111[0]0000[1]1111[0]0000[1]1111[0]0000[1]0100000[1]1111[0]"
               "0000[1]1111[0]0000[1]1111[0]11111[0]11111[0]0000[1]1111[0]0000[1]1111[0]0000[1]"
               "1111[0]0000[1]1111[0]0000[1]00000[1]011111[0]"
                + Tail
            << 0x001F << 27;
    }
    void bitsAsTheBusCarriesThem()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(QString, bits);
        QFETCH(int, crc);
        QFETCH(int, stuffBits);
        const CanBitStream stream = streamOf(frame);
        QCOMPARE(levels(stream), withoutBlanks(bits));
        QCOMPARE(int(stream.crc()), crc);
        QCOMPARE(stream.stuffBitCount(), stuffBits);
        QCOMPARE(CanBitStream::bitCount(frame.type, frame.id, frame.dlc, frame.data),
                 stream.size());
        QCOMPARE(stream.frameBitCount(), stream.size() - 3);
    }

    void everyBitKnowsItsField_data()
    {
        QTest::addColumn<CAN_Frame>("frame");
        QTest::addColumn<QString>("fields");
        // S SOF, I identifier, s SRR, E IDE, X extended identifier, R RTR,
        // q r1, r r0, L DLC, D data, C CRC, c CRC delimiter, A ACK slot,
        // a ACK delimiter, F end of frame, T intermission. A stuff bit
        // belongs to the field of the bit before it.
        QTest::newRow("standard, stuff bits in four fields")
            << frameOf(0x04, 0x078, 0)
            << "S IIII I IIII I III R R E r LLL L L CCCCC C CCCCCCCCCC c A a FFFFFFF TTT";
        QTest::newRow("extended with one byte")
            << frameOf(0x06, 0x1ABCDE, 1, {0xA5})
            << "S IIII I IIIIIII s E XXXXXXXXXXXXXXXXXX R q r L L LLL DDDDDDDD "
               "CCCCCCCCCCCCCCC c A a FFFFFFF TTT";
    }
    void everyBitKnowsItsField()
    {
        QFETCH(CAN_Frame, frame);
        QFETCH(QString, fields);
        QCOMPARE(::fields(streamOf(frame)), withoutBlanks(fields));
    }

    void dataBitsCountThroughTheBytes()
    {
        const CanBitStream stream = streamOf(frameOf(0x04, 0x0, 2, {0xFF, 0x00}));
        QList<int> indices;
        for (const auto &bit : stream) {
            if (bit.field == Field::Data && !bit.stuff)
                indices << bit.index;
        }
        QCOMPARE(indices.size(), 16);
        QCOMPARE(indices.first(), 0);
        QCOMPARE(indices.last(), 15);
    }

    // The longest frames need at most one stuff bit for every four bits after
    // the first of the stuffed part: 132 bits for a standard frame with eight
    // bytes, 157 for an extended one, before the intermission. The longest
    // frames above reach 130 and 155.
    void randomFramesAreStuffedCorrectlyAndStayWithinBounds()
    {
        std::mt19937 random(14);
        int longest[2] = {0, 0};
        for (int n = 0; n < 20000; ++n) {
            const bool extended = random() % 2;
            const bool remote = random() % 6 == 0;
            const auto dlc = static_cast<std::uint8_t>(random() % 9);
            // Runs of equal bits are what stuffing is about: favour them.
            const bool runs = random() % 2;
            CAN_Frame f =
                frameOf(static_cast<std::uint8_t>(0x04 | (extended ? 2 : 0) | (remote ? 1 : 0)),
                        (runs ? 0x0F0F0F0FU ^ (random() & 0x01010101U) : random())
                            & (extended ? 0x1FFFFFFFU : 0x7FFU),
                        dlc);
            for (auto &b : f.data)
                b = static_cast<std::uint8_t>(runs ? (random() % 2 ? 0xF0 : 0x0F) ^ (random() % 4)
                                                   : random());
            const CanBitStream stream = streamOf(f);
            const int bytes = remote ? 0 : dlc;
            const int stuffed = (extended ? 54 : 34) + 8 * bytes;

            // Stuff bits exactly where five equal bits went before, and only
            // from the start of frame to just after the CRC.
            int run = 0;
            int last = -1;
            int stuffSeen = 0;
            int ownBits = 0;
            for (int i = 0; i < stream.size(); ++i) {
                const auto &bit = stream[i];
                const bool inStuffedPart = ownBits < stuffed || (ownBits == stuffed && bit.stuff);
                const bool right =
                    inStuffedPart && run == 5 ? bit.stuff && bit.level != last : !bit.stuff;
                if (!right)
                    QFAIL(qPrintable(QStringLiteral("frame %1, bit %2").arg(n).arg(i)));
                run = bit.level == last ? run + 1 : 1;
                last = bit.level;
                stuffSeen += bit.stuff ? 1 : 0;
                ownBits += bit.stuff ? 0 : 1;
            }
            QCOMPARE(stuffSeen, stream.stuffBitCount());
            QCOMPARE(ownBits, stuffed + 13);

            // The CRC register over the destuffed bits and their CRC ends clear.
            unsigned crc = 0;
            int seen = 0;
            for (const auto &bit : stream) {
                if (bit.stuff || seen++ >= stuffed)
                    continue;
                const unsigned feedback = (bit.level ^ (crc >> 14)) & 1U;
                crc = (crc << 1) & 0x7FFF;
                if (feedback)
                    crc ^= 0x4599;
            }
            QCOMPARE(crc, 0U);

            QCOMPARE(CanBitStream::bitCount(f.type, f.id, f.dlc, f.data), stream.size());
            QVERIFY(stream.frameBitCount() <= stuffed + 10 + (stuffed - 1) / 4);
            if (bytes == 8)
                longest[extended] = std::max(longest[extended], stream.frameBitCount());
        }
        QVERIFY(longest[0] <= 132);
        QVERIFY(longest[1] <= 157);
    }

    void duration_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<uint>("rate");
        QTest::addColumn<qint64>("nanoseconds");
        QTest::newRow("111 bits at 500 kbit/s") << 111 << 500'000U << qint64(222'000);
        QTest::newRow("53 bits at 1 Mbit/s") << 53 << 1'000'000U << qint64(53'000);
        QTest::newRow("160 bits at 10 kbit/s") << 160 << 10'000U << qint64(16'000'000);
        QTest::newRow("rounded down") << 1 << 3U << qint64(333'333'333);
        QTest::newRow("rounded up") << 2 << 3U << qint64(666'666'667);
        QTest::newRow("no rate") << 111 << 0U << qint64(0);
    }
    void duration()
    {
        QFETCH(int, bits);
        QFETCH(uint, rate);
        QFETCH(qint64, nanoseconds);
        QCOMPARE(CanBitStream::durationNs(bits, rate), nanoseconds);
    }

    void anEmptyStreamHasNoBits()
    {
        const CanBitStream stream;
        QCOMPARE(stream.size(), 0);
        QCOMPARE(stream.frameBitCount(), 0);
        QCOMPARE(stream.durationNs(500'000), qint64(0));
    }
};

QTEST_GUILESS_MAIN(CanBitStreamTest)
#include "tst_canbitstream.moc"
