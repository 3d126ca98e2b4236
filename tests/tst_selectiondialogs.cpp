#include "capture/FrameStore.h"
#include "capture/WindowMessages.h"
#include "display/FrameListView.h"
#include "select/FilterDialog.h"
#include "select/SortDialog.h"

#include "DisplayList.h"
#include "FrameBuilders.h"
#include "StoreDoubles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

#include <utility>
#include <vector>

namespace {

using Numbers = std::vector<std::uint32_t>;

// The main view over a store, as the main window wires them, with recording
// rows and message boxes.
struct Harness {
    Harness()
    {
        doc.setRowFactory(&rows);
        doc.OnNewDocument();
        view.setMessageReporter(&messages);
        view.setDocument(&doc);
        view.resize(1000, 800);
    }

    void receive(std::uint8_t type, std::uint32_t id)
    {
        view.OnNewFrame(frameOf(type, id, 1, {0x11}), DisplayHint::ShowNow);
    }

    std::vector<std::pair<int, std::uint32_t>> excludedIds() const
    {
        std::vector<std::pair<int, std::uint32_t>> ids;
        for (std::size_t i = 0; i < doc.excludedCount(); ++i)
            ids.emplace_back(doc.excludedEntry(i).type, doc.excludedEntry(i).id);
        return ids;
    }

    RecordingRowFactory rows;
    RecordingMessageReporter messages;
    CVEXODoc doc;
    CVEXOView view;
};

QStringList texts(const QListWidget *list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        result << list->item(row)->text();
    return result;
}

void select(QListWidget *list, const QStringList &entries)
{
    for (const QString &entry : entries) {
        const auto found = list->findItems(entry, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        found.front()->setSelected(true);
    }
}

// count numbers from first, step apart.
Numbers numbersFrom(std::uint32_t first, std::uint32_t step, std::uint32_t count)
{
    Numbers numbers;
    for (std::uint32_t i = 0; i < count; ++i)
        numbers.push_back(first + i * step);
    return numbers;
}

Numbers operator+(Numbers a, const Numbers &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class TestSelectionDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filterOpening();
    void filterModeControls();
    void rangeFieldCheck_data();
    void rangeFieldCheck();
    void excludeTwoIdentifiers();
    void cancelAfterMovingChangesNothing();
    void staleExclusionLeavesOnOk();
    void rangeFilter();
    void sortKeepsThePage_data();
    void sortKeepsThePage();
};

void TestSelectionDialogs::filterOpening()
{
    Harness h;
    h.receive(0x04, 0x300);
    h.receive(0x07, 0x1ABCDEFF);
    h.receive(0x15, 0x100);
    h.receive(0x04, 0x200);
    h.doc.AddExcludedId(4, 0x200);

    CFilterDlg dialog(h.doc, h.view, &h.messages);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Filtering setup"));
    QVERIFY(dialog.isModal());
    QVERIFY(dialog.selectionButton()->isChecked());
    QCOMPARE(texts(dialog.includedList()),
             (QStringList{"EXT REMOTE: 0x1ABCDEFF", "STD DATA: 0x300", "STD REMOTE: 0x100"}));
    QCOMPARE(texts(dialog.excludedList()), QStringList{"STD DATA: 0x200"});
    QCOMPARE(dialog.includedList()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(dialog.excludedList()->selectionMode(), QAbstractItemView::MultiSelection);

    QVERIFY(dialog.standardBox()->isChecked());
    QVERIFY(dialog.extendedBox()->isChecked());
    const std::vector<std::pair<QLineEdit *, QString>> fields = {
        {dialog.standardFrom(), "000"},
        {dialog.standardTo(), "7FF"},
        {dialog.extendedFrom(), "00000000"},
        {dialog.extendedTo(), "1FFFFFFF"},
    };
    for (const auto &[field, text] : fields) {
        QCOMPARE(field->text(), text);
        QCOMPARE(field->maxLength(), text.size());
        QVERIFY(!field->isEnabled());
    }
    QVERIFY(h.messages.messages.empty());
}

void TestSelectionDialogs::filterModeControls()
{
    Harness h;
    h.receive(0x04, 0x100);
    CFilterDlg dialog(h.doc, h.view, &h.messages);
    const std::vector<QWidget *> selectionControls = {dialog.includedList(), dialog.excludedList(),
                                                      dialog.excludeButton(),
                                                      dialog.includeButton()};
    // Lists and arrows ('S' enabled), then Standard box, its fields, Extended
    // box, its fields ('+' enabled).
    const auto state = [&] {
        QString s;
        for (QWidget *w : selectionControls)
            s += w->isEnabled() ? u'S' : u'-';
        for (QWidget *w : std::initializer_list<QWidget *>{
                 dialog.standardBox(), dialog.standardFrom(), dialog.standardTo(),
                 dialog.extendedBox(), dialog.extendedFrom(), dialog.extendedTo()})
            s += w->isEnabled() ? u'+' : u'-';
        return s;
    };

    QCOMPARE(state(), QStringLiteral("SSSS------"));
    dialog.rangeButton()->click();
    QCOMPARE(state(), QStringLiteral("----++++++"));
    dialog.standardBox()->click();
    QVERIFY(!dialog.standardBox()->isChecked());
    QCOMPARE(state(), QStringLiteral("----+--+++"));
    dialog.extendedBox()->click();
    dialog.extendedBox()->click();
    QCOMPARE(state(), QStringLiteral("----+--+++"));
    dialog.selectionButton()->click();
    QCOMPARE(state(), QStringLiteral("SSSS------"));
    // Back in Range mode every field is enabled, whatever its box.
    dialog.rangeButton()->click();
    QCOMPARE(state(), QStringLiteral("----++++++"));
}

void TestSelectionDialogs::rangeFieldCheck_data()
{
    QTest::addColumn<int>("field"); // standard From, To, extended From, To
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("messages");

    QTest::newRow("letters turn upper case") << 0 << "1af"
                                             << "1AF" << 0;
    QTest::newRow("a bad character is cut with a message") << 3 << "12g4"
                                                           << "124" << 1;
    QTest::newRow("each bad character brings its message") << 2 << "x1-2"
                                                           << "12" << 2;
    QTest::newRow("standard fields hold three characters") << 1 << "12345"
                                                           << "123" << 0;
    QTest::newRow("extended fields hold eight") << 2 << "123456789"
                                                << "12345678" << 0;
}

void TestSelectionDialogs::rangeFieldCheck()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, messages);

    Harness h;
    CFilterDlg dialog(h.doc, h.view, &h.messages);
    dialog.show();
    dialog.rangeButton()->click();
    QLineEdit *fields[] = {dialog.standardFrom(), dialog.standardTo(), dialog.extendedFrom(),
                           dialog.extendedTo()};
    fields[field]->clear();
    QTest::keyClicks(fields[field], typed);

    QCOMPARE(fields[field]->text(), text);
    QCOMPARE(int(h.messages.messages.size()), messages);
    for (const auto &message : h.messages.messages) {
        QCOMPARE(message.icon, MessageIcon::Error);
        QCOMPARE(message.text, std::string("Input Hex values only"));
        QCOMPARE(message.caption, std::string("Vexo View"));
    }
}

void TestSelectionDialogs::excludeTwoIdentifiers()
{
    Harness h;
    for (std::uint32_t n = 0; n < 90; ++n)
        h.receive(n % 3 == 2 ? 0x14 : 0x04, 0x100 + 0x100 * (n % 3));
    h.view.GoToPage(2);

    CFilterDlg dialog(h.doc, h.view, &h.messages);
    select(dialog.includedList(), {"STD DATA: 0x300", "STD DATA: 0x100"});
    dialog.excludeButton()->click();
    QCOMPARE(texts(dialog.includedList()), QStringList{"STD DATA: 0x200"});
    QCOMPARE(texts(dialog.excludedList()), (QStringList{"STD DATA: 0x100", "STD DATA: 0x300"}));
    dialog.okButton()->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(h.excludedIds(), (std::vector<std::pair<int, std::uint32_t>>{{4, 0x100}, {4, 0x300}}));
    QCOMPARE(displayNumbers(h.doc), numbersFrom(1, 3, 30));
    // The first page of what is left.
    QCOMPARE(h.rows.shownNumbers(), numbersFrom(1, 3, 25));
    QCOMPARE(h.doc.pageStart(), 0);
    QCOMPARE(h.doc.pageEnd(), 25);
    QVERIFY(!h.view.previousFramesButton()->isEnabled());
    QVERIFY(h.view.nextFramesButton()->isEnabled());
    QCOMPARE(h.view.scrollExtent(), QSize(900, 1300));
    QCOMPARE(h.view.verticalScrollBar()->value(), 0);
}

void TestSelectionDialogs::cancelAfterMovingChangesNothing()
{
    Harness h;
    for (std::uint32_t n = 0; n < 12; ++n)
        h.receive(0x04, 0x100 + n % 4);
    h.doc.AddExcludedId(4, 0x102);
    h.doc.ApplySelectionFilter();
    const Numbers shown = displayNumbers(h.doc);
    const auto excluded = h.excludedIds();

    CFilterDlg dialog(h.doc, h.view, &h.messages);
    select(dialog.includedList(), {"STD DATA: 0x100", "STD DATA: 0x101"});
    dialog.excludeButton()->click();
    select(dialog.excludedList(), {"STD DATA: 0x102"});
    dialog.includeButton()->click();
    QCOMPARE(texts(dialog.excludedList()), (QStringList{"STD DATA: 0x100", "STD DATA: 0x101"}));
    dialog.cancelButton()->click();

    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(h.excludedIds(), excluded);
    QCOMPARE(displayNumbers(h.doc), shown);
}

void TestSelectionDialogs::staleExclusionLeavesOnOk()
{
    Harness h;
    h.receive(0x04, 0x100);
    h.receive(0x04, 0x200);
    {
        CFilterDlg dialog(h.doc, h.view, &h.messages);
        select(dialog.includedList(), {"STD DATA: 0x200"});
        dialog.excludeButton()->click();
        dialog.okButton()->click();
    }
    QCOMPARE(h.doc.excludedCount(), std::size_t{1});

    // The exclusion survives a clear, but its identifier is gone.
    h.doc.Clear();
    h.receive(0x04, 0x100);
    QCOMPARE(h.doc.excludedCount(), std::size_t{1});
    CFilterDlg dialog(h.doc, h.view, &h.messages);
    QCOMPARE(texts(dialog.includedList()), QStringList{"STD DATA: 0x100"});
    QVERIFY(texts(dialog.excludedList()).isEmpty());
    dialog.okButton()->click();
    QCOMPARE(h.doc.excludedCount(), std::size_t{0});
    QCOMPARE(displayNumbers(h.doc), Numbers{0});
}

void TestSelectionDialogs::rangeFilter()
{
    Harness h;
    h.receive(0x04, 0x0FF);
    h.receive(0x14, 0x100);
    h.receive(0x05, 0x1FF);
    h.receive(0x04, 0x200);
    h.receive(0x06, 0x150);
    h.doc.AddExcludedId(4, 0x100);
    {
        CFilterDlg dialog(h.doc, h.view, &h.messages);
        dialog.rangeButton()->click();
        dialog.extendedBox()->click();
        dialog.standardFrom()->setText("100");
        dialog.standardTo()->setText("1ff");
        dialog.okButton()->click();
    }
    QCOMPARE(displayNumbers(h.doc), (Numbers{1, 2}));
    QCOMPARE(h.rows.shownNumbers(), (Numbers{1, 2}));
    QCOMPARE(h.excludedIds(), (std::vector<std::pair<int, std::uint32_t>>{{4, 0x100}}));

    // The range is not kept: a new dialog starts from Selection and the defaults.
    CFilterDlg again(h.doc, h.view, &h.messages);
    QVERIFY(again.selectionButton()->isChecked());
    QVERIFY(again.extendedBox()->isChecked());
    QCOMPARE(again.standardFrom()->text(), QStringLiteral("000"));
    QCOMPARE(again.standardTo()->text(), QStringLiteral("7FF"));
    QCOMPARE(texts(again.excludedList()), QStringList{"STD DATA: 0x100"});
}

void TestSelectionDialogs::sortKeepsThePage_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<Numbers>("page");

    // 80 frames of identifiers 0x100 to 0x103 in turn; page 3 shows positions 50 to 74.
    QTest::newRow("No. Ascending") << 0 << 0 << numbersFrom(50, 1, 25);
    QTest::newRow("No. Descending") << 0 << 1 << numbersFrom(29, -1U, 25);
    QTest::newRow("ID Ascending: end of 0x102, start of 0x103")
        << 1 << 0 << numbersFrom(42, 4, 10) + numbersFrom(3, 4, 15);
    QTest::newRow("ID Descending: end of 0x101, start of 0x100")
        << 1 << 1 << numbersFrom(41, 4, 10) + numbersFrom(0, 4, 15);
}

void TestSelectionDialogs::sortKeepsThePage()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(Numbers, page);

    Harness h;
    for (std::uint32_t n = 0; n < 80; ++n)
        h.receive(0x04, 0x100 + n % 4);
    h.view.GoToPage(3);
    QCOMPARE(h.doc.pageStart(), 50);

    CSortDlg dialog(h.doc, h.view);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sorting Setup"));
    QVERIFY(dialog.isModal());
    QCOMPARE(dialog.columnBox()->currentText(), QStringLiteral("No."));
    QCOMPARE(dialog.orderBox()->currentText(), QStringLiteral("Ascending"));
    dialog.columnBox()->setCurrentIndex(column);
    dialog.orderBox()->setCurrentIndex(order);
    dialog.okButton()->click();

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(h.doc.pageStart(), 50);
    QCOMPARE(h.doc.pageEnd(), 75);
    QCOMPARE(h.rows.shownNumbers(), page);
}

QTEST_MAIN(TestSelectionDialogs)
#include "tst_selectiondialogs.moc"
