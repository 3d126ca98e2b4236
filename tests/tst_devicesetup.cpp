// The "Vexo Setup" dialog as the user meets it: its controls, typing and
// choosing, Cancel, the bar's Setup button, the serial name it starts from,
// and a new bit rate on a built-in adapter, in effect from the next connect.

#include "app/ControlBar.h"
#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "controls/IconButton.h"
#include "device/SetupDialog.h"
#include "device/VexoDeviceLibrary.h"
#include "device/VirtualAdapters.h"

#include "AdapterIndex.h"
#include "MainWindowHarness.h"
#include "MessageTexts.h"
#include "UserInput.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using O = DevOrdinal;

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

void press(CSetupDlg *dialog, QDialogButtonBox::StandardButton which)
{
    dialog->findChild<QDialogButtonBox *>()->button(which)->click();
}

struct Harness : RecordingLibraryWindow {
    Harness()
    {
        library.adapters.push_back({"Vexo USB-CAN", "123", "VX1000000"});
        library.calculatedTiming = CAN_Timing{4, 1, 12, 3, 2};
        openMainWindow();
    }

    CBarDlg *bar() const { return frame->controlBar(); }
    void connect() { QVERIFY(frame->ConnectAdapter(0, QStringLiteral("Vexo USB-CAN"))); }
    CSetupDlg *openSetup()
    {
        bar()->setupButton()->click();
        return bar()->setupDialog();
    }
};

} // namespace

class TestDeviceSetup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void controls();
    void typingAndChoosing();
    void advancedMode();
    void cancelWritesNothing();
    void setupButton();
    void nextSetupStartsFromTheConnectName();
    void closedWhenTheLinkGoes();
    void bitRatePane_data();
    void bitRatePane();
    void newBitRateFromTheNextConnect();
    void anyWholeRateIsReachedAndKept();
};

void TestDeviceSetup::controls()
{
    RecordingDeviceLibrary library;
    library.bitrateKbps = 83;
    library.storedOptions = AdapterOption::AutomaticBusOffRecovery;
    RecordingMessageReporter messages;
    CSetupDlg dialog(library, messages, "124");

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Vexo Setup"));
    QCOMPARE(dialog.serialBox()->text(), QStringLiteral("124"));
    QCOMPARE(itemsOf(dialog.presetBox()),
             (QStringList{"50", "100", "125", "250", "500", "1000", "83"}));
    QCOMPARE(dialog.presetBox()->currentIndex(), 6);
    QCOMPARE(dialog.presetBox()->currentText(), QStringLiteral("83"));
    QCOMPARE(itemsOf(dialog.clkDivList()),
             (QStringList{"1", "2", "3", "5", "9", "17", "33", "65"}));
    QCOMPARE(itemsOf(dialog.sjwList()), (QStringList{"0", "1", "2", "3"}));
    QCOMPARE(dialog.tseg1List()->count(), 15);
    QCOMPARE(dialog.tseg1List()->itemText(0), QStringLiteral("1"));
    QCOMPARE(itemsOf(dialog.tseg2List()), (QStringList{"0", "1", "2", "3", "4", "5", "6", "7"}));
    QCOMPARE(dialog.advancedBox()->text(), QStringLiteral("Advanced"));
    QCOMPARE(dialog.aborBox()->text(), QStringLiteral("ABOR (Automatic Bus-Off Recovery)"));
    QCOMPARE(dialog.artBox()->text(), QStringLiteral("ART (Automatic retransmission)"));
    QVERIFY(dialog.aborBox()->isChecked());
    QVERIFY(!dialog.artBox()->isChecked());
    // Preset mode at first.
    QVERIFY(dialog.presetBox()->isEnabled());
    QVERIFY(!dialog.btrBox()->isEnabled());
    QVERIFY(!dialog.tseg1List()->isEnabled());
    QVERIFY(!dialog.rateLabel()->isEnabled());
    QVERIFY(dialog.rateLabel()->text().isEmpty());
    QCOMPARE(dialog.samplePointBox()->text(), QStringLiteral("87.50 %"));
    QVERIFY(messages.messages.empty());

    // A name longer than ten characters put in by the program is kept whole,
    // for the field check to refuse; the user can type digits only.
    CSetupDlg longName(library, messages, "123456789012");
    QCOMPARE(longName.serialBox()->text(), QStringLiteral("123456789012"));
    longName.serialBox()->clear();
    QTest::keyClicks(longName.serialBox(), QStringLiteral("12a34"));
    QCOMPARE(longName.serialBox()->text(), QStringLiteral("1234"));
}

void TestDeviceSetup::typingAndChoosing()
{
    RecordingDeviceLibrary library;
    library.calculatedTiming = CAN_Timing{4, 1, 12, 3, 2};
    library.samplePoint = 81.25F;
    RecordingMessageReporter messages;
    CSetupDlg dialog(library, messages, "124");
    library.clearCalls();

    QLineEdit *preset = dialog.presetBox()->lineEdit();
    preset->selectAll();
    QTest::keyClicks(preset, QStringLiteral("250"));
    // Every key is a new rate; the last one asked for is 250 kbit/s, and the
    // typed text is not completed to a preset.
    QCOMPARE(library.last(O::CalcTiming)->args.at(0), 250'000);
    QCOMPARE(dialog.presetBox()->currentText(), QStringLiteral("250"));
    QCOMPARE(dialog.btrBox()->text(), QStringLiteral("4"));
    QCOMPARE(dialog.clkDivList()->currentText(), QStringLiteral("3"));
    QCOMPARE(dialog.sjwList()->currentText(), QStringLiteral("1"));
    QCOMPARE(dialog.tseg1List()->currentText(), QStringLiteral("12"));
    QCOMPARE(dialog.tseg2List()->currentText(), QStringLiteral("3"));
    QCOMPARE(dialog.samplePointBox()->text(), QStringLiteral("81.25 %"));

    // An unreachable rate shows the red label and leaves the timing alone.
    library.statuses[O::CalcTiming] = 1;
    library.calculatedTiming = CAN_Timing{9, 0, 5, 2, 0};
    QTest::keyClick(preset, Qt::Key_Backspace);
    QVERIFY(dialog.rateLabel()->isEnabled());
    QCOMPARE(dialog.rateLabel()->text(), QStringLiteral("Baudrate incorrect"));
    QCOMPARE(dialog.btrBox()->text(), QStringLiteral("4"));

    // Choosing an item clears the label.
    library.statuses[O::CalcTiming] = 0;
    choose(dialog.presetBox(), 5);
    QCOMPARE(library.last(O::CalcTiming)->args.at(0), 1'000'000);
    QVERIFY(!dialog.rateLabel()->isEnabled());
    QCOMPARE(dialog.btrBox()->text(), QStringLiteral("9"));
    QVERIFY(messages.messages.empty());
}

void TestDeviceSetup::advancedMode()
{
    RecordingDeviceLibrary library;
    library.calculatedTiming = CAN_Timing{4, 1, 12, 3, 2};
    library.storedTiming = library.calculatedTiming;
    RecordingMessageReporter messages;
    CSetupDlg dialog(library, messages, "124");
    dialog.show();

    dialog.advancedBox()->click();
    QVERIFY(!dialog.presetBox()->isEnabled());
    for (QWidget *w :
         std::initializer_list<QWidget *>{dialog.btrBox(), dialog.clkDivList(), dialog.sjwList(),
                                          dialog.tseg1List(), dialog.tseg2List()})
        QVERIFY(w->isEnabled());

    library.clearCalls();
    library.bitrateKbps = 333;
    choose(dialog.tseg1List(), 12);
    QCOMPARE(library.last(O::TimingToBitrate)->args.at(2), 13);
    QCOMPARE(dialog.presetBox()->currentText(), QStringLiteral("333"));
    // What the dialog writes into the preset box is no new rate to compute.
    QCOMPARE(library.count(O::CalcTiming), 0);

    // A BTR the field check refuses is put back to the value held.
    QTest::keyClick(dialog.btrBox(), Qt::Key_End);
    QTest::keyClick(dialog.btrBox(), Qt::Key_Backspace);
    QCOMPARE(messages.messages.size(), std::size_t{1});
    QCOMPARE(messages.messages[0].text, std::string("Enter an integer between 0 and 255."));
    QCOMPARE(dialog.btrBox()->text(), QStringLiteral("4"));
    QCOMPARE(dialog.focusWidget(), dialog.btrBox());
}

void TestDeviceSetup::cancelWritesNothing()
{
    RecordingDeviceLibrary library;
    RecordingMessageReporter messages;
    CSetupDlg dialog(library, messages, "124");
    dialog.show();
    dialog.serialBox()->setText(QStringLiteral("987"));
    choose(dialog.presetBox(), 2);
    dialog.advancedBox()->click();
    choose(dialog.tseg2List(), 5);
    dialog.artBox()->click();

    press(&dialog, QDialogButtonBox::Cancel);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(library.count(O::WriteConfig), 0);
    QCOMPARE(library.count(O::SetSerial), 0);
    QVERIFY(messages.messages.empty());
}

void TestDeviceSetup::setupButton()
{
    Harness h;
    h.connect();
    CSetupDlg *first = h.openSetup();
    QVERIFY(first && first->isVisible());
    QCOMPARE(h.library.count(O::ReadConfig), 2); // at connect, then by the dialog

    // Pressed again while it is open: the same dialog, not read again.
    QCOMPARE(h.openSetup(), first);
    QCOMPARE(h.library.count(O::ReadConfig), 2);

    // OK writes and closes; the next Setup is a fresh dialog that reads again.
    press(first, QDialogButtonBox::Ok);
    QVERIFY(!first->isVisible());
    QCOMPARE(h.library.count(O::WriteConfig), 1);
    QCOMPARE(h.messages.messages.back().text,
             std::string("To apply the changes, disconnect and connect again."));
    QVERIFY(h.messages.messages.back().icon == MessageIcon::Warning);
    CSetupDlg *second = h.openSetup();
    QVERIFY(second && second->isVisible());
    QCOMPARE(h.library.count(O::ReadConfig), 3);
}

void TestDeviceSetup::nextSetupStartsFromTheConnectName()
{
    Harness h;
    h.connect();
    CSetupDlg *dialog = h.openSetup();
    QCOMPARE(dialog->serialBox()->text(), QStringLiteral("123"));
    dialog->serialBox()->setText(QStringLiteral("0012345678"));
    press(dialog, QDialogButtonBox::Ok);
    QCOMPARE(QByteArray::fromStdString(h.library.last(O::SetSerial)->text),
             QByteArray("0012345678"));

    QCOMPARE(h.openSetup()->serialBox()->text(), QStringLiteral("123"));
    QCOMPARE(h.frame->serialName(), std::string("123"));
}

void TestDeviceSetup::closedWhenTheLinkGoes()
{
    Harness h;
    h.connect();
    CSetupDlg *dialog = h.openSetup();
    h.bar()->disconnectButton()->click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(!h.bar()->setupButton()->isEnabled());
    QCOMPARE(h.library.count(O::WriteConfig), 0);
}

void TestDeviceSetup::bitRatePane_data()
{
    QTest::addColumn<int>("storedKbps");
    QTest::addColumn<int>("busKbps"); // -1: the adapter cannot tell
    QTest::addColumn<QString>("pane");
    QTest::newRow("runs at the stored rate") << 500 << 500 << "500Kbps";
    QTest::newRow("the interface kept its own") << 250 << 125 << "125Kbps";
    QTest::newRow("nobody can tell") << 250 << -1 << "?";
}

void TestDeviceSetup::bitRatePane()
{
    QFETCH(int, storedKbps);
    QFETCH(int, busKbps);
    QFETCH(QString, pane);
    Harness h;
    h.library.bitrateKbps = storedKbps;
    h.library.busBitrateKbps = busKbps;
    h.connect();
    QCOMPARE(h.frame->paneText(CMainFrame::BitRatePane), pane);
}

void TestDeviceSetup::newBitRateFromTheNextConnect()
{
    RealLibraryWindow program;
    CMainFrame &frame = *program.frame;
    const int quiet = indexOf(*program.library, VirtualAdapters::QuietId);
    const QString entry = QStringLiteral("Vexo Virtual Quiet Bus");

    QVERIFY(frame.ConnectAdapter(quiet, entry));
    QCOMPARE(frame.paneText(CMainFrame::BitRatePane), QStringLiteral("500Kbps"));
    frame.controlBar()->setupButton()->click();
    CSetupDlg *dialog = frame.controlBar()->setupDialog();
    QCOMPARE(dialog->presetBox()->currentText(), QStringLiteral("500"));
    choose(dialog->presetBox(), 3);
    QCOMPARE(dialog->btrBox()->text().toInt() > 0, true);
    press(dialog, QDialogButtonBox::Ok);
    QVERIFY(!dialog->isVisible());

    // Stored, not yet in effect: the bus runs on at 500 kbit/s.
    std::int32_t kbps = 0;
    QCOMPARE(int(program.library->readBusBitrate(kbps)), 0);
    QCOMPARE(kbps, 500);

    frame.Disconnect();
    QVERIFY(frame.ConnectAdapter(quiet, entry));
    QCOMPARE(frame.paneText(CMainFrame::BitRatePane), QStringLiteral("250Kbps"));
    frame.controlBar()->setupButton()->click();
    QCOMPARE(frame.controlBar()->setupDialog()->presetBox()->currentText(), QStringLiteral("250"));
    frame.close();
}

void TestDeviceSetup::anyWholeRateIsReachedAndKept()
{
    RealLibraryWindow program;
    CMainFrame &frame = *program.frame;
    QVERIFY(frame.ConnectAdapter(indexOf(*program.library, VirtualAdapters::QuietId),
                                 QStringLiteral("Vexo Virtual Quiet Bus")));
    const auto openSetup = [&] {
        frame.controlBar()->setupButton()->click();
        return frame.controlBar()->setupDialog();
    };
    const auto storedTiming = [&] {
        CAN_Timing timing;
        std::uint8_t reserved[ConfigReservedSize] = {};
        std::uint8_t options = 0;
        program.library->DevReadConfig(timing, reserved, options);
        return timing;
    };
    const QString nearest = QStringLiteral("83.333 kbit/s (+0.40 %)");

    // 83 kbit/s is made as nearly as the adapter's clock allows, and said so.
    CSetupDlg *dialog = openSetup();
    dialog->presetBox()->lineEdit()->selectAll();
    QTest::keyClicks(dialog->presetBox()->lineEdit(), QStringLiteral("83"));
    QCOMPARE(dialog->rateLabel()->text(), nearest);
    press(dialog, QDialogButtonBox::Ok);
    QVERIFY(!dialog->isVisible());
    const CAN_Timing stored = storedTiming();

    // Reopened, it shows that timing, and OK on the unchanged dialog keeps it.
    dialog = openSetup();
    QCOMPARE(dialog->presetBox()->currentText(), QStringLiteral("83"));
    QCOMPARE(dialog->rateLabel()->text(), nearest);
    press(dialog, QDialogButtonBox::Ok);
    QVERIFY(!dialog->isVisible());
    QVERIFY(storedTiming() == stored);

    // A timing of the user's own survives a change of the serial name alone.
    dialog = openSetup();
    dialog->advancedBox()->click();
    choose(dialog->tseg1List(), dialog->tseg1List()->currentIndex() - 2);
    press(dialog, QDialogButtonBox::Ok);
    const CAN_Timing custom = storedTiming();
    QVERIFY(!(custom == stored));
    dialog = openSetup();
    retype(dialog->serialBox(), QStringLiteral("4711"));
    press(dialog, QDialogButtonBox::Ok);
    QVERIFY(!dialog->isVisible());
    QVERIFY(storedTiming() == custom);
    QCOMPARE(messageTexts(program.messages).last(),
             QStringLiteral("To apply the changes, disconnect and connect again."));
    frame.close();
}

QTEST_MAIN(TestDeviceSetup)
#include "tst_devicesetup.moc"
