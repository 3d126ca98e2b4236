#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "display/FrameListView.h"
#include "display/FrameRowWidget.h"
#include "display/LabelledSquare.h"

#include "FrameBuilders.h"
#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"
#include "ViewDoubles.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <vector>

using namespace RowLayout;

namespace {

// Colours the rows are drawn with.
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor ReceivedIo(230, 130, 230);
const QColor TransmittedIo(230, 170, 230);
const QColor FormatRed(255, 100, 100);
const QColor IdGreen(100, 255, 100);
const QColor DlcYellow(255, 255, 100);
const QColor DataBlue(100, 100, 255);
const QColor TimeCyan(100, 255, 255);

// The first row lies at (10, 30); its squares at y 34, 32 pixels high.
constexpr int RowX = 10;
constexpr int SquareTop = 34;
constexpr int FirstSlot = RowX + 430;
constexpr int SecondSlot = RowX + 640;
constexpr int IoLeft = RowX + 90;

CAN_Frame makeFrame(std::uint8_t type, std::uint32_t id = 0x123, std::uint8_t dlc = 2)
{
    return stampedAt(frameOf(type, id, dlc, {0xAB, 0xCD}), 75, 123456);
}

struct Harness {
    Harness()
    {
        doc.setRowFactory(&rows);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.setMessageReporter(&messages);
        view.setFrameViewFactory(&frameViews);
        view.resize(1000, 600);
        view.show();
    }

    CListSquare *row(int i) const
    {
        auto rows = view.canvas()->findChildren<CListSquare *>(Qt::FindDirectChildrenOnly);
        std::sort(rows.begin(), rows.end(),
                  [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
        return rows.at(i);
    }

    QImage shot() const { return view.canvas()->grab().toImage(); }

    // The upper-half colour of the square whose left edge is x, in the first row.
    QColor labelColourAt(int x) const { return shot().pixelColor(x + 3, SquareTop + 3); }

    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    SquareRowFactory rows{&library, &messages};
    RecordingControlBar bar;
    RecordingFrameViews frameViews;
    CVEXODoc doc;
    CVEXOView view;
};

std::string textOf(const CListSquare *row, Square which)
{
    return row->square(which)->text();
}

} // namespace

class TestSquareRow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void receivedDataFrame();
    void arrows_data();
    void arrows();
    void wideSlots_data();
    void wideSlots();
    void updateRearranges_data();
    void updateRearranges();
    void packetError();
    void packetErrorShownAfterTheFrame();
    void doubleClickOpensFrameView();
    void squareFont();
};

void TestSquareRow::receivedDataFrame()
{
    Harness h;
    h.view.OnNewFrame(makeFrame(0x04), 0);
    const CListSquare *row = h.row(0);

    QCOMPARE(row->rowRect(), QRect(10, 30, 850, 40));
    const struct {
        Square square;
        int left;
        int width;
        const char *label;
        QColor colour;
        std::string text;
    } expected[] = {
        {Number, 0, 80, "No.", White, "0"},
        {Direction, 90, 40, "I/O", ReceivedIo, "<=="},
        {Format, 140, 100, "FORMAT", FormatRed, "STD DATA"},
        {Identifier, 250, 100, "ID", IdGreen, "0123"},
        {Length, 360, 60, "DLC", DlcYellow, "2"},
        {Data, 430, 200, "DATA", DataBlue, "AB CD"},
        {Timestamp, 640, 200, "TIMESTAMP", TimeCyan, "01:15  123.456"},
    };
    const QImage shot = h.shot();
    for (const auto &e : expected) {
        const CSquare *square = row->square(e.square);
        QCOMPARE(square->mapTo(h.view.canvas(), QPoint(0, 0)), QPoint(RowX + e.left, SquareTop));
        QCOMPARE(square->size(), QSize(e.width, 32));
        QCOMPARE(square->label(), QString::fromLatin1(e.label));
        QCOMPARE(square->text(), e.text);
        const int x = RowX + e.left;
        QCOMPARE(shot.pixelColor(x + 3, SquareTop + 3), e.colour);
        // Outlined in black; the halves share the row above the centre line.
        QCOMPARE(shot.pixelColor(x, SquareTop + 10), Black);
        QCOMPARE(shot.pixelColor(x + e.width - 1, SquareTop + 10), Black);
        QCOMPARE(shot.pixelColor(x + 3, SquareTop + 15), Black);
        QCOMPARE(shot.pixelColor(x + 3, SquareTop + 14), e.colour);
        QCOMPARE(shot.pixelColor(x + 3, SquareTop + 16), White);
        QCOMPARE(shot.pixelColor(x + 3, SquareTop + 31), Black);
    }
}

void TestSquareRow::arrows_data()
{
    QTest::addColumn<std::uint8_t>("type");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<int>("headX"); // a column inside the arrow head, beside the shaft

    QTest::newRow("received: left arrow") << std::uint8_t{0x04} << ReceivedIo << 18;
    QTest::newRow("transmitted: right arrow") << std::uint8_t{0x14} << TransmittedIo << 22;
}

void TestSquareRow::arrows()
{
    QFETCH(std::uint8_t, type);
    QFETCH(QColor, colour);
    QFETCH(int, headX);

    Harness h;
    h.view.OnNewFrame(makeFrame(type), 0);
    const QImage shot = h.shot();
    QCOMPARE(shot.pixelColor(IoLeft + 3, SquareTop + 3), colour);
    // The shaft runs through the lower half's centre (20, 23), 5 pixels short of its sides.
    for (const int x : {5, 12, 28, 34})
        QCOMPARE(shot.pixelColor(IoLeft + x, SquareTop + 23), Black);
    QCOMPARE(shot.pixelColor(IoLeft + 3, SquareTop + 23), White);
    QCOMPARE(shot.pixelColor(IoLeft + 37, SquareTop + 23), White);
    // The head stands on x 20 from y 18 to 29 and points the frame's way.
    QCOMPARE(shot.pixelColor(IoLeft + headX, SquareTop + 20), Black);
    QCOMPARE(shot.pixelColor(IoLeft + 40 - headX, SquareTop + 20), White);
    QCOMPARE(shot.pixelColor(IoLeft + 20, SquareTop + 17), White);
}

void TestSquareRow::wideSlots_data()
{
    QTest::addColumn<std::uint8_t>("type");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second"); // white: no square there, or a hidden one

    QTest::newRow("received data") << std::uint8_t{0x04} << DataBlue << TimeCyan;
    QTest::newRow("received extended data") << std::uint8_t{0x06} << DataBlue << TimeCyan;
    QTest::newRow("received remote") << std::uint8_t{0x05} << TimeCyan << White;
    QTest::newRow("received extended remote") << std::uint8_t{0x07} << TimeCyan << White;
    QTest::newRow("transmitted data") << std::uint8_t{0x14} << DataBlue << White;
    QTest::newRow("transmitted remote") << std::uint8_t{0x15} << White << White;
    QTest::newRow("transmitted extended remote") << std::uint8_t{0x17} << White << White;
    QTest::newRow("frame bit clear") << std::uint8_t{0x00} << White << White;
    QTest::newRow("unknown bits carried") << std::uint8_t{0x84} << DataBlue << TimeCyan;
}

void TestSquareRow::wideSlots()
{
    QFETCH(std::uint8_t, type);
    QFETCH(QColor, first);
    QFETCH(QColor, second);

    Harness h;
    h.view.OnNewFrame(makeFrame(type, 0x1ABCDE), 0);
    QCOMPARE(h.labelColourAt(FirstSlot), first);
    QCOMPARE(h.labelColourAt(SecondSlot), second);
    QCOMPARE(h.labelColourAt(IoLeft), (type & 0x10) ? TransmittedIo : ReceivedIo);

    const CListSquare *row = h.row(0);
    QCOMPARE(textOf(row, Direction), std::string((type & 0x10) ? "==>" : "<=="));
    QCOMPARE(textOf(row, Identifier), std::string((type & 0x02) ? "001ABCDE" : "1ABCDE"));
    QCOMPARE(row->square(Data) == nullptr, (type & 0x04) == 0);
}

void TestSquareRow::updateRearranges_data()
{
    QTest::addColumn<std::uint8_t>("placed");
    QTest::addColumn<std::uint8_t>("updated");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");

    QTest::newRow("received to transmitted data hides TIMESTAMP")
        << std::uint8_t{0x04} << std::uint8_t{0x14} << DataBlue << White;
    QTest::newRow("transmitted to received data shows it again")
        << std::uint8_t{0x14} << std::uint8_t{0x04} << DataBlue << TimeCyan;
    QTest::newRow("data to remote moves TIMESTAMP first")
        << std::uint8_t{0x04} << std::uint8_t{0x05} << TimeCyan << White;
    QTest::newRow("remote to data moves DATA first")
        << std::uint8_t{0x05} << std::uint8_t{0x06} << DataBlue << TimeCyan;
    QTest::newRow("to a type outside the table nothing moves")
        << std::uint8_t{0x05} << std::uint8_t{0x00} << TimeCyan << White;
    QTest::newRow("squares never created stay absent")
        << std::uint8_t{0x00} << std::uint8_t{0x04} << White << White;
}

void TestSquareRow::updateRearranges()
{
    QFETCH(std::uint8_t, placed);
    QFETCH(std::uint8_t, updated);
    QFETCH(QColor, first);
    QFETCH(QColor, second);

    Harness h;
    h.view.OnNewFrame(makeFrame(placed), 0);
    CListSquare *row = h.row(0);
    row->UpdateFrame(7, updated, 0x321, 1, "EF", "00:01  000.002", RowX);
    QCOMPARE(h.labelColourAt(FirstSlot), first);
    QCOMPARE(h.labelColourAt(SecondSlot), second);
    QCOMPARE(h.labelColourAt(IoLeft), (updated & 0x10) ? TransmittedIo : ReceivedIo);
    QCOMPARE(row->frameNumber(), 7U);
    QCOMPARE(textOf(row, Number), std::string("7"));
    QCOMPARE(textOf(row, Identifier), std::string(updated & 0x02 ? "00000321" : "0321"));
    QCOMPARE(textOf(row, Length), std::string("1"));
    // Labels stay as placed.
    QCOMPARE(row->square(Format)->label(), QStringLiteral("FORMAT"));
    QVERIFY(h.messages.messages.empty());
}

void TestSquareRow::packetError()
{
    Harness h;
    h.view.OnNewFrame(makeFrame(0x04, 0x55, 9), 0);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Packet Error"));
    QCOMPARE(h.messages.messages[0].icon, MessageIcon::Error);
    QCOMPARE(h.messages.messages[0].caption, std::string("Vexo View"));

    // Number, direction, FORMAT and ID are shown; no labels, DLC, data or time.
    const CListSquare *bad = h.row(0);
    QCOMPARE(textOf(bad, Number), std::string("0"));
    QCOMPARE(textOf(bad, Identifier), std::string("0055"));
    QCOMPARE(textOf(bad, Format), std::string("STD DATA"));
    QVERIFY(textOf(bad, Length).empty());
    QVERIFY(textOf(bad, Timestamp).empty());
    QVERIFY(bad->square(Number)->label().isEmpty());
    QVERIFY(bad->square(Direction)->label().isEmpty());
    QCOMPARE(h.labelColourAt(RowX + 250), White);

    // An existing row keeps its DLC, data and time when updated with a bad DLC,
    // which is reported with the same text.
    h.view.OnNewFrame(makeFrame(0x04), 0);
    CListSquare *row = h.row(1);
    h.messages.messages.clear();
    row->UpdateFrame(5, 0x15, 0x66, 0x80, "", "00:00  000.000", RowX);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(h.messages.messages.size(), std::size_t{1});
    QCOMPARE(h.messages.messages[0].text, std::string("Packet Error"));
    QCOMPARE(textOf(row, Number), std::string("5"));
    QCOMPARE(textOf(row, Length), std::string("2"));
    QCOMPARE(textOf(row, Data), std::string("AB CD"));
    QCOMPARE(textOf(row, Timestamp), std::string("01:15  123.456"));

    // The next good frame of the row's last good type shows DATA and TIMESTAMP again.
    row->UpdateFrame(6, 0x04, 0x66, 1, "01", "00:00  000.001", RowX);
    QVERIFY(row->square(Data)->isShown());
    QVERIFY(row->square(Timestamp)->isShown());
    QCOMPARE(row->square(Timestamp)->x(), 640);
}

void TestSquareRow::packetErrorShownAfterTheFrame()
{
    // A message box runs an event loop of its own, in which the user may clear
    // the capture. The box for a bad row must not open while the store is in
    // the middle of adding the frame.
    Harness h;
    for (int i = 0; i < 25; ++i)
        h.view.OnNewFrame(makeFrame(0x04), 0);
    std::vector<std::uint32_t> framesWhenShown;
    h.messages.onShow = [&] {
        framesWhenShown.push_back(h.doc.frameCount());
        h.doc.Clear();
    };
    h.view.OnNewFrame(makeFrame(0x04, 0x123, 12), 0);
    h.view.OnNewFrame(makeFrame(0x04), 0);
    QCoreApplication::sendPostedEvents();

    // Both rows that showed the bad frame reported it, after both frames were stored.
    QCOMPARE(framesWhenShown, (std::vector<std::uint32_t>{27, 0}));
    QCOMPARE(h.doc.rowCount(), 0);
    QCOMPARE(h.view.OnNewFrame(makeFrame(0x04), 0), NewFrameResult::Handled);
    QCOMPARE(h.doc.rowCount(), 1);
}

void TestSquareRow::doubleClickOpensFrameView()
{
    Harness h;
    h.view.OnNewFrame(makeFrame(0x04), 0);
    h.view.OnNewFrame(makeFrame(0x14), 0);
    CListSquare *row = h.row(1);

    // Clicks on any square go to the row beneath it.
    const QPoint onData = row->square(Data)->geometry().center();
    QCOMPARE(row->childAt(onData), nullptr);

    int pausesWhenOpened = -1;
    h.frameViews.onOpen = [&] {
        const auto *last = h.library.last(DevOrdinal::SetPause);
        pausesWhenOpened = h.library.count(DevOrdinal::SetPause);
        QCOMPARE(last->args, std::vector<std::int64_t>{1});
    };
    QTest::mouseDClick(row, Qt::LeftButton, {}, onData);
    QCOMPARE(pausesWhenOpened, 1);
    QCOMPARE(h.library.count(DevOrdinal::SetPause), 2);
    QCOMPARE(h.library.last(DevOrdinal::SetPause)->args, std::vector<std::int64_t>{0});
    QCOMPARE(h.frameViews.opened, 1);
    QCOMPARE(h.frameViews.shown.size(), std::size_t{1});
    QCOMPARE(h.frameViews.shown[0].number, 1U);

    // While the detailed view is open another double-click opens nothing.
    QTest::mouseDClick(h.row(0), Qt::LeftButton, {}, QPoint(5, 20));
    QCOMPARE(h.frameViews.opened, 1);
    QCOMPARE(h.frameViews.shown.size(), std::size_t{1});
    QCOMPARE(h.library.count(DevOrdinal::SetPause), 4);
    QCOMPARE(h.library.last(DevOrdinal::SetPause)->args, std::vector<std::int64_t>{0});
}

void TestSquareRow::squareFont()
{
    // Arial's 16-pixel cell: ascent and descent fill the 16-pixel upper half.
    const QFontMetrics metrics(CSquare::squareFont());
    QCOMPARE(metrics.height(), 16);
    QCOMPARE(CSquare::squareFont().weight(), QFont::Normal);
}

QTEST_MAIN(TestSquareRow)
#include "tst_squarerow.moc"
