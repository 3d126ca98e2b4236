#include "capture/FrameStore.h"
#include "select/FilterIdLists.h"
#include "select/SelectionRules.h"

#include "FrameBuilders.h"

#include <QTest>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::string>;

std::string_view view(const QByteArray &text)
{
    return {text.constData(), static_cast<std::size_t>(text.size())};
}

// A store whose identifier list holds frames of these types and identifiers.
void fillStore(CVEXODoc &doc, const std::vector<std::pair<std::uint8_t, std::uint32_t>> &frames)
{
    doc.OnNewDocument();
    for (const auto &[type, id] : frames)
        doc.AddFrame(RowRect{}, nullptr, frameOf(type, id, 0), CVEXODoc::StoreOnly);
}

} // namespace

class TestSelectionRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entryText_data();
    void entryText();
    void rangeText_data();
    void rangeText();
    void listsFromTheStore();
    void moving_data();
    void moving();
};

void TestSelectionRules::entryText_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<std::uint32_t>("id");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("kind");

    QTest::newRow("STD DATA") << 0x04 << 0x123U << QByteArray("STD DATA: 0x123") << 4;
    QTest::newRow("transmitted STD DATA names the same kind")
        << 0x14 << 0x123U << QByteArray("STD DATA: 0x123") << 4;
    QTest::newRow("STD REMOTE, three digits")
        << 0x05 << 0xAU << QByteArray("STD REMOTE: 0x00A") << 5;
    QTest::newRow("EXT DATA, eight digits")
        << 0x16 << 0x12U << QByteArray("EXT DATA: 0x00000012") << 6;
    QTest::newRow("EXT REMOTE") << 0x07 << 0x1ABCDEFFU << QByteArray("EXT REMOTE: 0x1ABCDEFF") << 7;
    QTest::newRow("bit 0x08 is not part of the kind")
        << 0x0E << 0x7FFU << QByteArray("EXT DATA: 0x000007FF") << 6;
}

void TestSelectionRules::entryText()
{
    QFETCH(int, type);
    QFETCH(std::uint32_t, id);
    QFETCH(QByteArray, text);
    QFETCH(int, kind);

    const std::uint8_t code = FilterKindCode(static_cast<std::uint8_t>(type));
    QCOMPARE(int(code), kind);
    QCOMPARE(QByteArray::fromStdString(FilterEntryText(code, id)), text);
    // And back, as OK reads the Excluded list.
    QCOMPARE(FilterEntryToId(view(text)), (FilterEntryId{code, id}));
}

void TestSelectionRules::rangeText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<std::uint32_t>("value");

    QTest::newRow("empty") << QByteArray() << 0U;
    QTest::newRow("standard default To") << QByteArray("7FF") << 0x7FFU;
    QTest::newRow("three digits beyond the standard range") << QByteArray("FFF") << 0xFFFU;
    QTest::newRow("extended default To") << QByteArray("1FFFFFFF") << 0x1FFFFFFFU;
    QTest::newRow("short text padded on the left") << QByteArray("1") << 1U;
    QTest::newRow("lower case") << QByteArray("ab") << 0xABU;
    QTest::newRow("a character that is no digit counts as 0") << QByteArray("1G") << 0x10U;
    QTest::newRow("of nine characters the last eight") << QByteArray("123456789") << 0x23456789U;
}

void TestSelectionRules::rangeText()
{
    QFETCH(QByteArray, text);
    QFETCH(std::uint32_t, value);
    QCOMPARE(RangeTextToValue(view(text)), value);
}

void TestSelectionRules::listsFromTheStore()
{
    CVEXODoc doc;
    fillStore(doc,
              {{0x04, 0x300},
               {0x07, 0x1ABCDEFF},
               {0x05, 0x100},
               {0x14, 0x200},
               {0x06, 0x300},
               {0x04, 0x050}});
    doc.AddExcludedId(4, 0x200); // the transmitted record of 0x200
    doc.AddExcludedId(4, 0x300); // an earlier kind of 0x300: listed beside its latest
    doc.AddExcludedId(5, 0x999); // no frames of it any more: not listed

    // Every kind seen of an identifier is offered, so that all its frames
    // can be hidden, not only those of its latest kind.
    FilterIdLists lists;
    lists.fill(doc);
    QCOMPARE(lists.included(),
             (Texts{"EXT DATA: 0x00000300", "EXT REMOTE: 0x1ABCDEFF", "STD DATA: 0x050",
                    "STD REMOTE: 0x100"}));
    QCOMPARE(lists.excluded(), (Texts{"STD DATA: 0x200", "STD DATA: 0x300"}));

    // Only the listed exclusions come back, so a stale one leaves on OK.
    const auto ids = lists.excludedIds();
    QCOMPARE(ids.size(), std::size_t{2});
    QCOMPARE(int(ids[0].type), 4);
    QCOMPARE(ids[0].id, 0x200U);
    QCOMPARE(ids[1].id, 0x300U);
}

void TestSelectionRules::moving_data()
{
    QTest::addColumn<bool>("toExcluded");
    QTest::addColumn<std::vector<int>>("selected");
    QTest::addColumn<Texts>("included"); // identifiers of STD DATA entries
    QTest::addColumn<Texts>("excluded");

    // Starting from Included {100, 200, 300, 400} and Excluded {150, 350}.
    QTest::newRow(">> two entries to their places")
        << true << std::vector<int>{0, 2} << Texts{"200", "400"}
        << Texts{"100", "150", "300", "350"};
    QTest::newRow(">> a selection given in any order")
        << true << std::vector<int>{3, 1} << Texts{"100", "300"}
        << Texts{"150", "200", "350", "400"};
    QTest::newRow("<< everything back")
        << false << std::vector<int>{0, 1} << Texts{"100", "150", "200", "300", "350", "400"}
        << Texts{};
    QTest::newRow("nothing selected")
        << true << std::vector<int>{} << Texts{"100", "200", "300", "400"} << Texts{"150", "350"};
    QTest::newRow("positions outside the list are ignored")
        << false << std::vector<int>{-1, 1, 2} << Texts{"100", "200", "300", "350", "400"}
        << Texts{"150"};
}

void TestSelectionRules::moving()
{
    QFETCH(bool, toExcluded);
    QFETCH(std::vector<int>, selected);
    QFETCH(Texts, included);
    QFETCH(Texts, excluded);

    CVEXODoc doc;
    fillStore(
        doc,
        {{0x04, 0x300}, {0x04, 0x150}, {0x04, 0x100}, {0x04, 0x400}, {0x04, 0x350}, {0x04, 0x200}});
    doc.AddExcludedId(4, 0x350);
    doc.AddExcludedId(4, 0x150);
    FilterIdLists lists;
    lists.fill(doc);

    if (toExcluded)
        lists.exclude(selected);
    else
        lists.include(selected);

    const auto entries = [](const Texts &ids) {
        Texts texts;
        for (const std::string &id : ids)
            texts.push_back("STD DATA: 0x" + id);
        return texts;
    };
    QCOMPARE(lists.included(), entries(included));
    QCOMPARE(lists.excluded(), entries(excluded));
}

QTEST_GUILESS_MAIN(TestSelectionRules)
#include "tst_selectionrules.moc"
