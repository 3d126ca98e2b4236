#include "capture/FrameStore.h"
#include "capture/ReceiverInterfaces.h"
#include "display/FrameListController.h"

#include "StoreDoubles.h"
#include "ViewDoubles.h"

#include "FrameBuilders.h"

#include <QTest>

#include <utility>
#include <vector>

namespace {

constexpr std::uint8_t Rx = 0x04;

CAN_Frame makeFrame(std::uint32_t id = 0x100)
{
    return frameOf(Rx, id, 1);
}

// The scrolling widget: records the extent, the position and its own two
// paging buttons.
class RecordingSurface : public FrameListSurface {
public:
    ScrollPoint scrollPosition() const override { return position; }
    void setScrollExtent(int width, int height) override { extents.push_back({width, height}); }
    void setScrollPosition(int x, int y) override { position = {x, y}; }
    void enablePagingButtons(bool previous, bool next) override { buttons = {previous, next}; }

    ScrollPoint extent() const { return extents.empty() ? ScrollPoint{-1, -1} : extents.back(); }

    ScrollPoint position;
    std::vector<ScrollPoint> extents;
    PagingButtonsState buttons;
};

// The view as the store sees it, handing navigation to the controller as the
// main view does.
class ViewSide : public ViewLink, public RowParent {
public:
    int horizontalScrollPosition() const override { return surface->position.x; }
    void EnableNavigation(int state) override { controller->EnableNavigation(state); }

    RecordingSurface *surface = nullptr;
    FrameListController *controller = nullptr;
};

struct Harness {
    Harness()
    {
        view.surface = &surface;
        view.controller = &controller;
        doc.setRowFactory(&rows);
        doc.setView(&view);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
        controller.setDocument(&doc);
        controller.setPageButtons(&barButtons);
        controller.setMessageReporter(&messages);
        controller.setFrameViewFactory(&frameViews);
    }

    void feed(int count, int hint = 0)
    {
        for (int i = 0; i < count; ++i)
            QCOMPARE(controller.OnNewFrame(makeFrame(), hint), NewFrameResult::Handled);
    }

    // The view's paging buttons and the control bar's.
    std::pair<PagingButtonsState, PagingButtonsState> buttons() const
    {
        return {surface.buttons, barButtons.state};
    }

    RecordingRowFactory rows;
    ViewSide view;
    RecordingControlBar bar;
    RecordingPageButtons barButtons;
    RecordingMessageReporter messages;
    RecordingFrameViews frameViews;
    RecordingSurface surface;
    CVEXODoc doc;
    FrameListController controller{surface, &view};
};

using Buttons = PagingButtonsState;

std::pair<Buttons, Buttons> both(Buttons buttons)
{
    return {buttons, buttons};
}

} // namespace

Q_DECLARE_METATYPE(PagingButtonsState)

class TestFrameListController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void indexListHints_data();
    void indexListHints();
    void quietBurstEndsWithShownFrame();
    void idListHints_data();
    void idListHints();
    void captureLimitAndNoDocument();
    void fullCaptureShowsItsEnd_data();
    void fullCaptureShowsItsEnd();
    void liveRowRectangleAndExtent();
    void goToPage_data();
    void goToPage();
    void stepping_data();
    void stepping();
    void navigationStates_data();
    void navigationStates();
    void scrollModes_data();
    void scrollModes();
    void detailedFrameView();
    void holdIndexList();
    void holdIdList();
};

void TestFrameListController::indexListHints_data()
{
    QTest::addColumn<int>("rowsBefore");
    QTest::addColumn<int>("hint");
    QTest::addColumn<std::uint32_t>("stored"); // frames in the store afterwards
    QTest::addColumn<std::vector<std::uint32_t>>("shown");
    QTest::addColumn<Buttons>("buttons");

    const Buttons untouched{false, false};
    QTest::newRow("24 rows, hint 0 adds the 25th")
        << 24 << 0 << 25U << numberRange(0, 24) << untouched;
    QTest::newRow("24 rows, hint 2 still adds the 25th")
        << 24 << 2 << 25U << numberRange(0, 24) << untouched;
    QTest::newRow("24 rows, any hint adds the 25th")
        << 24 << 5 << 25U << numberRange(0, 24) << untouched;
    QTest::newRow("25 rows, hint 0 scrolls the page")
        << 25 << 0 << 26U << numberRange(1, 25) << Buttons{true, false};
    QTest::newRow("25 rows, hint 2 stores without touching rows")
        << 25 << 2 << 26U << numberRange(0, 24) << untouched;
    QTest::newRow("25 rows, hint 5 neither stores nor counts")
        << 25 << 5 << 25U << numberRange(0, 24) << untouched;
}

void TestFrameListController::indexListHints()
{
    QFETCH(int, rowsBefore);
    QFETCH(int, hint);
    QFETCH(std::uint32_t, stored);
    QFETCH(std::vector<std::uint32_t>, shown);
    QFETCH(Buttons, buttons);

    Harness h;
    h.feed(rowsBefore);
    QCOMPARE(h.controller.OnNewFrame(makeFrame(), hint), NewFrameResult::Handled);

    QCOMPARE(h.doc.frameCount(), stored);
    QCOMPARE(h.doc.rxCount(), stored);
    QCOMPARE(h.rows.shownNumbers(), shown);
    QCOMPARE(h.doc.rowCount(), 25);
    QCOMPARE(h.buttons(), both(buttons));
    // The extent follows the rows only while a new row is added.
    QCOMPARE(h.surface.extent(), (ScrollPoint{900, 1300}));
}

void TestFrameListController::quietBurstEndsWithShownFrame()
{
    Harness h;
    h.feed(24);
    h.feed(1, 2); // the 25th row
    h.feed(1, 2); // stored, no row changes
    QCOMPARE(h.rows.shownNumbers(), numberRange(0, 24));
    QCOMPARE(h.rows.totalUpdates(), 0);
    h.feed(1, 0);
    QCOMPARE(h.rows.shownNumbers(), numberRange(2, 26));
    QCOMPARE(h.doc.pageStart(), 2);
    QCOMPARE(h.doc.pageEnd(), 27);
    QCOMPARE(h.buttons(), both({true, false}));
}

void TestFrameListController::idListHints_data()
{
    QTest::addColumn<std::uint32_t>("id");
    QTest::addColumn<int>("hint");
    QTest::addColumn<std::uint32_t>("stored");
    QTest::addColumn<int>("rows");
    QTest::addColumn<std::uint32_t>("secondRowShows");

    // Frames 0 and 1 carry identifiers 0x100 and 0x200.
    QTest::newRow("new identifier, hint 0") << 0x300U << 0 << 3U << 3 << 1U;
    QTest::newRow("new identifier, hint 2") << 0x300U << 2 << 3U << 3 << 1U;
    QTest::newRow("known identifier, hint 0 shows it") << 0x200U << 0 << 3U << 2 << 2U;
    QTest::newRow("known identifier, hint 2 holds back") << 0x200U << 2 << 3U << 2 << 1U;
    QTest::newRow("hint 5 is dropped") << 0x300U << 5 << 2U << 2 << 1U;
}

void TestFrameListController::idListHints()
{
    QFETCH(std::uint32_t, id);
    QFETCH(int, hint);
    QFETCH(std::uint32_t, stored);
    QFETCH(int, rows);
    QFETCH(std::uint32_t, secondRowShows);

    Harness h;
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    h.controller.OnNewFrame(makeFrame(0x100), 0);
    h.controller.OnNewFrame(makeFrame(0x200), 0);
    QCOMPARE(h.controller.OnNewFrame(makeFrame(id), hint), NewFrameResult::Handled);

    QCOMPARE(h.doc.frameCount(), stored);
    QCOMPARE(h.doc.rowCount(), rows);
    QCOMPARE(h.rows.liveRows().at(1)->frame.number, secondRowShows);
    QCOMPARE(h.surface.extent(), (ScrollPoint{900, h.doc.nextRowPosition().y + 20}));
}

void TestFrameListController::captureLimitAndNoDocument()
{
    Harness h;
    for (std::uint32_t i = 0; i < CVEXODoc::CaptureLimit; ++i)
        h.doc.AddFrame({}, nullptr, makeFrame(), CVEXODoc::StoreOnly);
    QCOMPARE(h.controller.OnNewFrame(makeFrame(), 0), NewFrameResult::CaptureFull);
    QCOMPARE(h.doc.frameCount(), CVEXODoc::CaptureLimit);
    QCOMPARE(h.doc.rxCount(), CVEXODoc::CaptureLimit);

    h.controller.setDocument(nullptr);
    QCOMPARE(h.controller.OnNewFrame(makeFrame(), 0), NewFrameResult::NoDocument);
}

void TestFrameListController::fullCaptureShowsItsEnd_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("lastFrameRow"); // the row that shows the frame that filled the capture

    QTest::newRow("index list: the last 25 frames") << int(CVEXODoc::IndexList) << 25 << 24;
    QTest::newRow("ID list: the row of the last frame's identifier")
        << int(CVEXODoc::IdList) << 3 << 1;
}

void TestFrameListController::fullCaptureShowsItsEnd()
{
    // A burst fills the capture with quietly stored frames; its last frame,
    // the one that would have been shown, is refused.
    QFETCH(int, mode);
    QFETCH(int, rows);
    QFETCH(int, lastFrameRow);

    Harness h;
    h.doc.SetDisplayMode(static_cast<std::uint8_t>(mode));
    std::uint32_t n = 0;
    auto next = [&] { return makeFrame(0x100 + n++ % 3); };
    for (int i = 0; i < 25; ++i)
        QCOMPARE(h.controller.OnNewFrame(next(), 0), NewFrameResult::Handled);
    while (n < CVEXODoc::CaptureLimit - 10)
        h.doc.AddFrame({}, nullptr, next(), CVEXODoc::StoreOnly);
    while (n < CVEXODoc::CaptureLimit)
        QCOMPARE(h.controller.OnNewFrame(next(), 2), NewFrameResult::Handled);
    QCOMPARE(h.controller.OnNewFrame(next(), 0), NewFrameResult::CaptureFull);

    const auto shown = h.rows.shownNumbers();
    QCOMPARE(int(shown.size()), rows);
    QCOMPARE(shown[lastFrameRow], CVEXODoc::CaptureLimit - 1);
    if (mode == CVEXODoc::IndexList) {
        QCOMPARE(shown, numberRange(CVEXODoc::CaptureLimit - 25, CVEXODoc::CaptureLimit - 1));
        QCOMPARE(h.buttons(), both(Buttons{true, false}));
    }
}

void TestFrameListController::liveRowRectangleAndExtent()
{
    Harness h;
    h.feed(3);
    QCOMPARE(h.surface.extent(), (ScrollPoint{900, 30 + 3 * 50 + 20}));

    // Rows are placed in scrolled coordinates, so the view's position counts.
    h.surface.position = {30, 100};
    h.feed(1);
    QCOMPARE(h.rows.created.back()->rect,
             (RowRect{10 - 30, 180 - 100, 10 - 30 + 850, 180 - 100 + 40}));
    QCOMPARE(h.surface.extent(), (ScrollPoint{900, 250}));

    // A full page scrolls with the view's horizontal origin.
    h.feed(21);
    h.feed(1);
    QCOMPARE(h.rows.liveRows().front()->lastXOrigin, 10 - 30);
}

void TestFrameListController::goToPage_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<uint>("page");
    QTest::addColumn<int>("pageStart"); // -1: the page does not change
    QTest::addColumn<Buttons>("buttons");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("field"); // the page box afterwards: the page shown

    const QString none;
    QTest::newRow("60: first page") << 60 << 1U << 0 << Buttons{false, true} << none << "1";
    QTest::newRow("60: a page in between") << 60 << 2U << 25 << Buttons{true, true} << none << "2";
    QTest::newRow("60: last page is a full page")
        << 60 << 3U << 35 << Buttons{true, false} << none << "3";
    QTest::newRow("60: beyond the last page")
        << 60 << 4U << -1 << Buttons{false, false}
        << "Please enter the value from 1 to 3 (the last page)."
        << "3";
    QTest::newRow("60: page 0 counts as 1") << 60 << 0U << 0 << Buttons{false, true} << none << "1";
    QTest::newRow("30: last page overlaps the first")
        << 30 << 2U << 5 << Buttons{true, false} << none << "2";
    QTest::newRow("10: only one page") << 10 << 2U << -1 << Buttons{false, false}
                                       << "There are only one page that can be displayed."
                                       << "1";
    QTest::newRow("10: page 0 shows page 1, all disabled")
        << 10 << 0U << 0 << Buttons{false, false} << none << "1";
}

void TestFrameListController::goToPage()
{
    QFETCH(int, entries);
    QFETCH(uint, page);
    QFETCH(int, pageStart);
    QFETCH(Buttons, buttons);
    QFETCH(QString, message);
    QFETCH(QString, field);

    Harness h;
    h.feed(entries);
    h.controller.EnableNavigation(Navigation::None);
    h.bar.SetPageFieldText("7");
    const int startBefore = h.doc.pageStart();

    h.controller.GoToPage(page);

    const int expectedStart = pageStart < 0 ? startBefore : pageStart;
    QCOMPARE(h.doc.pageStart(), expectedStart);
    QCOMPARE(h.doc.pageEnd(), std::min(entries, expectedStart + 25));
    QCOMPARE(h.buttons(), both(buttons));
    QCOMPARE(QString::fromStdString(h.bar.pageFieldText), field);
    if (message.isEmpty()) {
        QVERIFY(h.messages.messages.empty());
        QCOMPARE(h.rows.shownNumbers().front(), static_cast<std::uint32_t>(expectedStart));
        QCOMPARE(h.rows.liveRows().size(), h.doc.displaySize() < 25 ? h.doc.displaySize() : 25);
        QCOMPARE(h.surface.extent(), (ScrollPoint{900, 1300}));
    } else {
        QCOMPARE(h.messages.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(h.messages.messages[0].text), message);
        QCOMPARE(h.messages.messages[0].icon, MessageIcon::Error);
        QCOMPARE(h.messages.messages[0].caption, std::string("Vexo View"));
    }
}

void TestFrameListController::stepping_data()
{
    QTest::addColumn<QString>("steps"); // P previous, N next, from the last page of 60
    QTest::addColumn<int>("pageStart");
    QTest::addColumn<Buttons>("buttons");

    QTest::newRow("back one page") << "P" << 10 << Buttons{true, true};
    QTest::newRow("back to the first page") << "PP" << 0 << Buttons{false, true};
    QTest::newRow("back past the first page") << "PPP" << 0 << Buttons{false, true};
    QTest::newRow("forward from the first page") << "PPN" << 25 << Buttons{true, true};
    QTest::newRow("forward to the last page") << "PPNN" << 35 << Buttons{true, false};
}

void TestFrameListController::stepping()
{
    QFETCH(QString, steps);
    QFETCH(int, pageStart);
    QFETCH(Buttons, buttons);

    Harness h;
    h.feed(60);
    for (const QChar step : steps) {
        h.surface.extents.clear();
        h.controller.StepPage(step == u'P' ? FrameListController::StepPrevious
                                           : FrameListController::StepNext);
        // The page is rebuilt under a short extent, which brings the view to
        // its top, and the page extent is restored afterwards.
        QCOMPARE(h.surface.extents, (std::vector<ScrollPoint>{{900, 50}, {900, 1300}}));
    }
    QCOMPARE(h.doc.pageStart(), pageStart);
    QCOMPARE(h.rows.shownNumbers(), numberRange(pageStart, pageStart + 24));
    QCOMPARE(h.buttons(), both(buttons));
}

void TestFrameListController::navigationStates_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<Buttons>("buttons");

    QTest::newRow("0: none") << 0 << Buttons{false, false};
    QTest::newRow("1: first page") << 1 << Buttons{false, true};
    QTest::newRow("2: last page") << 2 << Buttons{true, false};
    QTest::newRow("3: in between") << 3 << Buttons{true, true};
    QTest::newRow("any other state") << 9 << Buttons{true, true};
}

void TestFrameListController::navigationStates()
{
    QFETCH(int, state);
    QFETCH(Buttons, buttons);

    Harness h;
    h.controller.EnableNavigation(state);
    QCOMPARE(h.buttons(), both(buttons));
}

void TestFrameListController::scrollModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("toOrigin");

    QTest::newRow("1: short, to the origin") << 1 << 50 << true;
    QTest::newRow("0: page, to the origin") << 0 << 1300 << true;
    QTest::newRow("3: short, position kept") << 3 << 50 << false;
    QTest::newRow("4: page, position kept") << 4 << 1300 << false;
}

void TestFrameListController::scrollModes()
{
    QFETCH(int, mode);
    QFETCH(int, height);
    QFETCH(bool, toOrigin);

    Harness h;
    h.surface.position = {40, 300};
    h.controller.SetScrollMode(mode);
    QCOMPARE(h.surface.extent(), (ScrollPoint{900, height}));
    QCOMPARE(h.surface.position, toOrigin ? (ScrollPoint{0, 0}) : (ScrollPoint{40, 300}));
}

void TestFrameListController::detailedFrameView()
{
    Harness h;
    h.feed(3);

    h.controller.OnOpenFrameView(1);
    QCOMPARE(h.frameViews.opened, 1);
    QCOMPARE(h.frameViews.shown.size(), std::size_t{1});
    QCOMPARE(h.frameViews.shown[0].packetNumber, 1U);
    QCOMPARE(h.frameViews.shown[0].number, 1U);
    QCOMPARE(h.frameViews.shown[0].edge, 0);

    // At most one: a second request while one is open is ignored.
    h.controller.OnOpenFrameView(2);
    QCOMPARE(h.frameViews.opened, 1);
    QCOMPARE(h.frameViews.shown.size(), std::size_t{1});

    h.controller.OnShowNextFrame(1);
    QCOMPARE(h.frameViews.shown.back().number, 2U);
    QCOMPARE(h.frameViews.shown.back().edge, 2); // onto the last frame
    h.controller.OnShowPrevFrame(1);
    QCOMPARE(h.frameViews.shown.back().number, 0U);
    QCOMPARE(h.frameViews.shown.back().edge, 1); // onto the first frame

    // Closed by the user: the next request opens a fresh one.
    h.controller.frameViewClosed();
    h.controller.OnShowNextFrame(0);
    QCOMPARE(h.frameViews.shown.size(), std::size_t{3});
    h.controller.OnOpenFrameView(7); // not in the list: an empty record
    QCOMPARE(h.frameViews.opened, 2);
    QCOMPARE(h.frameViews.shown.back().packetNumber, 0U);
    QCOMPARE(h.frameViews.shown.back().number, 7U);

    // Closed by the control bar's Clear.
    h.controller.closeFrameView();
    QCOMPARE(h.frameViews.closed, 1);
    QVERIFY(!h.controller.frameView());
    h.controller.closeFrameView();
    QCOMPARE(h.frameViews.closed, 1);
}

void TestFrameListController::holdIndexList()
{
    Harness h;
    h.feed(30);
    h.feed(2, 2);
    h.controller.setHeld(true); // on what is stored: frames 7 to 31
    h.feed(10, 0);
    h.feed(10, 2);
    QCOMPARE(h.doc.rxCount(), 52U);
    QCOMPARE(h.rows.shownNumbers(), numberRange(7, 31));
    // Paging goes on over what is stored; the next frame leaves the page be.
    h.controller.StepPage(FrameListController::StepPrevious);
    h.feed(1);
    QCOMPARE(h.rows.shownNumbers(), numberRange(0, 24));

    h.controller.setHeld(false);
    QCOMPARE(h.rows.shownNumbers(), numberRange(28, 52));
    QCOMPARE(h.buttons(), both({true, false}));
    QCOMPARE(h.bar.pageFieldText, std::string("3"));
}

void TestFrameListController::holdIdList()
{
    Harness h;
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    for (const std::uint32_t id : {0x100U, 0x200U, 0x300U})
        h.controller.OnNewFrame(makeFrame(id), 0);
    h.controller.setHeld(true);
    h.controller.OnNewFrame(makeFrame(0x200), 0);
    h.controller.OnNewFrame(makeFrame(0x400), 0);
    QCOMPARE(h.rows.shownNumbers(), (std::vector<std::uint32_t>{0, 1, 2}));
    // The Detailed Frame View still finds the frames the list shows.
    h.controller.OnOpenFrameView(1);
    h.controller.OnShowNextFrame(1);
    QCOMPARE(h.frameViews.shown.back().packetNumber, 2U);

    h.controller.setHeld(false);
    QCOMPARE(h.rows.shownNumbers(), (std::vector<std::uint32_t>{0, 3, 2, 4}));
}

QTEST_GUILESS_MAIN(TestFrameListController)
#include "tst_framelistcontroller.moc"
