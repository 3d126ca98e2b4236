#include "transmit/ExerciserDialog.h"
#include "transmit/ResponsePane.h"

#include "MessageTexts.h"
#include "RecordingDeviceLibrary.h"
#include "StoreDoubles.h"
#include "UserInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <vector>

namespace {

using O = DevOrdinal;
using Bytes = std::vector<int>;

struct Harness {
    Harness()
    {
        dialog = std::make_unique<CExerciserDlg>(library, &messages);
        dialog->show();
    }

    const CExerciserDlg::Row &row(int r) const { return dialog->row(r); }
    FrameRowEditors &frame(int r) const { return *dialog->row(r).frame; }
    CExerciserChildDlg &pane() const { return *dialog->responsePane(); }

    std::vector<RecordingDeviceLibrary::Call> callsOf(O ordinal) const
    {
        std::vector<RecordingDeviceLibrary::Call> found;
        for (const auto &call : library.calls()) {
            if (call.ordinal == ordinal)
                found.push_back(call);
        }
        return found;
    }

    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    std::unique_ptr<CExerciserDlg> dialog;
};

void compareData(const CAN_Frame &frame, const Bytes &data)
{
    for (std::size_t i = 0; i < 8; ++i)
        QCOMPARE(int(frame.data[i]), i < data.size() ? data[i] : 0);
}

// Enabled data fields of a row, from field 0 up to the first disabled one.
int enabledDataFields(const FrameRowEditors &frame)
{
    int enabled = 0;
    for (int i = 0; i < DataFieldCount; ++i)
        enabled += frame.data(i)->isEnabled() ? 1 : 0;
    return enabled;
}

bool frameLocked(const Harness &h, int r)
{
    const FrameRowEditors &f = h.frame(r);
    return !f.kind()->isEnabled() && !f.identifier()->isEnabled() && !f.dlc()->isEnabled()
        && !h.row(r).reset->isEnabled() && !h.row(r).send->isEnabled() && enabledDataFields(f) == 0;
}

} // namespace

class ExerciserTest : public QObject {
    Q_OBJECT

private slots:
    void openingSequence()
    {
        Harness h;
        QCOMPARE(h.dialog->windowTitle(), QStringLiteral("Exerciser"));
        // Only the periods go to the adapter, 100 ms for every row in order.
        QCOMPARE(h.library.ordinals(),
                 (std::vector<O>{O::SetPeriod, O::SetPeriod, O::SetPeriod, O::SetPeriod}));
        for (int r = 0; r < 4; ++r)
            QCOMPARE(h.library.calls()[std::size_t(r)].args, (std::vector<std::int64_t>{r, 100}));

        const char *ids[] = {"123", "7AB", "12345678", "1ABCDEFF"};
        for (int r = 0; r < 4; ++r) {
            QCOMPARE(h.frame(r).kind()->currentText(), r < 2 ? "STD DATA" : "EXT DATA");
            QCOMPARE(h.frame(r).identifier()->text(), QString::fromLatin1(ids[r]));
            QCOMPARE(h.frame(r).dlc()->currentText(), QStringLiteral("8"));
            QCOMPARE(h.frame(r).data(4)->text(), QStringLiteral("9A"));
            QCOMPARE(h.row(r).interval->text(), QStringLiteral("100"));
            QCOMPARE(h.row(r).toggle->text(), QStringLiteral("Auto"));
            QCOMPARE(enabledDataFields(h.frame(r)), 8);
        }
        QStringList kinds;
        for (int k = 0; k < h.frame(0).kind()->count(); ++k)
            kinds << h.frame(0).kind()->itemText(k);
        QCOMPARE(kinds, (QStringList{"STD DATA", "STD REMOTE", "EXT DATA", "EXT REMOTE"}));
        QCOMPARE(h.frame(0).dlc()->count(), 9);
        QVERIFY(!h.dialog->setButton()->isEnabled());
        QVERIFY(!h.dialog->isAdvancedMode());
        QCOMPARE(h.dialog->size(), QSize(755, 250));
        QCOMPARE(h.pane().geometry(), QRect(0, 200, 765, 350));
        QVERIFY(h.pane().isVisible());
        QVERIFY(h.messages.messages.empty());
    }

    void sendFromARow_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<int>("dlc");
        QTest::addColumn<QStringList>("data"); // typed into fields 0, 1, ...
        QTest::addColumn<int>("type");
        QTest::addColumn<unsigned>("id");
        QTest::addColumn<Bytes>("bytes");

        QTest::newRow("dlc 3 sends three bytes")
            << 0 << 0 << "5A5" << 3 << QStringList{} << 0x14 << 0x5A5U << Bytes{0x12, 0x34, 0x56};
        QTest::newRow("dlc 0 sends none")
            << 1 << 0 << "7AB" << 0 << QStringList{} << 0x14 << 0x7ABU << Bytes{};
        QTest::newRow("empty identifier and data field")
            << 2 << 2 << "" << 2 << QStringList{"", "55"} << 0x16 << 0U << Bytes{0, 0x55};
        QTest::newRow("A alone") << 3 << 0 << "1" << 1 << QStringList{"A"} << 0x14 << 1U
                                 << Bytes{0x0A};
        QTest::newRow("lower case typed becomes upper case")
            << 0 << 2 << "1abcdef" << 2 << QStringList{"ab", "c"} << 0x16 << 0x1ABCDEFU
            << Bytes{0xAB, 0x0C};
        QTest::newRow("ext remote dlc 8 carries its disabled fields")
            << 2 << 3 << "1ABCDEFF" << 8 << QStringList{} << 0x17 << 0x1ABCDEFFU
            << Bytes{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF};
    }
    void sendFromARow()
    {
        QFETCH(int, row);
        QFETCH(int, kind);
        QFETCH(QString, identifier);
        QFETCH(int, dlc);
        QFETCH(QStringList, data);
        QFETCH(int, type);
        QFETCH(unsigned, id);
        QFETCH(Bytes, bytes);

        Harness h;
        FrameRowEditors &frame = h.frame(row);
        choose(frame.kind(), kind);
        retype(frame.identifier(), identifier);
        choose(frame.dlc(), dlc);
        for (int i = 0; i < data.size(); ++i)
            retype(frame.data(i), data.at(i));
        h.library.clearCalls();
        h.row(row).send->click();

        QCOMPARE(h.library.ordinals(), (std::vector<O>{O::SendFrame}));
        const CAN_Frame sent = h.library.last(O::SendFrame)->frames.at(0);
        QCOMPARE(int(sent.type), type);
        QCOMPARE(unsigned(sent.id), id);
        QCOMPARE(int(sent.dlc), dlc);
        compareData(sent, bytes);
        QVERIFY(h.messages.messages.empty());
        // Data fields as the kind and DLC allow.
        QCOMPARE(enabledDataFields(frame), kind % 2 == 1 ? 0 : dlc);
    }

    void kindSwitchKeepsOrClampsTheIdentifier_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<unsigned>("sent");
        QTest::newRow("a large value becomes 7FF") << "12345678"
                                                   << "7FF" << 0x7FFU;
        QTest::newRow("a small value keeps its eight characters") << "00000123"
                                                                  << "00000123" << 0x123U;
    }
    void kindSwitchKeepsOrClampsTheIdentifier()
    {
        QFETCH(QString, identifier);
        QFETCH(QString, shown);
        QFETCH(unsigned, sent);
        Harness h;
        retype(h.frame(2).identifier(), identifier);
        choose(h.frame(2).kind(), 0);
        QCOMPARE(h.frame(2).identifier()->text(), shown);
        QCOMPARE(h.frame(2).identifierLength(), 3);
        h.row(2).send->click();
        QCOMPARE(unsigned(h.library.last(O::SendFrame)->frames.at(0).id), sent);
        QVERIFY(h.messages.messages.empty());

        // Under the standard kind's limit the eight characters can be
        // shortened but no longer grown.
        QTest::keyClick(h.frame(2).identifier(), Qt::Key_End);
        QTest::keyClicks(h.frame(2).identifier(), QStringLiteral("1"));
        QCOMPARE(h.frame(2).identifier()->text(), shown);
    }

    void fieldCheck_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("field"); // -1 the identifier, else a data field
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("messages");

        QTest::newRow("g in a data field shows as G and is cut") << 0 << 0 << "1g"
                                                                 << "1" << 1;
        QTest::newRow("a blank in a data field") << 0 << 7 << " "
                                                 << "" << 1;
        QTest::newRow("x in the identifier") << 0 << -1 << "1x"
                                             << "1" << 1;
        QTest::newRow("hex digits pass") << 0 << 3 << "f0"
                                         << "F0" << 0;
        QTest::newRow("a third character is refused") << 0 << 1 << "123"
                                                      << "12" << 0;
        QTest::newRow("a fourth identifier character is refused") << 0 << -1 << "7FFF"
                                                                  << "7FF" << 0;
        // Every row's fields are checked, not only the first row's.
        QTest::newRow("row 1 data") << 1 << 5 << "Z"
                                    << "" << 1;
        QTest::newRow("row 2 identifier") << 2 << -1 << "12G"
                                          << "12" << 1;
        QTest::newRow("row 3 data") << 3 << 7 << "9h"
                                    << "9" << 1;
    }
    void fieldCheck()
    {
        QFETCH(int, row);
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(int, messages);
        Harness h;
        QLineEdit *edit = field < 0 ? h.frame(row).identifier() : h.frame(row).data(field);
        QString shownWhileTold;
        h.messages.onShow = [&] { shownWhileTold = edit->text(); };
        retype(edit, typed);
        QCOMPARE(edit->text(), kept);
        QCOMPARE(int(h.messages.messages.size()), messages);
        if (messages > 0) {
            QCOMPARE(messageTexts(h.messages).front(), QStringLiteral("Input Hex values only!"));
            QCOMPARE(h.messages.messages.front().caption, std::string("Vexo View"));
            QVERIFY(h.messages.messages.front().icon == MessageIcon::Warning);
            // The user sees the upper-cased character that fails.
            QCOMPARE(shownWhileTold, typed.toUpper());
        }
    }

    void autoAndStop()
    {
        Harness h;
        retype(h.frame(0).identifier(), QStringLiteral("111"));
        h.library.clearCalls();

        h.row(0).toggle->click();
        QCOMPARE(h.row(0).toggle->text(), QStringLiteral("Stop"));
        QCOMPARE(h.library.ordinals(),
                 (std::vector<O>{O::SetPeriod, O::SetPeriodicFrame, O::EnablePeriodic}));
        const auto *loaded = h.library.last(O::SetPeriodicFrame);
        QCOMPARE(loaded->args.at(0), 0);
        QCOMPARE(unsigned(loaded->frames.at(0).id), 0x111U);
        QCOMPARE(int(loaded->frames.at(0).type), 0x14);
        QCOMPARE(h.library.last(O::EnablePeriodic)->args, (std::vector<std::int64_t>{0, 1}));
        QVERIFY(frameLocked(h, 0));
        QVERIFY(h.row(0).interval->isEnabled());
        QVERIFY(h.row(0).toggle->isEnabled());

        // A second row starts beside the first, which stays locked.
        h.row(2).toggle->click();
        QCOMPARE(h.row(2).toggle->text(), QStringLiteral("Stop"));
        QCOMPARE(h.row(0).toggle->text(), QStringLiteral("Stop"));
        QVERIFY(frameLocked(h, 0));
        QVERIFY(frameLocked(h, 2));
        QVERIFY(!frameLocked(h, 1));
        QCOMPARE(h.library.last(O::SetPeriodicFrame)->args.at(0), 2);

        h.library.clearCalls();
        h.row(0).toggle->click();
        QCOMPARE(h.row(0).toggle->text(), QStringLiteral("Auto"));
        QCOMPARE(h.library.ordinals(), (std::vector<O>{O::EnablePeriodic}));
        QCOMPARE(h.library.last(O::EnablePeriodic)->args, (std::vector<std::int64_t>{0, 0}));
        QVERIFY(!frameLocked(h, 0));
        QVERIFY(frameLocked(h, 2));
        QCOMPARE(h.library.count(O::SetPeriod), 0);
    }

    void autoTakesTheRowsInterval_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: the row starts
        QTest::addColumn<int>("period");

        QTest::newRow("row 1 at 20 ms") << 1 << "20" << QString() << 20;
        QTest::newRow("row 3 at 1000 ms") << 3 << "1000" << QString() << 1000;
        QTest::newRow("row 2 emptied") << 2 << ""
                                       << "Enter an integer." << 0;
        QTest::newRow("row 3 at 0") << 3 << "0"
                                    << "Enter an integer between 1 and 1000." << 0;
    }
    void autoTakesTheRowsInterval()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(int, period);
        Harness h;
        // Another row's bad field is no concern of this row.
        retype(h.row(row == 1 ? 2 : 1).interval, QString());
        retype(h.row(row).interval, typed);
        h.library.clearCalls();
        h.row(row).toggle->click();
        if (message.isEmpty()) {
            QVERIFY(h.messages.messages.empty());
            QCOMPARE(h.library.ordinals(),
                     (std::vector<O>{O::SetPeriod, O::SetPeriodicFrame, O::EnablePeriodic}));
            QCOMPARE(h.library.last(O::SetPeriod)->args, (std::vector<std::int64_t>{row, period}));
            QCOMPARE(h.row(row).toggle->text(), QStringLiteral("Stop"));
        } else {
            QCOMPARE(messageTexts(h.messages), QStringList{message});
            QVERIFY(h.messages.messages.front().icon == MessageIcon::Warning);
            QVERIFY(h.library.calls().empty());
            QCOMPARE(h.row(row).toggle->text(), QStringLiteral("Auto"));
            QVERIFY(!frameLocked(h, row));
        }
    }

    void resetRow()
    {
        Harness h;
        choose(h.frame(2).kind(), 3);
        choose(h.frame(2).dlc(), 2);
        retype(h.frame(2).data(1), QStringLiteral("00"));
        retype(h.row(2).interval, QStringLiteral("250"));
        h.row(2).reset->click();
        QCOMPARE(h.frame(2).kind()->currentText(), QStringLiteral("STD DATA"));
        QCOMPARE(h.frame(2).identifier()->text(), QStringLiteral("7AB"));
        QCOMPARE(h.frame(2).dlc()->currentText(), QStringLiteral("8"));
        QCOMPARE(h.frame(2).data(1)->text(), QStringLiteral("34"));
        QCOMPARE(enabledDataFields(h.frame(2)), 8);
        QCOMPARE(h.row(2).interval->text(), QStringLiteral("250"));
        h.row(0).reset->click();
        QCOMPARE(h.frame(0).identifier()->text(), QStringLiteral("123"));
    }

    void setIntervals_data()
    {
        QTest::addColumn<QStringList>("typed"); // rows 0 to 3; null: untouched
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("periods");

        QTest::newRow("an emptied field") << QStringList{QString(), "", QString(), QString()}
                                          << "Enter an integer." << QList<int>{};
        QTest::newRow("zero") << QStringList{"0", QString(), QString(), QString()}
                              << "Enter an integer between 1 and 1000." << QList<int>{};
        QTest::newRow("above 1000") << QStringList{QString(), QString(), QString(), "1001"}
                                    << "Enter an integer between 1 and 1000." << QList<int>{};
        QTest::newRow("letters cannot be typed")
            << QStringList{"2x0", QString(), QString(), QString()} << QString()
            << QList<int>{20, 100, 100, 100};
        QTest::newRow("range ends; a fifth digit is refused")
            << QStringList{"1", "1000", "10000", QString()} << QString()
            << QList<int>{1, 1000, 1000, 100};
        QTest::newRow("valid") << QStringList{"10", "1", "1000", "999"} << QString()
                               << QList<int>{10, 1, 1000, 999};
    }
    void setIntervals()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        QFETCH(QList<int>, periods);
        Harness h;
        for (int r = 0; r < 4; ++r) {
            if (!typed.at(r).isNull())
                retype(h.row(r).interval, typed.at(r));
        }
        QVERIFY(h.dialog->setButton()->isEnabled());
        h.library.clearCalls();
        h.dialog->setButton()->click();

        if (message.isEmpty()) {
            QVERIFY(h.messages.messages.empty());
            std::vector<std::vector<std::int64_t>> expected;
            for (int r = 0; r < 4; ++r)
                expected.push_back({r, periods.at(r)});
            std::vector<std::vector<std::int64_t>> sent;
            for (const auto &call : h.callsOf(O::SetPeriod))
                sent.push_back(call.args);
            QCOMPARE(sent, expected);
            QCOMPARE(h.library.ordinals().size(), std::size_t(4));
            QVERIFY(!h.dialog->setButton()->isEnabled());
        } else {
            QCOMPARE(messageTexts(h.messages), QStringList{message});
            QVERIFY(h.messages.messages.front().icon == MessageIcon::Warning);
            QCOMPARE(h.messages.messages.front().caption, std::string("Vexo View"));
            QVERIFY(h.library.calls().empty());
            QVERIFY(h.dialog->setButton()->isEnabled());
        }
    }

    void runningRowTakesANewInterval()
    {
        Harness h;
        h.row(1).toggle->click();
        retype(h.row(1).interval, QStringLiteral("20"));
        QVERIFY(h.row(1).interval->isEnabled());
        h.library.clearCalls();
        h.dialog->setButton()->click();
        QCOMPARE(h.callsOf(O::SetPeriod).at(1).args, (std::vector<std::int64_t>{1, 20}));
        QCOMPARE(h.row(1).toggle->text(), QStringLiteral("Stop"));
    }

    void waysOut_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("badInterval"); // null: all intervals valid
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("rowsStopped");

        QTest::newRow("Close") << "close" << QString() << true << false;
        QTest::newRow("Enter") << "enter" << QString() << true << false;
        QTest::newRow("Close with an emptied interval stays open") << "close"
                                                                   << "" << false << false;
        QTest::newRow("Esc") << "esc" << QString() << true << false;
        QTest::newRow("the close box stops the rows") << "box" << QString() << true << true;
        QTest::newRow("the close box ignores the intervals") << "box"
                                                             << "0" << true << true;
    }
    void waysOut()
    {
        QFETCH(QString, way);
        QFETCH(QString, badInterval);
        QFETCH(bool, hidden);
        QFETCH(bool, rowsStopped);
        Harness h;
        h.row(0).toggle->click();
        h.row(3).toggle->click();
        if (!badInterval.isNull())
            retype(h.row(2).interval, badInterval);
        h.library.clearCalls();

        if (way == "close")
            h.dialog->closeButton()->click();
        else if (way == "enter")
            QTest::keyClick(h.frame(1).identifier(), Qt::Key_Return);
        else if (way == "esc")
            QTest::keyClick(h.dialog.get(), Qt::Key_Escape);
        else
            h.dialog->close();

        QCOMPARE(h.dialog->isVisible(), !hidden);
        if (rowsStopped) {
            std::vector<std::vector<std::int64_t>> stopped;
            for (const auto &call : h.callsOf(O::EnablePeriodic))
                stopped.push_back(call.args);
            QCOMPARE(stopped,
                     (std::vector<std::vector<std::int64_t>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
        } else {
            QVERIFY(h.library.calls().empty());
        }
        QCOMPARE(h.messages.messages.size(), std::size_t(hidden ? 0 : 1));
    }

    void advancedMode()
    {
        Harness h;
        h.dialog->move(40, 60);
        const QPoint where = h.dialog->pos();
        h.dialog->advancedModeBox()->click();
        QVERIFY(h.dialog->isAdvancedMode());
        QVERIFY(h.dialog->advancedModeBox()->isChecked());
        QCOMPARE(h.dialog->size(), QSize(755, 400));
        QCOMPARE(h.dialog->pos(), where);
        h.dialog->advancedModeBox()->click();
        QVERIFY(!h.dialog->isAdvancedMode());
        QCOMPARE(h.dialog->size(), QSize(755, 250));
        QCOMPARE(h.dialog->pos(), where);
        QVERIFY(h.library.calls().size() == 4); // the opening periods only
    }

    void responseDefaults()
    {
        Harness h;
        CExerciserChildDlg &pane = h.pane();
        QCOMPARE(pane.inputRow().kind()->currentText(), QStringLiteral("STD REMOTE"));
        QCOMPARE(pane.responseRow().kind()->currentText(), QStringLiteral("STD DATA"));
        for (FrameRowEditors *row : {&pane.inputRow(), &pane.responseRow()}) {
            QCOMPARE(row->identifier()->text(), QStringLiteral("456"));
            QCOMPARE(row->dlc()->currentText(), QStringLiteral("8"));
            QCOMPARE(row->data(7)->text(), QStringLiteral("FF"));
            QVERIFY(!row->kind()->isEnabled());
            QVERIFY(!row->identifier()->isEnabled());
            QVERIFY(!row->dlc()->isEnabled());
            QCOMPARE(enabledDataFields(*row), 0);
        }
        QVERIFY(!pane.enableBox()->isChecked());
        QVERIFY(pane.applyButton()->isEnabled());
        QCOMPARE(h.library.count(O::SetResponse), 0);

        // Ticking Enable unlocks the fields but sends nothing.
        pane.enableBox()->click();
        QVERIFY(pane.inputRow().kind()->isEnabled());
        QCOMPARE(enabledDataFields(pane.inputRow()), 0);
        QCOMPARE(enabledDataFields(pane.responseRow()), 8);
        choose(pane.responseRow().dlc(), 3);
        QCOMPARE(enabledDataFields(pane.responseRow()), 3);
        QCOMPARE(h.library.count(O::SetResponse), 0);
    }

    void responseApply_data()
    {
        QTest::addColumn<bool>("enable");
        QTest::addColumn<int>("inputKind");
        QTest::addColumn<int>("inputDlc");
        QTest::addColumn<QString>("inputId");
        QTest::addColumn<int>("responseKind");
        QTest::addColumn<int>("responseDlc");
        QTest::addColumn<int>("inputType");
        QTest::addColumn<unsigned>("inputIdValue");
        QTest::addColumn<Bytes>("inputData");
        QTest::addColumn<int>("responseType");
        QTest::addColumn<Bytes>("responseData");

        const Bytes all = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xFF};
        QTest::newRow("defaults armed")
            << true << 1 << 8 << "456" << 0 << 8 << 0x05 << 0x456U << Bytes{} << 0x14 << all;
        QTest::newRow("ext data input dlc 2, remote response dlc 4")
            << true << 2 << 2 << "1CDA00F1" << 1 << 4 << 0x06 << 0x1CDA00F1U << Bytes{0x12, 0x34}
            << 0x15 << Bytes{0x12, 0x34, 0x56, 0x78};
        QTest::newRow("empty identifier")
            << true << 0 << 1 << "" << 0 << 8 << 0x04 << 0U << Bytes{0x12} << 0x14 << all;
        QTest::newRow("Enable off disarms with the current frames")
            << false << 1 << 8 << QString() << 0 << 8 << 0x05 << 0x456U << Bytes{} << 0x14 << all;
        QTest::newRow("an identifier above the limit is armed at the limit")
            << true << 0 << 0 << "FFF" << 0 << 8 << 0x04 << 0x7FFU << Bytes{} << 0x14 << all;
    }
    void responseApply()
    {
        QFETCH(bool, enable);
        QFETCH(int, inputKind);
        QFETCH(int, inputDlc);
        QFETCH(QString, inputId);
        QFETCH(int, responseKind);
        QFETCH(int, responseDlc);
        QFETCH(int, inputType);
        QFETCH(unsigned, inputIdValue);
        QFETCH(Bytes, inputData);
        QFETCH(int, responseType);
        QFETCH(Bytes, responseData);

        Harness h;
        CExerciserChildDlg &pane = h.pane();
        pane.enableBox()->click();
        choose(pane.inputRow().kind(), inputKind);
        choose(pane.inputRow().dlc(), inputDlc);
        if (!inputId.isNull())
            retype(pane.inputRow().identifier(), inputId);
        choose(pane.responseRow().kind(), responseKind);
        choose(pane.responseRow().dlc(), responseDlc);
        if (!enable)
            pane.enableBox()->click();
        h.library.clearCalls();
        pane.applyButton()->click();

        QCOMPARE(h.library.ordinals(), (std::vector<O>{O::SetResponse}));
        const auto *call = h.library.last(O::SetResponse);
        QCOMPARE(call->args.at(0), enable ? 1 : 0);
        const CAN_Frame input = call->frames.at(0);
        const CAN_Frame response = call->frames.at(1);
        QCOMPARE(int(input.type), inputType);
        QCOMPARE(unsigned(input.id), inputIdValue);
        QCOMPARE(int(input.dlc), inputDlc);
        compareData(input, inputData);
        QCOMPARE(int(response.type), responseType);
        QCOMPARE(unsigned(response.id), 0x456U);
        QCOMPARE(int(response.dlc), responseDlc);
        compareData(response, responseData);
        QVERIFY(h.messages.messages.empty());
    }

    void responseFieldsTakeHexDigitsOnly()
    {
        Harness h;
        CExerciserChildDlg &pane = h.pane();
        pane.enableBox()->click();
        retype(pane.responseRow().identifier(), QStringLiteral("1g2"));
        QCOMPARE(pane.responseRow().identifier()->text(), QStringLiteral("12"));
        retype(pane.responseRow().data(0), QStringLiteral("z9"));
        QCOMPARE(pane.responseRow().data(0)->text(), QStringLiteral("9"));
        retype(pane.responseRow().data(1), QStringLiteral("ab"));
        QCOMPARE(pane.responseRow().data(1)->text(), QStringLiteral("AB"));
        QVERIFY(h.messages.messages.empty());
    }
};

QTEST_MAIN(ExerciserTest)
#include "tst_exerciser.moc"
