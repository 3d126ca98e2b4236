#include "capture/CanPacket.h"
#include "inspect/BitStreamLayout.h"
#include "inspect/BitStreamPage.h"

#include <QImage>
#include <QTest>

using namespace BitStreamLayout;

namespace {

constexpr int PageWidth = 1120; // 44 bits to a lane

const QColor White(255, 255, 255);
const QColor SofBlue(190, 190, 255);
const QColor IdGreen(200, 255, 200);
const QColor CrcOrange(255, 210, 160);
const QColor EofGrey(225, 225, 225);
const QColor Stuff(220, 40, 40);
const QColor Level(0, 0, 160);

// Identifier 0x078, DLC 0: 52 bits, levels
// 00000[1]1111[0]0000[1]00000[1]0 11111[0]0101100101 1 0 1 1111111 111
// with stuff bits at 5, 10, 15, 21 and 28, the CRC from 23 to 38.
CAN_Packet packet(std::uint8_t type = 0x04)
{
    const std::uint8_t data[8] = {};
    return CAN_Packet(7, type, 0x078, 0, data, 0, 0, {}, {});
}

QImage render(BitStreamPage &page)
{
    page.resize(PageWidth, page.heightForWidth(PageWidth));
    return page.grab().toImage();
}

// Inside a cell, clear of its outline and its digit.
QColor cellFill(const QImage &image, int bit)
{
    const PixelRect cell = cellRect(bit, PageWidth);
    return image.pixelColor(cell.left + 3, cell.bottom - 4);
}

// The level line is two pixels thick.
bool lineAt(const QImage &image, int x, int y, const QColor &colour)
{
    return image.pixelColor(x, y) == colour || image.pixelColor(x, y - 1) == colour;
}

int darkPixels(const QImage &image, const PixelRect &r)
{
    int count = 0;
    for (int y = r.top + 2; y < r.bottom - 2; ++y) {
        for (int x = r.left + 2; x < r.right - 2; ++x)
            count += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    }
    return count;
}

} // namespace

class BitStreamPageTest : public QObject {
    Q_OBJECT

private slots:
    void cellsAreColouredByFieldAndStuffBitsStandOut_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<QColor>("fill");
        QTest::newRow("start of frame") << 0 << SofBlue;
        QTest::newRow("identifier") << 1 << IdGreen;
        QTest::newRow("stuff bit in the identifier") << 5 << Stuff;
        QTest::newRow("CRC") << 23 << CrcOrange;
        QTest::newRow("stuff bit in the CRC") << 28 << Stuff;
        QTest::newRow("end of frame, wrapped onto the second lane") << 44 << EofGrey;
        QTest::newRow("after the last bit") << 52 << White;
    }
    void cellsAreColouredByFieldAndStuffBitsStandOut()
    {
        QFETCH(int, bit);
        QFETCH(QColor, fill);
        BitStreamPage page;
        page.setFrame(packet());
        QCOMPARE(cellFill(render(page), bit), fill);
    }

    void stuffBitsCarryAMark()
    {
        BitStreamPage page;
        page.setFrame(packet());
        const QImage image = render(page);
        for (const int bit : {5, 10, 15}) {
            const PixelRect cell = cellRect(bit, PageWidth);
            QCOMPARE(image.pixelColor(cell.right - 4, cell.top + 3), QColor(Qt::black));
        }
        const PixelRect plain = cellRect(6, PageWidth);
        QCOMPARE(image.pixelColor(plain.right - 4, plain.top + 3), IdGreen);
    }

    void theLevelLineIsLowWhenDominant_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<bool>("recessive");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("start of frame, dominant") << 0 << false << Level;
        QTest::newRow("stuff bit, recessive") << 5 << true << Stuff;
        QTest::newRow("identifier, recessive") << 6 << true << Level;
        QTest::newRow("ACK slot, dominant") << 40 << false << Level;
        QTest::newRow("end of frame on the second lane, recessive") << 45 << true << Level;
    }
    void theLevelLineIsLowWhenDominant()
    {
        QFETCH(int, bit);
        QFETCH(bool, recessive);
        QFETCH(QColor, colour);
        BitStreamPage page;
        page.setFrame(packet());
        const QImage image = render(page);
        const int x = cellRect(bit, PageWidth).centre().x;
        const int lane = bit / bitsPerLane(PageWidth);
        QVERIFY(lineAt(image, x, levelY(lane, recessive ? 1 : 0), colour));
        QVERIFY(!lineAt(image, x, levelY(lane, recessive ? 0 : 1), colour));
    }

    void levelChangesAreDrawnAtBitBoundaries()
    {
        BitStreamPage page;
        page.setFrame(packet());
        const QImage image = render(page);
        // From the dominant bit 4 to the recessive stuff bit 5.
        const int x = cellRect(4, PageWidth).right;
        const int y = (levelY(0, 0) + levelY(0, 1)) / 2;
        QVERIFY(image.pixelColor(x, y) == Level || image.pixelColor(x - 1, y) == Level);
        // No change between two dominant bits.
        const int same = cellRect(1, PageWidth).right;
        QVERIFY(image.pixelColor(same, y) != Level && image.pixelColor(same - 1, y) != Level);
    }

    void fieldsAreNamedOnceWhereTheyAreWidest()
    {
        BitStreamPage page;
        page.setFrame(packet());
        const QImage image = render(page);
        const auto list = segments(page.stream(), PageWidth);
        // Identifier, then the two parts of the end of frame split by the lane break.
        QCOMPARE(image.pixelColor(list[1].band.left + 3, list[1].band.top + 3), IdGreen);
        QVERIFY(darkPixels(image, list[1].band) > 20);
        QCOMPARE(list[10].field, CanBitStream::Field::EndOfFrame);
        QCOMPARE(darkPixels(image, list[10].band), 0);
        QVERIFY(darkPixels(image, list[11].band) > 20);
    }

    void theCaptionSaysWhichRateItUses()
    {
        BitStreamPage page;
        page.setFrame(packet());
        QCOMPARE(
            page.captionLines()[1],
            QStringLiteral("104 \u00B5s at 500 kbit/s, assumed while no adapter is connected."));
        page.setBitRate(1'000'000, true);
        QCOMPARE(page.captionLines()[1],
                 QStringLiteral("52 \u00B5s at 1000 kbit/s, the adapter's bit rate."));
        page.setBitRate(1'000'000, false);
        QCOMPARE(
            page.captionLines()[1],
            QStringLiteral("104 \u00B5s at 500 kbit/s, assumed while no adapter is connected."));
        QVERIFY(darkPixels(render(page), {Margin, CaptionTop, 400, LanesTop - 4}) > 50);
    }

    void aRecordWithoutTheFrameBitShowsNoBits()
    {
        BitStreamPage page;
        page.setFrame(packet(0x04));
        page.setFrame(packet(0x00));
        QCOMPARE(page.stream().size(), 0);
        QCOMPARE(page.captionLines()[0], QStringLiteral("No data or remote frame to show."));
        const QImage image = render(page);
        QCOMPARE(image.height(), heightFor(0, PageWidth));
        for (int y = LanesTop; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(image.pixelColor(x, y), White);
        }
    }

    void aNarrowPageGrowsInsteadOfCutting()
    {
        BitStreamPage page;
        page.setFrame(packet());
        QVERIFY(page.heightForWidth(300) > page.heightForWidth(PageWidth));
        page.resize(300, page.heightForWidth(300));
        const QImage image = page.grab().toImage();
        const PixelRect last = cellRect(51, 300);
        QVERIFY(last.bottom < image.height());
        QCOMPARE(image.pixelColor(last.left + 3, last.bottom - 4), QColor(248, 248, 248));
    }
};

QTEST_MAIN(BitStreamPageTest)
#include "tst_bitstreampage.moc"
