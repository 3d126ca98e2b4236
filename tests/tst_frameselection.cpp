#include "capture/FrameStore.h"
#include "select/SelectionRules.h"

#include "DisplayList.h"
#include "FrameBuilders.h"
#include "StoreDoubles.h"

#include <QTest>

#include <utility>
#include <vector>

namespace {

using Kinds = std::vector<std::pair<std::uint8_t, std::uint32_t>>; // (type or kind code, id)
using Numbers = std::vector<std::uint32_t>;

// A store wired to recording rows and view, filled with frames of the given
// types and identifiers in the given display mode.
struct Harness {
    explicit Harness(const Kinds &frames = {}, std::uint8_t mode = CVEXODoc::IndexList)
    {
        doc.setRowFactory(&rows);
        doc.setView(&view);
        doc.OnNewDocument();
        doc.SetDisplayMode(mode);
        for (const auto &[type, id] : frames)
            add(type, id);
    }

    void add(std::uint8_t type, std::uint32_t id)
    {
        const auto next = doc.nextRowPosition();
        const RowRect rect{next.x, next.y, next.x + 850, next.y + 40};
        doc.AddFrame(rect, &view, frameOf(type, id, 1, {0x11}), CVEXODoc::AddRow);
    }

    void exclude(const Kinds &excluded)
    {
        for (const auto &[kind, id] : excluded)
            doc.AddExcludedId(kind, id);
    }

    // The page rebuild that follows a filter.
    void showFirstPage()
    {
        doc.DestroyRows();
        doc.setPageWindow(0, CVEXODoc::PageSize);
        doc.BuildRows(&view);
    }

    std::vector<std::uint32_t> displayIds() const
    {
        std::vector<std::uint32_t> ids;
        for (std::size_t i = 0; i < doc.displaySize(); ++i)
            ids.push_back(doc.displayEntry(i).id);
        return ids;
    }

    RecordingRowFactory rows;
    RecordingView view;
    CVEXODoc doc;
};

// Received and transmitted frames of every kind, sharing identifiers across kinds.
const Kinds SelectionFrames = {
    {0x04, 0x123},      // 0 STD DATA
    {0x14, 0x123},      // 1 STD DATA, transmitted
    {0x05, 0x123},      // 2 STD REMOTE
    {0x06, 0x123},      // 3 EXT DATA
    {0x04, 0x200},      // 4 STD DATA
    {0x16, 0x1ABCDEFF}, // 5 EXT DATA, transmitted
    {0x04, 0x123},      // 6 STD DATA
    {0x07, 0x1ABCDEFF}, // 7 EXT REMOTE
};

const Kinds RangeFrames = {
    {0x04, 0x0FF},      // 0 standard
    {0x14, 0x100},      // 1 standard, transmitted
    {0x05, 0x1FF},      // 2 standard remote
    {0x04, 0x200},      // 3 standard
    {0x06, 0x150},      // 4 extended
    {0x17, 0x1FFFFFFF}, // 5 extended remote, transmitted
    {0x06, 0x0},        // 6 extended
    {0x04, 0x100},      // 7 standard
};

const Kinds SortFrames = {
    {0x04, 0x300}, {0x04, 0x100}, {0x04, 0x7FF}, {0x06, 0x800},
    {0x14, 0x100}, {0x04, 0x300}, {0x05, 0x100}, {0x06, 0x1ABCDEFF},
};

} // namespace

class TestFrameSelection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void selection_data();
    void selection();
    void range_data();
    void range();
    void sort_data();
    void sort();
    void sortComparesTheWholeIdentifier();
    void emptyStoreChangesNothing();
    void filterMovesPageWindowToTheEnd();
    void laterFilterDiscardsSort();
    void liveFramesAfterReplacement_data();
    void liveFramesAfterReplacement();
};

void TestFrameSelection::selection_data()
{
    QTest::addColumn<Kinds>("excluded");
    QTest::addColumn<int>("mode");
    QTest::addColumn<Numbers>("shown");

    const int index = CVEXODoc::IndexList;
    const int ids = CVEXODoc::IdList;
    QTest::newRow("nothing excluded, index list") << Kinds{} << index << numberRange(0, 7);
    QTest::newRow("nothing excluded, ID list: identifier records in source order")
        << Kinds{} << ids << Numbers{6, 4, 7};
    QTest::newRow("STD DATA 0x123: received and transmitted data hidden, remote and EXT kept")
        << Kinds{{4, 0x123}} << index << Numbers{2, 3, 4, 5, 7};
    QTest::newRow("EXT DATA hides the transmitted frame of that kind")
        << Kinds{{6, 0x1ABCDEFF}} << index << Numbers{0, 1, 2, 3, 4, 6, 7};
    QTest::newRow("two identifiers")
        << Kinds{{4, 0x123}, {4, 0x200}} << index << Numbers{2, 3, 5, 7};
    QTest::newRow("the same entry twice")
        << Kinds{{4, 0x200}, {4, 0x200}} << index << Numbers{0, 1, 2, 3, 5, 6, 7};
    QTest::newRow("a code with the transmitted bit names no kind")
        << Kinds{{0x14, 0x123}} << index << numberRange(0, 7);
    QTest::newRow("ID list: the identifier record's kind counts")
        << Kinds{{4, 0x123}} << ids << Numbers{4, 7};
    QTest::newRow("ID list: an older kind of a known identifier hides nothing")
        << Kinds{{5, 0x123}} << ids << Numbers{6, 4, 7};
}

void TestFrameSelection::selection()
{
    QFETCH(Kinds, excluded);
    QFETCH(int, mode);
    QFETCH(Numbers, shown);

    Harness h(SelectionFrames, static_cast<std::uint8_t>(mode));
    h.exclude(excluded);
    h.doc.ApplySelectionFilter();

    QCOMPARE(displayNumbers(h.doc), shown);
    QCOMPARE(h.doc.excludedCount(), excluded.size());
    // Each source record carries whether it is shown.
    for (std::size_t i = 0; i < h.doc.identifierCount(); ++i) {
        const CAN_Packet record = h.doc.identifierEntry(i);
        const bool listed = std::find(shown.begin(), shown.end(), record.number) != shown.end();
        QCOMPARE(record.shown, listed ? 1 : 0);
    }
    if (mode == CVEXODoc::IndexList) {
        for (std::uint32_t n = 0; n < h.doc.frameCount(); ++n) {
            const bool listed = std::find(shown.begin(), shown.end(), n) != shown.end();
            QCOMPARE(h.doc.storedEntry(n).shown, listed ? 1 : 0);
        }
    }
}

void TestFrameSelection::range_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("flags");
    QTest::addColumn<std::uint32_t>("standardFrom");
    QTest::addColumn<std::uint32_t>("standardTo");
    QTest::addColumn<std::uint32_t>("extendedFrom");
    QTest::addColumn<std::uint32_t>("extendedTo");
    QTest::addColumn<Numbers>("shown");

    const int index = CVEXODoc::IndexList;
    const std::uint32_t extendedMax = 0x1FFFFFFF;
    QTest::newRow("neither box: everything hidden")
        << index << 0 << 0U << 0x7FFU << 0U << extendedMax << Numbers{};
    QTest::newRow("standard only, 000 to 7FF: every standard frame")
        << index << 1 << 0U << 0x7FFU << 0U << extendedMax << Numbers{0, 1, 2, 3, 7};
    QTest::newRow("standard only, 100 to 1FF: bounds inclusive, any direction")
        << index << 1 << 0x100U << 0x1FFU << 0U << extendedMax << Numbers{1, 2, 7};
    QTest::newRow("extended only, defaults: every extended frame")
        << index << 2 << 0U << 0x7FFU << 0U << extendedMax << Numbers{4, 5, 6};
    QTest::newRow("extended only, one identifier")
        << index << 2 << 0U << 0x7FFU << 0x150U << 0x150U << Numbers{4};
    QTest::newRow("both, standard bounds reversed: no standard frame")
        << index << 3 << 0x200U << 0x100U << 0U << extendedMax << Numbers{4, 5, 6};
    QTest::newRow("both, standard 000 to FFF: everything")
        << index << 3 << 0U << 0xFFFU << 0U << extendedMax << numberRange(0, 7);
    QTest::newRow("both, extended 1 to 1FFFFFFE")
        << index << 3 << 0U << 0x7FFU << 1U << 0x1FFFFFFEU << Numbers{0, 1, 2, 3, 4, 7};
    QTest::newRow("ID list: every matching frame, not one per identifier")
        << int(CVEXODoc::IdList) << 1 << 0x100U << 0x100U << 0U << extendedMax << Numbers{1, 7};
}

void TestFrameSelection::range()
{
    QFETCH(int, mode);
    QFETCH(int, flags);
    QFETCH(std::uint32_t, standardFrom);
    QFETCH(std::uint32_t, standardTo);
    QFETCH(std::uint32_t, extendedFrom);
    QFETCH(std::uint32_t, extendedTo);
    QFETCH(Numbers, shown);

    Harness h(RangeFrames, static_cast<std::uint8_t>(mode));
    h.exclude({{4, 0x100}});
    h.doc.ApplyRangeFilter(static_cast<std::uint8_t>(flags), standardFrom, standardTo, extendedFrom,
                           extendedTo);

    QCOMPARE(displayNumbers(h.doc), shown);
    for (std::uint32_t n = 0; n < h.doc.frameCount(); ++n) {
        const bool listed = std::find(shown.begin(), shown.end(), n) != shown.end();
        QCOMPARE(h.doc.storedEntry(n).shown, listed ? 1 : 0);
    }
    // The selection's excluded identifiers are not the range filter's business.
    QCOMPARE(h.doc.excludedCount(), std::size_t{1});
}

void TestFrameSelection::sort_data()
{
    QTest::addColumn<Kinds>("excluded"); // a selection filter first, when not empty
    QTest::addColumn<std::vector<int>>("keys");
    QTest::addColumn<Numbers>("order");

    QTest::newRow("No. ascending keeps the arrival order")
        << Kinds{} << std::vector<int>{1} << numberRange(0, 7);
    QTest::newRow("No. descending reverses it")
        << Kinds{} << std::vector<int>{2} << Numbers{7, 6, 5, 4, 3, 2, 1, 0};
    QTest::newRow("ID ascending groups identifiers, arrival order within a group")
        << Kinds{} << std::vector<int>{3} << Numbers{1, 4, 6, 0, 5, 2, 3, 7};
    QTest::newRow("ID descending, arrival order within a group")
        << Kinds{} << std::vector<int>{4} << Numbers{7, 3, 2, 0, 5, 1, 4, 6};
    QTest::newRow("equal identifiers keep the order the list had")
        << Kinds{} << std::vector<int>{2, 3} << Numbers{6, 4, 1, 5, 0, 2, 3, 7};
    QTest::newRow("unknown keys leave the order as it is")
        << Kinds{} << std::vector<int>{4, 0, 5, -1} << Numbers{7, 3, 2, 0, 5, 1, 4, 6};
    QTest::newRow("after a filter only the frames it left")
        << Kinds{{4, 0x100}} << std::vector<int>{3} << Numbers{6, 0, 5, 2, 3, 7};
}

void TestFrameSelection::sort()
{
    QFETCH(Kinds, excluded);
    QFETCH(std::vector<int>, keys);
    QFETCH(Numbers, order);

    Harness h(SortFrames);
    if (!excluded.empty()) {
        h.exclude(excluded);
        h.doc.ApplySelectionFilter();
    }
    for (const int key : keys)
        h.doc.SortDisplayList(key);
    QCOMPARE(displayNumbers(h.doc), order);
}

void TestFrameSelection::sortComparesTheWholeIdentifier()
{
    // Extended identifiers differing only above their low 24 bits.
    Harness h({{0x06, 0x1A000001}, {0x06, 0x01000000}, {0x06, 0x00FFFFFF}, {0x04, 0x7FF}});
    h.doc.SortDisplayList(SortKey::IdAscending);
    QCOMPARE(displayNumbers(h.doc), (Numbers{3, 2, 1, 0}));
    h.doc.SortDisplayList(SortKey::IdDescending);
    QCOMPARE(displayNumbers(h.doc), (Numbers{0, 1, 2, 3}));
}

void TestFrameSelection::emptyStoreChangesNothing()
{
    Harness h;
    h.exclude({{4, 0x123}});
    h.doc.setPageWindow(0, 25);

    h.doc.ApplySelectionFilter();
    h.doc.ApplyRangeFilter(0, 0, 0, 0, 0);
    h.doc.SortDisplayList(4);

    QCOMPARE(h.doc.displaySize(), std::size_t{0});
    QCOMPARE(h.doc.pageStart(), 0);
    QCOMPARE(h.doc.pageEnd(), 25);
    QCOMPARE(h.doc.excludedCount(), std::size_t{1});
    h.showFirstPage();
    QCOMPARE(h.doc.rowCount(), 0);
    QCOMPARE(h.view.lastNavigation(), Navigation::None);
}

void TestFrameSelection::filterMovesPageWindowToTheEnd()
{
    Harness h;
    for (std::uint32_t n = 0; n < 60; ++n)
        h.add(0x04, n % 3 == 0 ? 0x100 : 0x200);

    h.exclude({{4, 0x100}});
    h.doc.ApplySelectionFilter();
    QCOMPARE(h.doc.displaySize(), std::size_t{40});
    QCOMPARE(h.doc.pageStart(), 15);
    QCOMPARE(h.doc.pageEnd(), 40);

    h.doc.ApplyRangeFilter(RangeFlag::Standard, 0x100, 0x100, 0, 0);
    QCOMPARE(h.doc.displaySize(), std::size_t{20});
    QCOMPARE(h.doc.pageStart(), 0);
    QCOMPARE(h.doc.pageEnd(), 20);
}

void TestFrameSelection::laterFilterDiscardsSort()
{
    Harness h(SortFrames);
    h.doc.SortDisplayList(SortKey::IdDescending);
    h.doc.ApplySelectionFilter();
    QCOMPARE(displayNumbers(h.doc), numberRange(0, 7));
}

void TestFrameSelection::liveFramesAfterReplacement_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<std::uint32_t>("newId");
    QTest::addColumn<int>("updatedRow"); // -1: no row changes
    QTest::addColumn<std::vector<std::uint32_t>>("ids");

    using Ids = std::vector<std::uint32_t>;
    QTest::newRow("after a filter, the row below the hidden one")
        << "filter" << 0x300U << 1 << Ids{0x100, 0x300, 0x400};
    QTest::newRow("after a filter, a hidden identifier stays hidden")
        << "filter" << 0x200U << -1 << Ids{0x100, 0x300, 0x400};
    QTest::newRow("after a sort, the row that now shows the identifier")
        << "sort" << 0x100U << 3 << Ids{0x400, 0x300, 0x200, 0x100};
    QTest::newRow("after a sort, the first row")
        << "sort" << 0x400U << 0 << Ids{0x400, 0x300, 0x200, 0x100};
}

// In ID-list mode a live frame of a known identifier refreshes the row that
// shows that identifier, wherever the filter or the sort put it.
void TestFrameSelection::liveFramesAfterReplacement()
{
    QFETCH(QString, change);
    QFETCH(std::uint32_t, newId);
    QFETCH(int, updatedRow);
    QFETCH(std::vector<std::uint32_t>, ids);

    Harness h({{0x04, 0x100}, {0x04, 0x200}, {0x04, 0x300}, {0x04, 0x400}}, CVEXODoc::IdList);
    if (change == "filter") {
        h.exclude({{4, 0x200}});
        h.doc.ApplySelectionFilter();
        h.showFirstPage();
    } else {
        h.doc.SortDisplayList(SortKey::IdDescending);
        h.doc.DestroyRows();
        h.doc.BuildRows(&h.view);
    }
    const auto rowsBefore = h.rows.liveRows();

    h.add(0x04, newId);

    QCOMPARE(h.displayIds(), ids);
    const auto rowsAfter = h.rows.liveRows();
    QCOMPARE(rowsAfter.size(), rowsBefore.size());
    for (int row = 0; row < static_cast<int>(rowsAfter.size()); ++row) {
        const bool updated = row == updatedRow;
        QCOMPARE(rowsAfter[row]->updateCount, updated ? 1 : 0);
        if (updated) {
            QCOMPARE(rowsAfter[row]->frame.id, newId);
            QCOMPARE(rowsAfter[row]->frame.number, 4U);
        }
    }
}

QTEST_GUILESS_MAIN(TestFrameSelection)
#include "tst_frameselection.moc"
