// The Error Status dialog: its texts, its list, how the main window opens it
// from the link icon and refreshes it, and the dialog on the simulated vehicle
// network, whose bus has occasional errors.

#include "app/MainFrame.h"
#include "capture/FrameStore.h"
#include "device/ErrorStatusDialog.h"
#include "device/ErrorStatusTexts.h"
#include "device/VirtualAdapters.h"

#include "AdapterIndex.h"
#include "MainWindowHarness.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

namespace {

using O = DevOrdinal;

QStringList texts(const CErrorViewDlg &dialog)
{
    QStringList shown{dialog.tecValue()->text(), dialog.recValue()->text(),
                      dialog.lecValue()->text(), dialog.errorModeValue()->text()};
    for (int row = 0; row < dialog.countList()->topLevelItemCount(); ++row)
        shown << dialog.countList()->topLevelItem(row)->text(1);
    return shown;
}

CAN_ErrorStatus statusOf(int tec, int rec, int lec, int mode, std::array<int, 5> counts = {})
{
    CAN_ErrorStatus s;
    s.tec = static_cast<std::uint8_t>(tec);
    s.rec = static_cast<std::uint8_t>(rec);
    s.lec = static_cast<std::uint8_t>(lec);
    s.errorMode = static_cast<std::uint8_t>(mode);
    s.stuffErrors = static_cast<std::uint16_t>(counts[0]);
    s.formErrors = static_cast<std::uint16_t>(counts[1]);
    s.ackErrors = static_cast<std::uint16_t>(counts[2]);
    s.bitErrors = static_cast<std::uint16_t>(counts[3]);
    s.crcErrors = static_cast<std::uint16_t>(counts[4]);
    return s;
}

// The status bar's panes are its labels, in pane order.
QLabel *paneLabel(CMainFrame &frame, int pane)
{
    QLabel *label = frame.statusBar()
                        ->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)
                        .value(pane);
    if (label && label->text() != frame.paneText(pane))
        return nullptr;
    return label;
}

void doubleClickLinkIcon(CMainFrame &frame)
{
    QLabel *pane = paneLabel(frame, CMainFrame::LinkPane);
    QVERIFY(pane && pane->toolTip() == QStringLiteral("Error Detection"));
    QTest::mouseDClick(pane, Qt::LeftButton, {}, pane->rect().center());
}

struct Harness : RecordingLibraryWindow {
    Harness()
    {
        library.adapters.push_back({"Vexo USB-CAN", "123", "VX1000000"});
        openMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    void connect()
    {
        QVERIFY(frame->ConnectAdapter(0, QStringLiteral("Vexo USB-CAN(123): VX1000000")));
    }

    void notify(const CAN_ErrorStatus &status)
    {
        library.queueErrorStatus(status);
        deliver();
    }
};

} // namespace

class TestErrorStatus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lastErrorCode_data();
    void lastErrorCode();
    void errorMode_data();
    void errorMode();
    void dialogLayout();
    void showFillsEveryValue();
    void openedFromTheLinkIcon();
    void onlyThePaneAndRightOfIt_data();
    void onlyThePaneAndRightOfIt();
    void refreshedWhileVisible();
    void linkIconTurnsRedWithErrors();
    void closesWithTheMainWindow();
    void vehicleBusCountersMove();
};

void TestErrorStatus::lastErrorCode_data()
{
    QTest::addColumn<int>("lec");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "No Error";
    QTest::newRow("1") << 1 << "Stuff Error";
    QTest::newRow("2") << 2 << "Form Error";
    QTest::newRow("3") << 3 << "ACK Error";
    QTest::newRow("4 recessive bit") << 4 << "Bit Error";
    QTest::newRow("5 dominant bit") << 5 << "Bit Error";
    QTest::newRow("6") << 6 << "CRC Error";
    QTest::newRow("7 undefined") << 7 << "Unknown Error : 7";
    QTest::newRow("255 undefined") << 255 << "Unknown Error : 255";
}

void TestErrorStatus::lastErrorCode()
{
    QFETCH(int, lec);
    QFETCH(QString, text);
    QCOMPARE(
        QString::fromStdString(ErrorStatusTexts::lastErrorCodeText(static_cast<std::uint8_t>(lec))),
        text);
}

void TestErrorStatus::errorMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "Active";
    QTest::newRow("1") << 1 << "Passive";
    QTest::newRow("3") << 3 << "Passive";
    QTest::newRow("4") << 4 << "Bus Off";
    QTest::newRow("7") << 7 << "Bus Off";
    QTest::newRow("8") << 8 << "Error Mode : 8";
    QTest::newRow("9") << 9 << "Error Mode : 9";
    QTest::newRow("255") << 255 << "Error Mode : 255";
}

void TestErrorStatus::errorMode()
{
    QFETCH(int, mode);
    QFETCH(QString, text);
    QCOMPARE(
        QString::fromStdString(ErrorStatusTexts::errorModeText(static_cast<std::uint8_t>(mode))),
        text);
}

void TestErrorStatus::dialogLayout()
{
    RecordingDeviceLibrary library;
    CErrorViewDlg dialog(library);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Error Status"));
    // Asking the adapter is part of making the dialog.
    QCOMPARE(library.ordinals(), std::vector<O>{O::RequestErrorStatus});

    QStringList labels;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text().contains(u'='))
            labels << label->text();
    }
    QCOMPARE(labels,
             (QStringList{"TEC(Transmit Error Count)  =", "REC(Receive  Error Count)  =",
                          "LEC(Last Error Code)\t    =", "Error Mode\t\t    ="}));
    QCOMPARE(texts(dialog),
             (QStringList{"00000", "00000", "00000", "Not yet", "", "", "", "", ""}));

    QTreeWidget *list = dialog.countList();
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Error Type"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Count"));
    QCOMPARE(list->columnWidth(0), 109);
    QCOMPARE(list->columnWidth(1), 80);
    QCOMPARE(list->header()->defaultAlignment(), Qt::AlignCenter);
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        rows << list->topLevelItem(row)->text(0);
        for (int column : {0, 1})
            QCOMPARE(list->topLevelItem(row)->textAlignment(column), int(Qt::AlignCenter));
    }
    QCOMPARE(rows,
             (QStringList{"Stuff Error", "Form Error", "ACK Error", "Bit Error", "CRC Error"}));
    QVERIFY(dialog.findChild<QPushButton *>()->text() == QStringLiteral("Close"));
}

void TestErrorStatus::showFillsEveryValue()
{
    RecordingDeviceLibrary library;
    CErrorViewDlg dialog(library);
    dialog.Show(statusOf(128, 0, 3, 1, {0, 2, 5, 0, 1}));
    QCOMPARE(texts(dialog),
             (QStringList{"128", "0", "ACK Error", "Passive", "0", "2", "5", "0", "1"}));
    dialog.Show(statusOf(0, 255, 9, 9, {65535, 0, 0, 7, 0}));
    QCOMPARE(texts(dialog),
             (QStringList{"0", "255", "Unknown Error : 9", "Error Mode : 9", "65535", "0", "0", "7",
                          "0"}));
}

void TestErrorStatus::openedFromTheLinkIcon()
{
    Harness h;
    h.doc.SetErrorStatus(statusOf(9, 9, 1, 0, {4, 0, 0, 0, 0}));
    h.connect();
    h.library.clearCalls();

    doubleClickLinkIcon(*h.frame);
    CErrorViewDlg *dialog = h.frame->errorDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    // One double-click, one request; right after connecting, all zeros until
    // the adapter answers.
    QCOMPARE(h.library.ordinals(), std::vector<O>{O::RequestErrorStatus});
    QCOMPARE(texts(*dialog),
             (QStringList{"0", "0", "No Error", "Active", "0", "0", "0", "0", "0"}));

    // A second double-click while it is open does nothing.
    doubleClickLinkIcon(*h.frame);
    QCOMPARE(h.frame->errorDialog(), dialog);
    QCOMPARE(h.library.count(O::RequestErrorStatus), 1);

    // Closed, it is hidden; the next double-click makes a fresh one that
    // starts from the latest values and asks again.
    dialog->findChild<QPushButton *>()->click();
    QVERIFY(!dialog->isVisible());
    h.notify(statusOf(8, 0, 4, 0, {0, 0, 0, 1, 0}));
    doubleClickLinkIcon(*h.frame);
    QVERIFY(h.frame->errorDialog() != nullptr);
    QVERIFY(h.frame->errorDialog()->isVisible());
    QCOMPARE(h.library.count(O::RequestErrorStatus), 2);
    QCOMPARE(texts(*h.frame->errorDialog()),
             (QStringList{"8", "0", "Bit Error", "Active", "0", "0", "0", "1", "0"}));
}

void TestErrorStatus::onlyThePaneAndRightOfIt_data()
{
    QTest::addColumn<int>("pane");
    QTest::addColumn<bool>("opens");
    QTest::newRow("the link pane") << int(CMainFrame::LinkPane) << true;
    QTest::newRow("the bit rate pane") << int(CMainFrame::BitRatePane) << false;
    QTest::newRow("the connection pane") << int(CMainFrame::ConnectionPane) << false;
}

void TestErrorStatus::onlyThePaneAndRightOfIt()
{
    QFETCH(int, pane);
    QFETCH(bool, opens);
    Harness h;
    QLabel *label = paneLabel(*h.frame, pane);
    QVERIFY(label);
    QTest::mouseDClick(label, Qt::LeftButton, {}, label->rect().center());
    QCOMPARE(h.frame->errorDialog() != nullptr, opens);
    QCOMPARE(h.library.count(O::RequestErrorStatus), opens ? 1 : 0);
}

void TestErrorStatus::refreshedWhileVisible()
{
    Harness h;
    h.connect();
    doubleClickLinkIcon(*h.frame);
    CErrorViewDlg *dialog = h.frame->errorDialog();

    h.notify(statusOf(128, 0, 3, 1, {0, 2, 5, 0, 1}));
    QCOMPARE(texts(*dialog),
             (QStringList{"128", "0", "ACK Error", "Passive", "0", "2", "5", "0", "1"}));

    // Hidden, it is left alone; the store keeps the values for the next one.
    dialog->hide();
    h.notify(statusOf(0, 0, 0, 0, {0, 2, 5, 0, 1}));
    QCOMPARE(dialog->tecValue()->text(), QStringLiteral("128"));
    QCOMPARE(h.doc.errorStatus().tec, 0);

    // Notifications while disconnected are dropped.
    h.frame->Disconnect();
    doubleClickLinkIcon(*h.frame);
    h.notify(statusOf(200, 0, 6, 4));
    QCOMPARE(h.frame->errorDialog()->tecValue()->text(), QStringLiteral("0"));
}

void TestErrorStatus::linkIconTurnsRedWithErrors()
{
    Harness h;
    h.connect();
    QTRY_COMPARE(h.frame->shownLinkValue(), 8);
    h.notify(statusOf(0, 1, 1, 0, {1, 0, 0, 0, 0}));
    QTRY_COMPARE(h.frame->shownLinkValue(), 12);
    h.notify(statusOf(0, 0, 1, 0, {1, 0, 0, 0, 0}));
    QTRY_COMPARE(h.frame->shownLinkValue(), 8);
}

void TestErrorStatus::closesWithTheMainWindow()
{
    auto h = std::make_unique<Harness>();
    doubleClickLinkIcon(*h->frame);
    QPointer<CErrorViewDlg> dialog = h->frame->errorDialog();
    QVERIFY(dialog);
    h->frame.reset();
    QVERIFY(!dialog);
}

void TestErrorStatus::vehicleBusCountersMove()
{
    RealLibraryWindow program;
    CMainFrame &frame = *program.frame;
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    const int vehicle = indexOf(*program.library, VirtualAdapters::VehicleId);
    QVERIFY(frame.ConnectAdapter(vehicle, QStringLiteral("Vexo Virtual Vehicle Bus")));
    doubleClickLinkIcon(frame);
    CErrorViewDlg *dialog = frame.errorDialog();
    QVERIFY(dialog);

    // The bus has an error every second or two: the counts in the open dialog
    // follow the adapter's.
    auto errorsShown = [&] {
        int total = 0;
        for (int row = 0; row < 5; ++row)
            total += dialog->countList()->topLevelItem(row)->text(1).toInt();
        return total;
    };
    QTRY_VERIFY_WITH_TIMEOUT(errorsShown() >= 1, 30000);
    const auto &status = program.doc.errorStatus();
    QCOMPARE(errorsShown(),
             status.stuffErrors + status.formErrors + status.ackErrors + status.bitErrors
                 + status.crcErrors);
    QTRY_VERIFY_WITH_TIMEOUT(errorsShown() >= 2, 30000);
    frame.close();
}

QTEST_MAIN(TestErrorStatus)
#include "tst_errorstatus.moc"
