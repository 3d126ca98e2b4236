#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "display/FrameRequestEvent.h"
#include "display/FrameRowWidget.h"
#include "display/LabelledSquare.h"

#include "StoreDoubles.h"
#include "ViewDoubles.h"

#include "FrameBuilders.h"
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

CAN_Frame makeFrame(std::uint8_t type = 0x04)
{
    return frameOf(type, 0x100, 1);
}

struct Harness {
    explicit Harness(QSize size = {1000, 600})
    {
        doc.setRowFactory(&rows);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
        view.setDocument(&doc);
        view.setPageButtons(&barButtons);
        view.setFrameViewFactory(&frameViews);
        view.resize(size);
        view.show();
    }

    void feed(int count, std::uint8_t type = 0x04)
    {
        for (int i = 0; i < count; ++i)
            view.OnNewFrame(makeFrame(type), 0);
    }

    // The page's rows, top to bottom.
    std::vector<CListSquare *> pageRows() const
    {
        auto found = view.canvas()->findChildren<CListSquare *>(Qt::FindDirectChildrenOnly);
        std::vector<CListSquare *> rows(found.begin(), found.end());
        std::sort(rows.begin(), rows.end(),
                  [](const QWidget *a, const QWidget *b) { return a->y() < b->y(); });
        return rows;
    }

    std::vector<std::uint32_t> shownNumbers() const
    {
        std::vector<std::uint32_t> numbers;
        for (const CListSquare *row : pageRows())
            numbers.push_back(row->frameNumber());
        return numbers;
    }

    PagingButtonsState viewButtons() const
    {
        return {view.previousFramesButton()->isEnabled(), view.nextFramesButton()->isEnabled()};
    }

    SquareRowFactory rows{nullptr, nullptr};
    RecordingControlBar bar;
    RecordingPageButtons barButtons;
    RecordingFrameViews frameViews;
    CVEXODoc doc;
    CVEXOView view;
};

} // namespace

class TestFrameListView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsAtStart();
    void buttonWidths_data();
    void buttonWidths();
    void fullPage();
    void liveUpdatesReachTheScreen();
    void rowsKeepTheirPlaceWhenScrolled();
    void scrollModes();
    void pagingButtons();
    void frameRequests();
    void viewGoesBeforeStore();
    void manyIdentifiersFewWidgets();
};

void TestFrameListView::buttonsAtStart()
{
    CVEXOView view;
    QCOMPARE(view.previousFramesButton()->geometry(), QRect(0, 0, 100, 20));
    QCOMPARE(view.previousFramesButton()->text(), QStringLiteral("Previous Frames"));
    QCOMPARE(view.nextFramesButton()->pos(), QPoint(0, 1280));
    QCOMPARE(view.nextFramesButton()->height(), 20);
    QCOMPARE(view.nextFramesButton()->text(), QStringLiteral("Next Frames"));
    for (const QPushButton *button : {view.previousFramesButton(), view.nextFramesButton()}) {
        QVERIFY(!button->isEnabled());
        QVERIFY(button->isVisibleTo(&view));
    }
    QCOMPARE(view.scrollExtent(), QSize(50, 50));
}

void TestFrameListView::buttonWidths_data()
{
    QTest::addColumn<int>("client");
    QTest::addColumn<int>("width");

    QTest::newRow("wide client") << 1200 << 1200;
    QTest::newRow("890 is wide enough") << 890 << 890;
    QTest::newRow("narrower than 890") << 889 << 900;
    QTest::newRow("narrow client") << 500 << 900;
}

void TestFrameListView::buttonWidths()
{
    QFETCH(int, client);
    QFETCH(int, width);

    Harness h({client, 1400});
    h.feed(25);
    QCOMPARE(h.view.viewport()->width(), client);
    for (const QPushButton *button : {h.view.previousFramesButton(), h.view.nextFramesButton()})
        QCOMPARE(button->size(), QSize(width, 20));
    QCOMPARE(h.view.previousFramesButton()->pos(), QPoint(0, 0));
    QCOMPARE(h.view.nextFramesButton()->pos(), QPoint(0, 1280));
}

void TestFrameListView::fullPage()
{
    Harness h({1000, 1400});
    h.feed(24);
    QCOMPARE(h.view.scrollExtent(), QSize(900, 30 + 24 * 50 + 20));
    h.feed(1);
    QCOMPARE(h.view.scrollExtent(), QSize(900, 1300));

    const auto rows = h.pageRows();
    QCOMPARE(rows.size(), std::size_t{25});
    for (int i = 0; i < 25; ++i)
        QCOMPARE(rows[i]->rowRect(), QRect(10, 30 + 50 * i, 850, 40));

    // The last row ends at 1270; "Next Frames" lies below it, the view white between.
    const QImage shot = h.view.grab().toImage();
    const int lastSquareBottom = 30 + 24 * 50 + 4 + 31;
    QCOMPARE(shot.pixelColor(20, lastSquareBottom), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(20, lastSquareBottom + 1), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(20, 1279), QColor(Qt::white));
    QVERIFY(shot.pixelColor(20, 1285) != QColor(Qt::white));
}

void TestFrameListView::liveUpdatesReachTheScreen()
{
    // What the window shows, as painted at screen rate, not a fresh rendering.
    Harness h({1000, 1400});
    h.feed(25);
    QCoreApplication::processEvents();
    for (const std::uint8_t type : {0x15, 0x05, 0x04})
        h.view.OnNewFrame(makeFrame(type), 0);
    QCoreApplication::processEvents();
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(h.view.winId()).toImage();

    const auto labelColour = [&](int row, int left) {
        return screen.pixelColor(10 + left + 3, 30 + 50 * row + 4 + 3);
    };
    const QColor white(Qt::white);
    // Row 22: transmitted remote, no wide squares; row 23: received remote;
    // row 24: received data.
    QCOMPARE(labelColour(22, 90), QColor(230, 170, 230));
    QCOMPARE(labelColour(22, 430), white);
    QCOMPARE(labelColour(22, 640), white);
    QCOMPARE(labelColour(23, 90), QColor(230, 130, 230));
    QCOMPARE(labelColour(23, 430), QColor(100, 255, 255));
    QCOMPARE(labelColour(23, 640), white);
    QCOMPARE(labelColour(24, 430), QColor(100, 100, 255));
    QCOMPARE(labelColour(24, 640), QColor(100, 255, 255));
}

void TestFrameListView::rowsKeepTheirPlaceWhenScrolled()
{
    // Narrower and shorter than a page, so that the view scrolls both ways.
    Harness h({700, 500});
    h.feed(12);
    h.view.horizontalScrollBar()->setValue(50);
    h.view.verticalScrollBar()->setValue(200);
    QCOMPARE(h.view.horizontalScrollPosition(), 50);
    QVERIFY(h.view.verticalScrollBar()->value() > 100);

    h.feed(1);
    QCOMPARE(h.pageRows().back()->rowRect(), QRect(10, 30 + 12 * 50, 850, 40));

    // A full page that scrolls up by one frame of another kind: the wide
    // squares move within the row, not by the scroll offset.
    h.feed(12);
    h.view.horizontalScrollBar()->setValue(50);
    h.feed(1, 0x05);
    const CListSquare *last = h.pageRows().back();
    QCOMPARE(last->frameNumber(), 25U);
    QCOMPARE(last->x(), 10);
    QCOMPARE(last->square(RowLayout::Timestamp)->x(), 430);
    QVERIFY(!last->square(RowLayout::Data)->isShown());
}

void TestFrameListView::scrollModes()
{
    Harness h({700, 500});
    h.feed(25);
    QScrollBar *horizontal = h.view.horizontalScrollBar();
    QScrollBar *vertical = h.view.verticalScrollBar();
    QCOMPARE(vertical->maximum(), 1300 - h.view.viewport()->height());
    horizontal->setValue(40);
    vertical->setValue(vertical->maximum());

    // The short extent brings the view to the top and keeps the horizontal position.
    h.view.SetScrollMode(3);
    QCOMPARE(vertical->value(), 0);
    QCOMPARE(vertical->maximum(), 0);
    QCOMPARE(horizontal->value(), 40);
    h.view.SetScrollMode(4);
    QCOMPARE(vertical->maximum(), 1300 - h.view.viewport()->height());
    QCOMPARE(vertical->value(), 0);
    QCOMPARE(horizontal->value(), 40);

    vertical->setValue(300);
    h.view.SetScrollMode(0);
    QCOMPARE(h.view.scrollExtent(), QSize(900, 1300));
    QCOMPARE(horizontal->value(), 0);
    QCOMPARE(vertical->value(), 0);

    horizontal->setValue(40);
    h.view.SetScrollMode(1);
    QCOMPARE(h.view.scrollExtent(), QSize(900, 50));
    QCOMPARE(horizontal->value(), 0);
    QCOMPARE(vertical->value(), 0);
}

void TestFrameListView::pagingButtons()
{
    Harness h({1000, 1400});
    h.feed(26);
    QCOMPARE(h.shownNumbers(), numberRange(1, 25));
    QCOMPARE(h.viewButtons(), (PagingButtonsState{true, false}));
    QCOMPARE(h.barButtons.state, (PagingButtonsState{true, false}));

    QTest::mouseClick(h.view.previousFramesButton(), Qt::LeftButton);
    QCOMPARE(h.shownNumbers(), numberRange(0, 24));
    QCOMPARE(h.viewButtons(), (PagingButtonsState{false, true}));
    QCOMPARE(h.barButtons.state, (PagingButtonsState{false, true}));
    // Rebuilt rows are 800 wide; their squares still span 840.
    const CListSquare *first = h.pageRows().front();
    QCOMPARE(first->rowRect(), QRect(10, 30, 800, 40));
    const QImage shot = h.view.grab().toImage();
    QCOMPARE(shot.pixelColor(10 + 640 + 3, 34 + 3), QColor(100, 255, 255));
    QCOMPARE(shot.pixelColor(10 + 839, 34 + 3), QColor(Qt::black));

    QTest::mouseClick(h.view.nextFramesButton(), Qt::LeftButton);
    QCOMPARE(h.shownNumbers(), numberRange(1, 25));
    QCOMPARE(h.viewButtons(), (PagingButtonsState{true, false}));
}

void TestFrameListView::frameRequests()
{
    Harness h;
    h.feed(3);

    FrameRequestEvent open(WM_OPEN_FRAME_VIEW, 2);
    QVERIFY(QCoreApplication::sendEvent(&h.view, &open));
    QCOMPARE(h.frameViews.opened, 1);
    QVERIFY(h.view.frameView());

    FrameRequestEvent previous(WM_SHOW_PREV_FRAME, 2);
    QCoreApplication::sendEvent(&h.view, &previous);
    FrameRequestEvent next(WM_SHOW_NEXT_FRAME, 1);
    QCoreApplication::sendEvent(&h.view, &next);

    QCOMPARE(h.frameViews.shown.size(), std::size_t{3});
    QCOMPARE(h.frameViews.shown[0].number, 2U);
    QCOMPARE(h.frameViews.shown[1].number, 1U);
    QCOMPARE(h.frameViews.shown[1].edge, 0);
    QCOMPARE(h.frameViews.shown[2].number, 2U);
    QCOMPARE(h.frameViews.shown[2].edge, 2);

    h.view.frameViewClosed();
    QCoreApplication::sendEvent(&h.view, &open);
    QCOMPARE(h.frameViews.opened, 2);
}

void TestFrameListView::viewGoesBeforeStore()
{
    SquareRowFactory rows(nullptr, nullptr);
    CVEXODoc doc;
    doc.setRowFactory(&rows);
    doc.OnNewDocument();
    {
        CVEXOView view;
        view.setDocument(&doc);
        view.OnNewFrame(makeFrame(), 0);
        QCOMPARE(doc.rowCount(), 1);
    }
    // The rows went with the view's canvas; the store holds the frames.
    QCOMPARE(doc.rowCount(), 0);
    QCOMPARE(doc.frameCount(), 1U);
}

void TestFrameListView::manyIdentifiersFewWidgets()
{
    // Two thousand identifiers in ID List mode: every one has its row, only
    // those near the visible part have widgets, and a row shows the same
    // whether it got its widget before or after its frames arrived.
    Harness h({1000, 800});
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    h.doc.RebuildDisplayList();
    constexpr std::uint32_t Identifiers = 2000;
    auto frameOf = [](std::uint32_t id, std::uint8_t type) {
        CAN_Frame frame = makeFrame(type);
        frame.id = id;
        return frame;
    };
    for (std::uint32_t id = 0; id < Identifiers; ++id)
        h.view.OnNewFrame(frameOf(id, 0x04), id % 100 == 0 ? 0 : 2);
    QCOMPARE(h.doc.rowCount(), int(Identifiers));
    QCOMPARE(h.view.visibleRows().rowCount(), std::size_t{Identifiers});
    const std::size_t nearTop = h.view.visibleRows().widgetCount();
    QVERIFY2(nearTop > 16 && nearTop < 100, qPrintable(QString::number(nearTop)));
    QCOMPARE(h.pageRows().size(), nearTop);

    // Identifier 1990 far below: it turns into a transmitted remote frame
    // while its row has no widget.
    h.view.OnNewFrame(frameOf(1990, 0x15), 0);
    const int rowTop = 30 + 1990 * 50;
    h.view.verticalScrollBar()->setValue(rowTop - 100);
    QVERIFY(h.view.visibleRows().widgetCount() < 100);
    const auto rows = h.pageRows();
    const auto shown = std::find_if(rows.begin(), rows.end(),
                                    [&](const CListSquare *row) { return row->y() == rowTop; });
    QVERIFY(shown != rows.end());
    QCOMPARE((*shown)->frameNumber(), Identifiers);
    QCOMPARE((*shown)->square(RowLayout::Identifier)->text(), std::string("07C6"));
    QVERIFY(!(*shown)->square(RowLayout::Data)->isShown());
    const QImage shot = h.view.viewport()->grab().toImage();
    const int y = (*shown)->mapTo(h.view.viewport(), QPoint(0, 0)).y() + 4 + 3;
    QCOMPARE(shot.pixelColor(10 + 90 + 3, y), QColor(230, 170, 230));
    QCOMPARE(shot.pixelColor(10 + 250 + 3, y), QColor(100, 255, 100));
    QCOMPARE(shot.pixelColor(10 + 430 + 3, y), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(10 + 640 + 3, y), QColor(Qt::white));

    // Back at the top the first rows have their widgets again.
    h.view.verticalScrollBar()->setValue(0);
    QCOMPARE(h.pageRows().front()->frameNumber(), 0U);
    QCOMPARE(h.view.visibleRows().widgetCount(), nearTop);

    // Leaving ID List mode leaves no rows behind.
    h.doc.DestroyRows();
    QCOMPARE(h.view.visibleRows().rowCount(), std::size_t{0});
    QCOMPARE(h.view.visibleRows().widgetCount(), std::size_t{0});
    QVERIFY(h.pageRows().empty());
}

QTEST_MAIN(TestFrameListView)
#include "tst_framelistview.moc"
