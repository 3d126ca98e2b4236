#include "capture/FrameStore.h"

#include "DisplayList.h"
#include "StoreDoubles.h"

#include "FrameBuilders.h"

#include <QTest>

#include <vector>

namespace {

constexpr std::uint8_t Rx = 0x04;
constexpr std::uint8_t Tx = 0x14;

CAN_Frame makeFrame(std::uint32_t id, std::uint8_t type = Rx, std::uint8_t dlc = 2)
{
    return stampedAt(frameOf(type, id, dlc, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}), 75,
                     123456);
}

// A store wired to recording stand-ins, as the main window wires the real one.
struct Harness {
    Harness()
    {
        doc.setRowFactory(&rows);
        doc.setMainFrame(&mainFrame);
        doc.setView(&view);
        doc.SetControlBar(&bar);
        doc.OnNewDocument();
    }

    RowRect nextRect() const
    {
        const auto next = doc.nextRowPosition();
        return {next.x - view.scrollX, next.y, next.x - view.scrollX + 850, next.y + 40};
    }

    void add(const CAN_Frame &frame, int mode) { doc.AddFrame(nextRect(), &view, frame, mode); }

    // Adds frames as the view does for frames that are shown at once: a new row
    // while the page has room, else the page scrolls.
    void addShown(const CAN_Frame &frame)
    {
        const int mode =
            doc.displayMode() == CVEXODoc::IdList || doc.rowCount() < CVEXODoc::PageSize
            ? CVEXODoc::AddRow
            : CVEXODoc::ScrollPage;
        add(frame, mode);
    }

    void addShown(int count, std::uint32_t id = 0x100)
    {
        for (int i = 0; i < count; ++i)
            addShown(makeFrame(id));
    }

    // Switches the display mode the way the control bar does.
    void switchMode(std::uint8_t mode)
    {
        doc.DestroyRows();
        doc.SetDisplayMode(mode);
        doc.RebuildDisplayList();
        doc.BuildRows(&view);
    }

    RecordingRowFactory rows;
    RecordingMainFrame mainFrame;
    RecordingView view;
    RecordingControlBar bar;
    CVEXODoc doc;
};

} // namespace

class TestFrameStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void activityFlagsAndCounters_data();
    void activityFlagsAndCounters();
    void barHandedOverLateShowsTheCapture();
    void storedRecordTexts();
    void indexListPaging_data();
    void indexListPaging();
    void identifierListInIndexMode();
    void idListRowsAndThrottle();
    void idListBurstEnd_data();
    void idListBurstEnd();
    void idListNeverTouchesMissingRows();
    void pageCount_data();
    void pageCount();
    void buildRowsNavigation_data();
    void buildRowsNavigation();
    void stepping_data();
    void stepping();
    void neighbours_data();
    void neighbours();
    void findByNumber();
    void clearKeepsWhatTheBarResets();
    void errorStatus();
};

void TestFrameStore::activityFlagsAndCounters_data()
{
    QTest::addColumn<QString>("directions"); // R received, T transmitted
    QTest::addColumn<QString>("flags");      // the flag raised per frame, '-' for none

    QTest::newRow("five received") << "RRRRR"
                                   << "-rrr-";
    QTest::newRow("four transmitted") << "TTTT"
                                      << "-t-t";
    QTest::newRow("mixed counts each direction apart") << "RTRTRTRT"
                                                       << "--rtr-rt";
}

void TestFrameStore::activityFlagsAndCounters()
{
    QFETCH(QString, directions);
    QFETCH(QString, flags);

    Harness h;
    QString raised;
    for (const QChar direction : directions) {
        const std::size_t before = h.mainFrame.flagCalls.size();
        h.addShown(makeFrame(0x100, direction == u'T' ? Tx : Rx));
        if (h.mainFrame.flagCalls.size() == before) {
            raised += u'-';
        } else {
            QCOMPARE(h.mainFrame.flagCalls.size(), before + 1);
            const auto [mask, on] = h.mainFrame.flagCalls.back();
            QVERIFY(on);
            raised += mask == LinkStatus::ReceiveActivity ? u'r' : u't';
        }
    }
    QCOMPARE(raised, flags);

    const auto tx = static_cast<int>(directions.count(u'T'));
    const auto rx = static_cast<int>(directions.count(u'R'));
    QCOMPARE(h.bar.txText, std::to_string(tx));
    QCOMPARE(h.bar.rxText, std::to_string(rx));
    QCOMPARE(displayNumbers(h.doc),
             numberRange(0, static_cast<std::uint32_t>(directions.size() - 1)));
}

void TestFrameStore::barHandedOverLateShowsTheCapture()
{
    Harness h;
    h.doc.SetControlBar(nullptr);
    h.addShown(26);
    h.addShown(makeFrame(0x100, Tx));

    RecordingControlBar late;
    h.doc.SetControlBar(&late);
    QCOMPARE(late.txText, std::string("1"));
    QCOMPARE(late.rxText, std::string("26"));
    QCOMPARE(late.pageCountText, std::string("/2"));
}

void TestFrameStore::storedRecordTexts()
{
    Harness h;
    h.addShown(makeFrame(0x100, 0x05, 4));  // remote frame: no data
    h.addShown(makeFrame(0x101, Rx, 9));    // DLC above 8: eight bytes at most
    h.addShown(makeFrame(0x102, Rx, 0x90)); // negative DLC: no bytes

    const CAN_Packet remote = h.doc.displayEntry(0);
    QCOMPARE(remote.dlc, 4);
    QVERIFY(remote.dataText.empty());
    QCOMPARE(remote.data[0], 0);
    QCOMPARE(remote.timeText, std::string("01:15  123.456"));

    const CAN_Packet longFrame = h.doc.displayEntry(1);
    QCOMPARE(longFrame.dlc, 9);
    QCOMPARE(longFrame.dataText, std::string("A0 A1 A2 A3 A4 A5 A6 A7"));

    const CAN_Packet negative = h.doc.displayEntry(2);
    QVERIFY(negative.dataText.empty());
    QCOMPARE(negative.data[0], 0);

    // The row is placed with the stored texts.
    QCOMPARE(h.rows.liveRows().at(0)->frame.dataText, std::string());
    QCOMPARE(h.rows.liveRows().at(1)->frame.dlc, 9);
}

void TestFrameStore::indexListPaging_data()
{
    // Update mode of each frame after the first 24; -1 brings the rows up to date.
    QTest::addColumn<std::vector<int>>("modes");
    QTest::addColumn<std::vector<std::uint32_t>>("shown");
    QTest::addColumn<int>("pageStart");
    QTest::addColumn<int>("pageEnd");

    QTest::newRow("25th fills the page") << std::vector<int>{0} << numberRange(0, 24) << 0 << 25;
    QTest::newRow("26th scrolls the page")
        << std::vector<int>{0, 1} << numberRange(1, 25) << 1 << 26;
    QTest::newRow("stored quietly: rows stay, window moves")
        << std::vector<int>{0, 2, 2} << numberRange(0, 24) << 2 << 27;
    QTest::newRow("quiet burst ends with a shown frame")
        << std::vector<int>{0, 2, 2, 2, 1} << numberRange(4, 28) << 4 << 29;
    QTest::newRow("quiet burst brought up to date")
        << std::vector<int>{0, 2, 2, -1} << numberRange(2, 26) << 2 << 27;
}

void TestFrameStore::indexListPaging()
{
    QFETCH(std::vector<int>, modes);
    QFETCH(std::vector<std::uint32_t>, shown);
    QFETCH(int, pageStart);
    QFETCH(int, pageEnd);

    Harness h;
    h.addShown(24);
    QCOMPARE(h.rows.liveRows().back()->rect, (RowRect{10, 1180, 860, 1220}));
    std::uint32_t added = 24;
    for (const int mode : modes) {
        if (mode < 0) {
            h.doc.BringRowsUpToDate(10);
        } else {
            h.add(makeFrame(0x100), mode);
            ++added;
        }
    }

    QCOMPARE(h.rows.shownNumbers(), shown);
    QCOMPARE(h.doc.rowCount(), 25);
    QCOMPARE(h.doc.pageStart(), pageStart);
    QCOMPARE(h.doc.pageEnd(), pageEnd);
    QCOMPARE(h.doc.frameCount(), added);
    QCOMPARE(h.doc.displaySize(), std::size_t{added});
    QCOMPARE(h.doc.nextRowPosition().y, 30 + 25 * 50);
}

void TestFrameStore::identifierListInIndexMode()
{
    Harness h;
    h.addShown(makeFrame(0x100));
    h.addShown(makeFrame(0x200));
    h.addShown(makeFrame(0x100));

    QCOMPARE(h.doc.identifierCount(), std::size_t{2});
    QCOMPARE(h.doc.identifierEntry(0).number, 2U);
    QCOMPARE(h.doc.identifierEntry(1).id, 0x200U);
    QCOMPARE(h.doc.FindIdentifier(0x200), 1);
    QCOMPARE(h.doc.FindIdentifier(0x300), -1);
    // A transmitted frame shares the entry of a received one with the same identifier.
    h.addShown(makeFrame(0x200, Tx));
    QCOMPARE(h.doc.identifierCount(), std::size_t{2});
    QCOMPARE(h.doc.identifierEntry(1).type, Tx);
}

void TestFrameStore::idListRowsAndThrottle()
{
    Harness h;
    h.doc.SetDisplayMode(CVEXODoc::IdList);

    // Every new identifier adds a row below the last, beyond a page's 25.
    for (std::uint32_t id = 0; id < 30; ++id)
        h.add(makeFrame(0x100 + id), CVEXODoc::StoreOnly);
    QCOMPARE(h.doc.rowCount(), 30);
    QCOMPARE(h.doc.displaySize(), std::size_t{30});
    QCOMPARE(h.doc.pageStart(), 5);
    QCOMPARE(h.doc.pageEnd(), 30);

    // Frame 30 for identifier 0x101: shown at once in update modes 0 and 1.
    h.add(makeFrame(0x101), CVEXODoc::AddRow);
    QCOMPARE(h.rows.liveRows().at(1)->frame.number, 30U);
    QCOMPARE(h.doc.displayEntry(1).number, 30U);
    QCOMPARE(h.doc.rowCount(), 30);

    // In update mode 2 the row follows only when more than 50 frames passed.
    for (std::uint32_t n = 31; n <= 80; ++n)
        h.add(makeFrame(0x101), CVEXODoc::StoreOnly);
    QCOMPARE(h.rows.liveRows().at(1)->frame.number, 30U);
    QCOMPARE(h.doc.displayEntry(1).number, 30U);
    QCOMPARE(h.doc.identifierEntry(1).number, 80U);
    h.add(makeFrame(0x101), CVEXODoc::StoreOnly); // frame 81: 51 past the shown one
    QCOMPARE(h.rows.liveRows().at(1)->frame.number, 81U);
    QCOMPARE(h.doc.displayEntry(1).number, 81U);
    QCOMPARE(h.rows.liveRows().at(1)->updateCount, 2);
    QCOMPARE(h.rows.liveRows().at(1)->lastXOrigin, 10);
}

void TestFrameStore::idListBurstEnd_data()
{
    // The frame after a polled identifier's request (frame 3, shown) and its
    // answer (frame 4, held back by the throttle); mode -1 brings the rows up
    // to date instead.
    QTest::addColumn<std::uint32_t>("id");
    QTest::addColumn<int>("mode");
    QTest::addColumn<std::uint32_t>("shown");
    QTest::addColumn<int>("rows");

    QTest::newRow("another identifier shown") << 0x100U << 0 << 4U << 3;
    QTest::newRow("a new identifier shown") << 0x300U << 0 << 4U << 4;
    QTest::newRow("brought up to date") << 0U << -1 << 4U << 3;
    QTest::newRow("a quiet frame keeps the request") << 0x100U << 2 << 3U << 3;
    QTest::newRow("held: no new row, the request stays") << 0x300U << 3 << 3U << 3;
}

void TestFrameStore::idListBurstEnd()
{
    QFETCH(std::uint32_t, id);
    QFETCH(int, mode);
    QFETCH(std::uint32_t, shown);
    QFETCH(int, rows);

    Harness h;
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    for (const std::uint32_t known : {0x0E0U, 0x100U, 0x200U})
        h.add(makeFrame(known), CVEXODoc::AddRow);
    h.add(makeFrame(0x0E0, Rx | 0x01), CVEXODoc::AddRow);
    h.add(makeFrame(0x0E0), CVEXODoc::StoreOnly);
    if (mode < 0)
        h.doc.BringRowsUpToDate(10);
    else
        h.add(makeFrame(id), mode);

    QCOMPARE(h.rows.liveRows().front()->frame.number, shown);
    QCOMPARE(h.doc.displayEntry(0).number, shown);
    QCOMPARE(h.doc.rowCount(), rows);
}

void TestFrameStore::idListNeverTouchesMissingRows()
{
    Harness h;
    for (std::uint32_t id = 0; id < 30; ++id)
        h.addShown(makeFrame(0x100 + id));
    h.switchMode(CVEXODoc::IdList);

    // The rebuilt page shows identifiers 5 to 29 in rows 0 to 24.
    QCOMPARE(h.doc.rowCount(), 25);
    QCOMPARE(h.rows.liveRows().front()->frame.id, 0x105U);

    h.add(makeFrame(0x11B), CVEXODoc::AddRow); // identifier 27: there is no row 27
    const auto live = h.rows.liveRows();
    QCOMPARE(live.at(22)->frame.id, 0x11BU);
    QCOMPARE(live.at(22)->frame.number, 30U);
    QCOMPARE(h.rows.totalUpdates(), 1);

    h.add(makeFrame(0x102), CVEXODoc::AddRow); // identifier 2 is not on the page
    QCOMPARE(h.rows.totalUpdates(), 1);
    QCOMPARE(h.doc.displayEntry(2).number, 31U);
}

void TestFrameStore::pageCount_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << 0 << "/1";
    QTest::newRow("one") << 1 << "/1";
    QTest::newRow("a full page") << 25 << "/1";
    QTest::newRow("one more") << 26 << "/2";
    QTest::newRow("two full pages") << 50 << "/2";
    QTest::newRow("51") << 51 << "/3";
}

void TestFrameStore::pageCount()
{
    QFETCH(int, entries);
    QFETCH(QString, text);

    Harness h;
    for (int i = 0; i < entries; ++i)
        h.add(makeFrame(0x100), CVEXODoc::StoreOnly);
    h.doc.UpdatePageCount();
    QCOMPARE(QString::fromStdString(h.bar.pageCountText), text);
    // Following the frames, the page box shows the last page.
    QCOMPARE("/" + QString::fromStdString(h.bar.pageFieldText), text);
}

void TestFrameStore::buildRowsNavigation_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("pageStart"); // -1: leave the window where the last add put it
    QTest::addColumn<int>("navigation");
    QTest::addColumn<int>("rows");

    QTest::newRow("empty") << 0 << -1 << Navigation::None << 0;
    QTest::newRow("one page") << 25 << -1 << Navigation::None << 25;
    QTest::newRow("last page") << 26 << -1 << Navigation::Last << 25;
    QTest::newRow("first page") << 60 << 0 << Navigation::First << 25;
    QTest::newRow("a page in between keeps its state") << 60 << 25 << -1 << 25;
}

void TestFrameStore::buildRowsNavigation()
{
    QFETCH(int, entries);
    QFETCH(int, pageStart);
    QFETCH(int, navigation);
    QFETCH(int, rows);

    Harness h;
    for (int i = 0; i < entries; ++i)
        h.add(makeFrame(0x100), CVEXODoc::StoreOnly);
    if (pageStart >= 0) {
        // Move the window with the paging operations the view uses.
        while (h.doc.pageStart() > 0)
            h.doc.PreviousPage(&h.view);
        while (h.doc.pageStart() < pageStart)
            h.doc.NextPage(&h.view);
    }
    h.view.navigation.clear();
    h.view.scrollX = 7;
    h.doc.RefreshPage(&h.view);

    QCOMPARE(h.view.lastNavigation(), navigation);
    QCOMPARE(h.doc.rowCount(), rows);
    if (rows > 0) {
        QCOMPARE(h.rows.liveRows().front()->rect, (RowRect{3, 30, 803, 70}));
        QCOMPARE(h.rows.liveRows().front()->frame.number,
                 static_cast<std::uint32_t>(h.doc.pageStart()));
    }
}

void TestFrameStore::stepping_data()
{
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("steps"); // N next, P previous
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("pageStart");
    QTest::addColumn<int>("pageEnd");
    QTest::addColumn<QString>("field"); // the page box: the page holding the window's end

    QTest::newRow("back from the end") << 60 << "P"
                                       << "y" << 10 << 35 << "2";
    QTest::newRow("back to the start") << 60 << "PP"
                                       << "yn" << 0 << 25 << "1";
    QTest::newRow("forward to a full last page") << 60 << "PPNN"
                                                 << "ynyn" << 35 << 60 << "3";
    QTest::newRow("next with few entries stays at 0") << 10 << "N"
                                                      << "n" << 0 << 10 << "1";
    QTest::newRow("previous with few entries") << 10 << "P"
                                               << "n" << 0 << 25 << "1";
}

void TestFrameStore::stepping()
{
    QFETCH(int, entries);
    QFETCH(QString, steps);
    QFETCH(QString, answers);
    QFETCH(int, pageStart);
    QFETCH(int, pageEnd);

    Harness h;
    for (int i = 0; i < entries; ++i)
        h.add(makeFrame(0x100), CVEXODoc::StoreOnly);

    QString got;
    for (const QChar step : steps) {
        const bool more = step == u'N' ? h.doc.NextPage(&h.view) : h.doc.PreviousPage(&h.view);
        got += more ? u'y' : u'n';
        QVERIFY(h.doc.pageStart() >= 0);
    }
    QCOMPARE(got, answers);
    QCOMPARE(h.doc.pageStart(), pageStart);
    QCOMPARE(h.doc.pageEnd(), pageEnd);
    QCOMPARE(h.doc.rowCount(), std::min(pageEnd, entries) - pageStart);
    QFETCH(QString, field);
    QCOMPARE(QString::fromStdString(h.bar.pageFieldText), field);
}

void TestFrameStore::neighbours_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("expected"); // -1: an empty record
    QTest::addColumn<int>("edge");

    QTest::newRow("next in the middle") << 2 << 1 << 3 << 0;
    QTest::newRow("next reaching the last") << 3 << 1 << 4 << 2;
    QTest::newRow("next on the last") << 4 << 1 << 4 << 2;
    QTest::newRow("previous in the middle") << 3 << 2 << 2 << 0;
    QTest::newRow("previous reaching the first") << 1 << 2 << 0 << 1;
    QTest::newRow("previous on the first") << 0 << 2 << 0 << 1;
    QTest::newRow("number not displayed") << 9 << 1 << -1 << 0;
}

void TestFrameStore::neighbours()
{
    QFETCH(int, number);
    QFETCH(int, direction);
    QFETCH(int, expected);
    QFETCH(int, edge);

    Harness h;
    for (std::uint32_t id = 1; id <= 5; ++id)
        h.addShown(makeFrame(id));

    int gotEdge = -1;
    const CAN_Packet found =
        h.doc.FindNeighbour(static_cast<std::uint32_t>(number), direction, gotEdge);
    QCOMPARE(gotEdge, edge);
    if (expected < 0) {
        QCOMPARE(found.id, 0U);
        QVERIFY(found.timeText.empty());
    } else {
        QCOMPARE(found.number, static_cast<std::uint32_t>(expected));
        QCOMPARE(found.id, static_cast<std::uint32_t>(expected + 1));
    }
}

void TestFrameStore::findByNumber()
{
    Harness h;
    h.addShown(makeFrame(0x100));
    h.addShown(makeFrame(0x200));
    QCOMPARE(h.doc.FindByNumber(1).id, 0x200U);
    QCOMPARE(h.doc.FindByNumber(5).id, 0U);
    QVERIFY(h.doc.FindByNumber(5).dataText.empty());
}

void TestFrameStore::clearKeepsWhatTheBarResets()
{
    Harness h;
    h.doc.SetDisplayMode(CVEXODoc::IdList);
    for (int i = 0; i < 30; ++i)
        h.add(makeFrame(0x100 + static_cast<std::uint32_t>(i), i % 2 ? Tx : Rx), CVEXODoc::AddRow);
    const auto created = h.rows.created.size();

    h.doc.Clear();
    QVERIFY(h.rows.liveRows().empty());
    QCOMPARE(h.rows.created.size(), created);
    QCOMPARE(h.doc.frameCount(), 0U);
    QCOMPARE(h.doc.displaySize(), std::size_t{0});
    QCOMPARE(h.doc.identifierCount(), std::size_t{0});
    QCOMPARE(h.doc.pageStart(), 0);
    QCOMPARE(h.doc.pageEnd(), 0);
    QCOMPARE(h.doc.nextRowPosition().y, 30);
    // Left for the control bar to reset.
    QCOMPARE(h.doc.rxCount(), 15U);
    QCOMPARE(h.doc.txCount(), 15U);
    QCOMPARE(h.doc.pageCount(), 2);
    QCOMPARE(h.doc.displayMode(), CVEXODoc::IdList);

    // Numbers restart at 0, and the first identifier is new again.
    h.add(makeFrame(0x105), CVEXODoc::AddRow);
    QCOMPARE(h.doc.displayEntry(0).number, 0U);
    QCOMPARE(h.doc.FindIdentifier(0x105), 0);
    QCOMPARE(h.doc.rowCount(), 1);
}

void TestFrameStore::errorStatus()
{
    Harness h;
    CAN_ErrorStatus status;
    status.rec = 3;
    status.crcErrors = 2;
    h.doc.SetErrorStatus(status);
    QCOMPARE(h.doc.errorStatus(), status);
    QCOMPARE(h.mainFrame.linkStatus, LinkStatus::BusError);
    QCOMPARE(h.mainFrame.dialogUpdates, 1);

    h.doc.SetErrorStatus(CAN_ErrorStatus{});
    QCOMPARE(h.mainFrame.linkStatus, 0);
    QCOMPARE(h.mainFrame.dialogUpdates, 2);
}

QTEST_GUILESS_MAIN(TestFrameStore)
#include "tst_framestore.moc"
